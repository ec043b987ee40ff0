#!/usr/bin/env bash
# Fails when the system's code includes a third-party library header, or when a stand-in
# includes one of the system's headers: both sides meet only at arcobjects/ and platform/.
set -u
cd "$(dirname "$0")/.."
bad=0
hits=$(grep -rnE '#\s*include\s*[<"](gdal|ogr|cpl_|geos|proj|nlohmann|json|libxml)' extension vot_arcgis vot_vcl host/*.h 2>/dev/null)
if [[ -n "$hits" ]]; then echo "system code includes a library header:"; echo "$hits"; bad=1; fi
# The window system stays inside the toolkit's screen backend and the host's window: the
# system's code and the headless stand-ins never see it.
hits=$(grep -rnE '#\s*include\s*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/|toolkit_qt/)' extension vot_arcgis vot_vcl arcobjects platform/toolkit platform/win32 platform/gis 2>/dev/null)
if [[ -n "$hits" ]]; then echo "the system's code or a headless stand-in includes a Qt header:"; echo "$hits"; bad=1; fi
hits=$(grep -rnE '#\s*include\s*[<"](vot_|extension/|vot_arcgis/|vot_vcl/)' platform arcobjects 2>/dev/null)
if [[ -n "$hits" ]]; then echo "a stand-in includes the system's headers:"; echo "$hits"; bad=1; fi
exit $bad
