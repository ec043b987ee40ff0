#!/usr/bin/env bash
# Builds the QGIS plugin's zip, as QGIS's plugin manager installs it ("Install from ZIP"):
# one top-level folder areaclip_plugin/ with metadata.txt, no compiled Python.
#   scripts/qgis-plugin.sh [OUTPUT.zip]   (default build/areaclip_plugin.zip)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/areaclip_plugin.zip}
mkdir -p "$(dirname "$out")"
python3 - "$out" <<'PY'
import os, sys, zipfile
out = sys.argv[1]
root = "qgis/areaclip_plugin"
tmp = out + ".new"
with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d != "__pycache__")
        for name in sorted(files):
            if name.endswith((".pyc", ".pyo")) or name.startswith("."):
                continue
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, "qgis"))
os.replace(tmp, out)
print(out)
PY
