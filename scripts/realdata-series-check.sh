#!/usr/bin/env bash
# A whole sheet series of maps of real data (North Carolina's counties at 1:100,000, the
# world's countries and populated places at 1:1,000,000; scripts/realdata.sh) cut in one
# pass, each sheet's folder compared file by file, byte for byte, with what a cut by that
# sheet alone writes: every North Carolina sheet, and every STEP-th of the world's.
# Usage: scripts/realdata-series-check.sh BUILD_DIR [STEP]
set -euo pipefail

build=$(realpath "${1:?usage: $0 BUILD_DIR [STEP]}")
step=${2:-20}
areaclip="$build/bin/areaclip"
here=$(cd "$(dirname "$0")/.." && pwd)
data=$("$here/scripts/realdata.sh" "$here/out/realdata")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export AREACLIP_REGISTRY="$work/registry.txt"

fail() { echo "realdata-series-check: $*" >&2; exit 1; }

check() {  # check NAME SCALE STEP LAYER...
  local name=$1 scale=$2 every=$3
  shift 3
  local doc="$work/$name.mxd" series="$work/$name-series" alone="$work/$name-alone"
  "$areaclip" new "$doc" "${@/#/$data/}" >/dev/null
  local code=0
  "$areaclip" cut "$doc" --all-sheets "$scale" --folder "$series" >"$work/$name.out" 2>&1 || code=$?
  [[ $code -eq 0 ]] || { cat "$work/$name.out" >&2; fail "$name: --all-sheets exited with $code"; }
  local sheets=() compared=0 i=0
  mapfile -t sheets < <(cd "$series" && ls)
  [[ ${#sheets[@]} -gt 0 ]] || fail "$name: no sheet was cut"
  for sheet in "${sheets[@]}"; do
    if (( i++ % every == 0 )); then
      "$areaclip" cut "$doc" --sheet "$sheet" --folder "$alone/$sheet" >/dev/null 2>&1 ||
        fail "$name: the cut by $sheet alone failed"
      diff -r "$series/$sheet" "$alone/$sheet" >/dev/null ||
        { diff -rq "$series/$sheet" "$alone/$sheet" >&2 || true; fail "$name: $sheet differs from its cut alone"; }
      [[ -f "$series/$sheet/cross.mxd" ]] || fail "$name: $sheet has no result document"
      compared=$((compared + 1))
    fi
  done
  echo "$name at $scale: ${#sheets[@]} sheets cut in one pass, $compared compared with their cuts alone: the same"
}

check nc 1:100000 1 nc_counties.shp
check world 1:1000000 "$step" world_countries.shp world_cities.shp
