#!/usr/bin/env bash
# The window's drawing in the background under ThreadSanitizer: builds only the drawing's
# test program (tests/host/window/background_drawing_test.cpp, with the window, the GIS and
# the toolkit it links) and the GIS core's tests with -fsanitize=thread into build-tsan, and
# runs the drawing's tests, those of the extent indexes the drawing threads share and those
# of the feature cursors reading ahead on threads of their own. Qt, GDAL and
# PROJ are not instrumented; what ThreadSanitizer reports inside them is suppressed
# (scripts/tsan-window.supp). Compiled with -O1 and line tables only, to build quickly.
#   scripts/tsan-window.sh [BUILD_FOLDER]      (default: build-tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tsan}
if [[ ! -f $build/build.ninja ]]; then
  flags="-fsanitize=thread -fno-omit-frame-pointer -O1 -g1"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
fi
cmake --build "$build" --target test_window_drawing test_gis_core
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
AREACLIP_REGISTRY="$work/registry.txt" QT_QPA_PLATFORM=offscreen \
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan-window.supp ${TSAN_OPTIONS:-}" \
  "$build/tests/test_window_drawing"
# The sources' extent indexes, learnt and read by several drawing threads at once; the
# cursors' reading threads beside their callers and the class they share.
AREACLIP_REGISTRY="$work/registry.txt" \
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan-window.supp ${TSAN_OPTIONS:-}" \
  "$build/tests/test_gis_core" --gtest_filter='ExtentIndex*:FeatureCursor*'
