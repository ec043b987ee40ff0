#!/usr/bin/env bash
# The main job on the sample map: cut examples/map.mxd to the map sheet M-36-1-Б, its frame
# computed from the name, into out/demo, print the summary, and draw the map before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
areaclip="$build/bin/areaclip"
out=out/demo

rm -rf "$out" out/demo-before.png out/demo-after.png out/demo-registry.txt
mkdir -p out
# The module is registered in a registry of the demo's own, as an installer would do.
export AREACLIP_REGISTRY="$PWD/out/demo-registry.txt"
"$areaclip" register
"$areaclip" render examples/map.mxd -o out/demo-before.png
"$areaclip" cut examples/map.mxd --sheet "M-36-1-Б" --folder "$out"
"$areaclip" render "$out/cross.mxd" -o out/demo-after.png
echo "pictures: out/demo-before.png, out/demo-after.png"
