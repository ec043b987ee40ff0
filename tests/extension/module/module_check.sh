#!/bin/sh
# The module's registration scenario on one COM runtime:
#   module_check.sh OUT REGISTER UNREGISTER CHECK MODULE
# REGISTER and UNREGISTER are commands that register and unregister MODULE (regsvr32 and
# regsvr32 /u, or areaclip register / unregister), CHECK runs the check program (given the
# phase and its arguments). Writes the observations of both phases to OUT and fails when a
# step or an expectation fails.
set -u
out=$1 register=$2 unregister=$3 check=$4 module=$5
status=0
# A registry file of the stand-in's own starts empty.
[ -n "${AREACLIP_REGISTRY:-}" ] && rm -f "$AREACLIP_REGISTRY"
{
  echo "# register"
  $register >/dev/null 2>&1 || { echo "FAIL register: $register"; status=1; }
  $check registered "$module" || status=1
  echo "# unregister"
  $unregister >/dev/null 2>&1 || { echo "FAIL unregister: $unregister"; status=1; }
  $check unregistered || status=1
} >"$out" 2>&1
grep "^FAIL" "$out"
exit $status
