#!/usr/bin/env bash
# The window under a real X server: `areaclip open` on the sample map shows its window with
# the document's name in the title, and the screenshot of it is not blank. Without a display,
# or with a document it cannot read, it says so and ends with exit code 2.
set -u
areaclip=$1 map=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
expect_refusal() {  # expect_refusal TEXT COMMAND...
  local text=$1; shift
  local message; message=$("$@" 2>&1 >/dev/null); local status=$?
  if [[ $status -ne 2 || "$message" != *"$text"* ]]; then
    echo "expected exit 2 with \"$text\" from $*, got $status: $message"; exit 1
  fi
}
echo "not a map" > "$work/junk.mxd"
expect_refusal "cannot open $work/junk.mxd" env -u DISPLAY -u WAYLAND_DISPLAY "$areaclip" open "$work/junk.mxd"
expect_refusal "open needs a display" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$areaclip" open "$map"
out=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$areaclip" open "$map" --screenshot "$work/window.png" 2>"$work/stderr")
status=$?
if [[ $status -ne 0 ]]; then echo "areaclip open failed ($status):"; cat "$work/stderr"; exit 1; fi
if [[ "$out" != *"window: map.mxd"* ]]; then echo "unexpected window title: $out"; exit 1; fi
python3 - "$work/window.png" <<'PY' || exit 1
import sys, zlib, struct
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
pos, idat, width, height = 8, b'', 0, 0
while pos < len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b'IHDR':
        width, height = struct.unpack('>II', body[:8])
    elif kind == b'IDAT':
        idat += body
    pos += 12 + length
raw = zlib.decompress(idat)
distinct = len(set(raw[i:i + 3] for i in range(1, min(len(raw), 400000), 3)))
print(f'screenshot {width}x{height}, {distinct} distinct byte triples')
if width < 400 or height < 300 or distinct < 20:
    sys.exit('the screenshot is blank or too small')
PY
