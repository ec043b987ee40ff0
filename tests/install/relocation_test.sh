#!/usr/bin/env bash
# The installed tree runs on its own, wherever it is moved: cmake --install into a temporary
# prefix, the prefix moved elsewhere, then the program from there (version, a cut of the
# sample map with a registry and a home of its own, the window's usage), loading nothing
# from the build tree and writing nothing into the installed tree.
#   relocation_test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
mv "$work/prefix" "$work/moved"
prefix=$work/moved
program=$prefix/bin/areaclip
export HOME=$work/home AREACLIP_REGISTRY=$work/registry.txt
unset XDG_DATA_HOME XDG_CONFIG_HOME AREACLIP_TEMPLATES

[ "$(ls "$prefix/bin")" = areaclip ] || fail "bin/ holds more than the program: $(ls "$prefix/bin")"
for f in lib/areaclip/vot_arcmap_areaclip.so lib/areaclip/libareaclip_win32.so share/areaclip/templates/Normal.mxt \
         share/qgis/python/plugins/areaclip_plugin/metadata.txt; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
# The manual pages and the completion, when the build makes them.
for f in share/man/man1/areaclip.1 share/bash-completion/completions/areaclip; do
  if [ -f "$build/$f" ] && [ ! -f "$prefix/$f" ]; then fail "built but not installed: $f"; fi
done
if find "$prefix" -name __pycache__ | grep -q .; then fail "compiled Python installed"; fi

# Every library of the program's own resolves inside the moved tree.
for elf in "$program" "$prefix"/lib/areaclip/*.so; do
  if readelf -d "$elf" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then fail "$elf names the build tree"; fi
  if ldd "$elf" | grep -E 'libareaclip' | grep -vE "=> $prefix/(bin/\.\./)?lib/areaclip/"; then
    fail "$elf loads a library of its own from elsewhere"
  fi
done

"$program" --version > "$work/version" || fail "--version"
grep -qF "areaclip $version " "$work/version" || fail "--version says $(cat "$work/version"), the build is $version"
grep -qx "version=$version" "$prefix/share/qgis/python/plugins/areaclip_plugin/metadata.txt" ||
  fail "the QGIS plugin's metadata.txt is not of version $version"

mkdir "$work/sample"
cp -r "$source/examples/map.mxd" "$source/examples/data" "$work/sample/"
"$program" cut "$work/sample/map.mxd" --sheet "M-36-1-Б" --folder "$work/out" > "$work/cut.log" 2>&1 ||
  { cat "$work/cut.log"; fail "the cut"; }
[ -f "$work/out/cross.mxd" ] || fail "no cross.mxd"
grep -qF "@=\"$prefix/lib/areaclip/vot_arcmap_areaclip.so\"" "$AREACLIP_REGISTRY" ||
  fail "the registry does not name the installed module: $(grep -A1 InprocServer32 "$AREACLIP_REGISTRY")"
# The template came from the installed tree: nothing written beside the program or at home.
[ ! -e "$prefix/bin/templates" ] || fail "templates written into the installed bin/"
[ ! -e "$HOME/.local/share/areaclip" ] || fail "a template written at home though one is installed"

"$program" open --help > "$work/open.log" 2>&1 || { cat "$work/open.log"; fail "open --help"; }
grep -q "usage: areaclip open" "$work/open.log" || fail "open --help: $(cat "$work/open.log")"

# A registry naming a module that is gone (a removed build tree) stops the cut with the way out.
sed -i "s|$prefix/lib/areaclip/vot_arcmap_areaclip.so|$work/gone/build/bin/vot_arcmap_areaclip.so|" "$AREACLIP_REGISTRY"
status=0
"$program" cut "$work/sample/map.mxd" --sheet "M-36-1-Б" --folder "$work/out2" > "$work/gone.log" 2>&1 || status=$?
[ "$status" = 2 ] || fail "a gone module: exit $status"
grep -qF "areaclip register registers the program's own module, $prefix/lib/areaclip/vot_arcmap_areaclip.so" "$work/gone.log" ||
  fail "a gone module: $(cat "$work/gone.log")"
"$program" register > /dev/null
"$program" cut "$work/sample/map.mxd" --sheet "M-36-1-Б" --folder "$work/out2" > "$work/again.log" 2>&1 ||
  { cat "$work/again.log"; fail "the cut after register"; }
echo "installed tree runs from $prefix"
