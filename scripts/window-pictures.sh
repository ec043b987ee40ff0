#!/usr/bin/env bash
# Writes the window's pictures into docs/ from the real window under Qt's offscreen platform:
# the window's cut test drives it as a person would (toolbar, pickers, highlight, folder
# dialog, run, result, the cut's summary, the sheet grid, every sheet cut) and saves what the window shows at each step.
#   scripts/window-pictures.sh [BUILD_FOLDER]      (default: build)
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
cmake --build "$build" --target test_window areaclip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs
AREACLIP_REGISTRY="$work/registry.txt" QT_QPA_PLATFORM=offscreen AREACLIP_WINDOW_PICTURES="$PWD/docs" \
  "$build/tests/test_window" --gtest_filter='CutInWindow.*:CutSummary.ACutThatLeft*:SheetGrid.TheFrames*:SheetCutInWindow.ACancelled*'
ls -l docs/window_*.png
