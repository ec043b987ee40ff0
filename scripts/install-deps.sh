#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when they are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgdal-dev libgeos-dev libproj-dev nlohmann-json3-dev libxml2-dev libjemalloc-dev
  gdal-bin librsvg2-bin python3-jsonschema
  clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev xvfb xauth fonts-dejavu-core fonts-dejavu-extra
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
