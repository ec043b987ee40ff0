#!/usr/bin/env bash
# The main job on the sample map.
set -euo pipefail
build=${1:-build}
"$build/bin/areaclip" --help
