#!/usr/bin/env bash
# Saving a ticket into a large PDF through the host, against exiftool writing one XMP property
# into a copy of the same file: wall time and peak memory of each, and the ratio of the times.
#   bench/save-benchmark.sh [BUILD-DIR] [SIZE-MB]
set -euo pipefail
build=${1:-build}
size_mb=${2:-150}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build" --target ticket_save_bench >/dev/null

# A PDF of about SIZE-MB: one page per 5 MB image of random (incompressible) bytes.
python3 - "$work/big.pdf" "$size_mb" <<'PY'
import os, sys
path, size_mb = sys.argv[1], int(sys.argv[2])
pages = max(1, size_mb // 5)
out = open(path, "wb")
offsets = {}
pos = 0
def put(data):
    global pos
    out.write(data); pos += len(data)
def obj(num, body, stream=None):
    offsets[num] = pos
    put(b"%d 0 obj\n" % num + body)
    if stream is not None:
        put(b"\nstream\n"); put(stream); put(b"\nendstream")
    put(b"\nendobj\n")
put(b"%PDF-1.6\n%\xe2\xe3\xcf\xd3\n")
kids = []
num = 3
for p in range(pages):
    img, content, page = num, num + 1, num + 2
    num += 3
    side = 1290  # 1290 x 1290 RGB = 5 MB
    obj(img, b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB /BitsPerComponent 8 /Length %d >>" % (side, side, side * side * 3), os.urandom(side * side * 3))
    draw = b"q 595 0 0 842 0 0 cm /Im Do Q"
    obj(content, b"<< /Length %d >>" % len(draw), draw)
    obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents %d 0 R /Resources << /XObject << /Im %d 0 R >> >> >>" % (content, img))
    kids.append(page)
obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
obj(2, b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % k for k in kids) + b"] /Count %d >>" % len(kids))
xref = pos
put(b"xref\n0 %d\n0000000000 65535 f \n" % num)
for n in range(1, num):
    put(b"%010d 00000 n \n" % offsets[n])
put(b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (num, xref))
PY
cp "$work/big.pdf" "$work/exif.pdf"
echo "file: $(du -m "$work/big.pdf" | cut -f1) MB"

measure() {  # label, command...: prints seconds and peak KiB
  local label=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/$label.time" "$@" >/dev/null
  read -r seconds kib < "$work/$label.time"
  echo "$label: ${seconds} s, peak ${kib} KiB ($((kib / 1024)) MiB)"
  eval "${label}_seconds=$seconds; ${label}_kib=$kib"
}
sync
measure host "$build/ticket_save_bench" "$work/big.pdf"
measure exiftool exiftool -overwrite_original -XMP-dc:Title=benchmark "$work/exif.pdf"

qpdf --check "$work/big.pdf" >/dev/null && echo "saved file passes qpdf --check"
python3 -c "import sys; h, e = float(sys.argv[1]), float(sys.argv[2]); print('ratio host/exiftool: %.3f (goal <= 0.2)' % (h / e if e else float('inf')))" "$host_seconds" "$exiftool_seconds"
