#!/usr/bin/env bash
# Fails when the system's code includes a third-party library header, or when a stand-in
# includes one of the system's headers: both sides meet only at arcobjects/ and platform/.
set -u
cd "$(dirname "$0")/.."
bad=0
hits=$(grep -rnE '#\s*include\s*[<"](gdal|ogr|cpl_|geos|proj|nlohmann|json|libxml)' extension vot_arcgis vot_vcl host/*.h 2>/dev/null)
if [[ -n "$hits" ]]; then echo "system code includes a library header:"; echo "$hits"; bad=1; fi
hits=$(grep -rnE '#\s*include\s*[<"](vot_|extension/|vot_arcgis/|vot_vcl/)' platform arcobjects 2>/dev/null)
if [[ -n "$hits" ]]; then echo "a stand-in includes the system's headers:"; echo "$hits"; bad=1; fi
exit $bad
