#!/bin/sh
# The module as a Windows DLL, checked under Wine:
#  1. builds the system's code, the toolkit and the module vot_arcmap_areaclip.dll with
#     MinGW-w64 against the real Windows headers into build-mingw/ (reporting, source by
#     source, what does not compile), with the check program module_check.exe;
#  2. in a fresh Wine prefix: regsvr32, module_check.exe registered, regsvr32 /u,
#     module_check.exe unregistered (tests/extension/module/module_check.sh);
#  3. runs the same scenario on the Linux stand-in (build/, areaclip register / unregister)
#     and compares the two runtimes' observations line by line.
# Installs what it needs first (--install-only: only that, for CI).
set -u
cd "$(dirname "$0")/.."
BUILD=${BUILD_MINGW:-build-mingw}
LINUX_BUILD=${BUILD_LINUX:-build}
WINE=${WINE:-}

install_deps() {
  need=""
  command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need="$need g++-mingw-w64-x86-64"
  command -v x86_64-w64-mingw32-widl >/dev/null 2>&1 || need="$need mingw-w64-tools"
  [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null 2>&1 || need="$need wine wine64"
  [ -z "$need" ] && return 0
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  echo "windows-check: installing$need"
  $SUDO apt-get update -q >/dev/null || return 1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $need >/dev/null || return 1
}

install_deps || { echo "windows-check: could not install the MinGW-w64 toolchain and Wine" >&2; exit 2; }
[ "${1:-}" = "--install-only" ] && exit 0

# ---- 1. the Windows build ----
mkdir -p "$BUILD"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S windows -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$BUILD/configure.log" 2>&1 || { cat "$BUILD/configure.log"; exit 1; }
fi
log="$BUILD/windows-check.log"
cmake --build "$BUILD" -j2 -- -k 0 >"$log" 2>&1
status=$?
ok=0
failed=0
for src in $(ls extension/*.cpp vot_arcgis/*.cpp vot_vcl/*.cpp); do
  if grep -q "^FAILED: .*/$(basename "$src").obj" "$log"; then
    failed=$((failed + 1))
    echo "FAIL $src"
    grep -m 3 "$src:[0-9]*:[0-9]*: error" "$log" | sed 's/^/     /'
  else
    ok=$((ok + 1))
  fi
done
echo "windows-check: $ok sources compile for Windows, $failed do not (full log: $log)"
if [ $status -ne 0 ] || [ $failed -ne 0 ]; then
  grep -E "error|undefined reference" "$log" | head -20
  exit 1
fi
echo "windows-check: built $BUILD/vot_arcmap_areaclip.dll and $BUILD/module_check.exe"

# ---- 2. under Wine ----
if [ -z "$WINE" ]; then
  if [ -x /usr/lib/wine/wine64 ]; then WINE=/usr/lib/wine/wine64; else WINE=wine64; fi
fi
prefix=$(mktemp -d "${TMPDIR:-/tmp}/areaclip-wine.XXXXXX")
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT INT TERM
# No display, no Mono or Gecko prompts; a Russian locale gives the ANSI code page 1251.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
$WINE wineboot -i >/dev/null 2>&1 || { echo "windows-check: wineboot failed" >&2; exit 1; }
dll="Z:$(pwd -P | tr / '\\')\\$BUILD\\vot_arcmap_areaclip.dll"
wine_out="$BUILD/module_check.wine.txt"
tests/extension/module/module_check.sh "$wine_out" "$WINE regsvr32 /s $dll" "$WINE regsvr32 /s /u $dll" \
  "$WINE $BUILD/module_check.exe" "$dll"
wine_status=$?
tr -d '\r' <"$wine_out" >"$wine_out.tmp" && mv "$wine_out.tmp" "$wine_out"
grep -E "expectation\(s\) failed" "$wine_out" | sed 's/^/windows-check: Wine: /'

# ---- 3. the same scenario on the stand-in, and the comparison ----
if [ ! -f "$LINUX_BUILD/build.ninja" ]; then
  cmake -S . -B "$LINUX_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$LINUX_BUILD" --target module_check areaclip vot_arcmap_areaclip >/dev/null || exit 1
bin="$PWD/$LINUX_BUILD/bin"
linux_out="$BUILD/module_check.stand-in.txt"
AREACLIP_REGISTRY="$PWD/$BUILD/module_check_registry.txt" tests/extension/module/module_check.sh "$linux_out" \
  "$bin/areaclip register" "$bin/areaclip unregister" "$bin/module_check" "$bin/vot_arcmap_areaclip.so"
linux_status=$?
grep -E "expectation\(s\) failed" "$linux_out" | sed 's/^/windows-check: stand-in: /'

if ! diff -u "$linux_out" "$wine_out" >"$BUILD/module_check.diff"; then
  echo "windows-check: the stand-in and Wine differ:"
  cat "$BUILD/module_check.diff"
  exit 1
fi
[ $wine_status -eq 0 ] && [ $linux_status -eq 0 ] || exit 1
echo "windows-check: $(grep -c ' = ' "$wine_out") observations, the same on Wine and on the stand-in"
