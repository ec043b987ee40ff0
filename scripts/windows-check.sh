#!/bin/sh
# Builds the system's code for Windows with MinGW-w64 against the real Windows headers into
# build-mingw/ and reports, source by source, what compiles and the first errors of what
# does not. Fails while any source fails. Installs what it needs first (--install-only:
# only that, for CI).
set -u
cd "$(dirname "$0")/.."
BUILD=${BUILD_MINGW:-build-mingw}

install_deps() {
  need=""
  command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need="$need g++-mingw-w64-x86-64"
  command -v x86_64-w64-mingw32-widl >/dev/null 2>&1 || need="$need mingw-w64-tools"
  command -v wine >/dev/null 2>&1 || command -v wine64 >/dev/null 2>&1 || need="$need wine"
  [ -z "$need" ] && return 0
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  echo "windows-check: installing$need"
  $SUDO apt-get update -q >/dev/null || return 1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $need >/dev/null || return 1
}

install_deps || { echo "windows-check: could not install the MinGW-w64 toolchain and Wine" >&2; exit 2; }
[ "${1:-}" = "--install-only" ] && exit 0

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
[ $status -eq 0 ] && [ $failed -eq 0 ]
