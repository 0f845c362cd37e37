#!/usr/bin/env bash
# Pictures of Stub's message box and inform dialog for the README: builds the
# Windows test helper, shows each window under Wine on a private Xvfb
# display, captures it and writes docs/stub-msgbox.png and
# docs/stub-inform.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# The PNG writer below needs Python (not part of the test set-up).
command -v python3 >/dev/null || apt-get install -y python3-minimal >/dev/null
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target stub-testhelper -j2 >/dev/null

export WINE_RUN_STATE=$root/build/mingw/wine-screenshots
run() { "$root/scripts/wine-run.sh" "$@"; }
work=$(mktemp -d /tmp/stub-screenshots-XXXXXX)
cleanup() {
  run --cleanup >/dev/null 2>&1 || true
  rm -rf "$work" "$WINE_RUN_STATE"
}
trap cleanup EXIT
run --setup

helper=$root/build/mingw/stub/testhelper/stub-testhelper.exe
run "$helper" demo-box "$(winepath -w "$work/msgbox.bmp" 2>/dev/null || echo "Z:$work/msgbox.bmp")"
run "$helper" demo-inform "$(winepath -w "$work/inform.bmp" 2>/dev/null || echo "Z:$work/inform.bmp")"

# 24-bit BMP to PNG with Python's standard library only.
bmp2png() {
  python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
offset, = struct.unpack_from('<I', data, 10)
width, height = struct.unpack_from('<ii', data, 18)
stride = (width * 3 + 3) & ~3
rows = []
for y in range(abs(height)):
    src = height - 1 - y if height > 0 else y
    row = data[offset + src * stride: offset + src * stride + width * 3]
    rgb = bytearray(row)
    rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
    rows.append(b'\0' + bytes(rgb))
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, abs(height), 8, 2, 0, 0, 0))
png += chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)
PY
}
mkdir -p docs
bmp2png "$work/msgbox.bmp" docs/stub-msgbox.png
bmp2png "$work/inform.bmp" docs/stub-inform.png
echo "wrote docs/stub-msgbox.png docs/stub-inform.png"
