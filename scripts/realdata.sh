#!/usr/bin/env bash
# Unpacks real data sets shipped in Debian packages into DIR (default out/realdata), without
# installing the packages: North Carolina's counties (r-cran-sf, NAD27), the world's countries
# (r-cran-spdata) and Natural Earth's populated places (python3-geopandas, WGS 84).
# Prints DIR. Kept between runs: a second call only prints it.
set -euo pipefail

dir=$(realpath -m "${1:-out/realdata}")
if [[ -f "$dir/stamp" ]]; then echo "$dir"; exit 0; fi
rm -rf "$dir"
mkdir -p "$dir/debs"
(cd "$dir/debs" && apt-get download -q r-cran-sf r-cran-spdata python3-geopandas >/dev/null 2>&1) ||
  { echo "realdata: apt-get download failed (no package lists? run apt-get update)" >&2; exit 1; }
for deb in "$dir"/debs/*.deb; do dpkg-deb -x "$deb" "$dir/x"; done
copy() {  # copy SRC_STEM DEST_STEM: every file of a shapefile
  for ext in shp shx dbf prj cpg; do [[ -f "$1.$ext" ]] && cp "$1.$ext" "$dir/$2.$ext"; done; return 0
}
copy "$dir/x/usr/lib/R/site-library/sf/shape/nc" nc_counties
copy "$dir/x/usr/lib/R/site-library/spData/shapes/world" world_countries
copy "$dir/x/usr/lib/python3/dist-packages/geopandas/datasets/naturalearth_cities/naturalearth_cities" world_cities
rm -rf "$dir/debs" "$dir/x"
touch "$dir/stamp"
echo "$dir"
