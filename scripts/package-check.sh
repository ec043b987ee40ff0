#!/usr/bin/env bash
# Builds the Debian package, installs it, runs the program from the installed files alone
# (its version, a cut of the sample map copied to a temporary folder with a registry of its
# own, the window's usage, the QGIS plugin's files) and removes the package again.
#   scripts/package-check.sh [BUILD_DIR]   (default build; uses sudo when not root)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build}")
source=$PWD
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

if dpkg-query -W -f='${Status}' areaclip 2>/dev/null | grep -q "ok installed"; then
  echo "package-check: the package areaclip is installed already; remove it first (apt-get remove areaclip)" >&2
  exit 2
fi

[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
rm -f "$build"/package/areaclip_*.deb
cmake --build "$build" --target package
deb=$(ls "$build"/package/areaclip_*.deb)
echo "package-check: $deb"
dpkg-deb -f "$deb" Depends

work=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then $sudo apt-get purge -y -q areaclip > /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-check: FAIL: $*" >&2; exit 1; }

$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$(realpath "$deb")" > "$work/apt.log" ||
  { cat "$work/apt.log"; fail "the package does not install"; }
installed=1

# From here on nothing of the source or build tree is used but the sample map's copy.
mkdir "$work/sample" "$work/home"
cp -r "$source/examples/map.mxd" "$source/examples/data" "$work/sample/"
cd "$work"
run() { env -i PATH=/usr/bin:/bin HOME="$work/home" AREACLIP_REGISTRY="$work/registry.txt" LANG=C.UTF-8 "$@"; }
[ "$(command -v areaclip)" = /usr/bin/areaclip ] || fail "areaclip is not /usr/bin/areaclip"
run /usr/bin/areaclip --version
run /usr/bin/areaclip cut sample/map.mxd --sheet "M-36-1-Б" --folder out > cut.log 2>&1 || { cat cut.log; fail "the cut"; }
[ -f out/cross.mxd ] || fail "the cut wrote no out/cross.mxd"
grep -q '/usr/lib/areaclip/vot_arcmap_areaclip.so' registry.txt || fail "the registry does not name the installed module"
run /usr/bin/areaclip open --help | grep -q "usage: areaclip open" || fail "areaclip open --help"
[ -f /usr/share/qgis/python/plugins/areaclip_plugin/metadata.txt ] || fail "the QGIS plugin is not installed"
[ -f /usr/share/areaclip/templates/Normal.mxt ] || fail "the template is not installed"
for f in share/man/man1/areaclip.1 share/bash-completion/completions/areaclip; do
  if [ -f "$build/$f" ] && [ ! -f "/usr/$f" ]; then fail "built but not in the package: $f"; fi
done
[ ! -e /usr/bin/templates ] || fail "the program wrote into /usr/bin"

# QGIS (when python3-qgis is there) finds the installed plugin among its system plugins and
# lists the provider's algorithms, with the installed program as the one it runs.
if /usr/bin/python3 -c "import qgis.core" 2> /dev/null; then
  run env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" /usr/bin/python3 - > plugin.log 2>&1 <<'PY' ||
import sys
from qgis.core import QgsApplication
app = QgsApplication([], False)
app.initQgis()
sys.path.append("/usr/share/qgis/python/plugins")
from processing.core.Processing import Processing
Processing.initialize()
import areaclip_plugin
from areaclip_plugin import settings
plugin = areaclip_plugin.classFactory(None)  # QGIS keeps its plugins, and so their providers
plugin.initProcessing()
provider = QgsApplication.processingRegistry().providerById("areaclip")
ids = sorted(a.id() for a in provider.algorithms())
print(ids)
assert ids == ["areaclip:cutbypolygon", "areaclip:cutbysheet", "areaclip:cutintosheets"], ids
assert settings.configured_program() == "/usr/bin/areaclip", settings.configured_program()
PY
    { cat plugin.log; fail "QGIS does not load the installed plugin"; }
  echo "package-check: QGIS loads the installed plugin: $(tail -1 plugin.log)"
fi

cd "$source"
$sudo apt-get purge -y -q areaclip > "$work/apt.log" || { cat "$work/apt.log"; fail "the package does not remove"; }
installed=0
[ ! -e /usr/bin/areaclip ] && [ ! -e /usr/lib/areaclip ] || fail "files left after removal"
echo "package-check: the package installs, runs from /usr and removes"
