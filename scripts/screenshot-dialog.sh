#!/usr/bin/env bash
# Shows the ticket dialog as pdfhost runs it under Xvfb and saves both notebook pages as PNG.
#
#   scripts/screenshot-dialog.sh [BUILD-DIR] [OUTPUT-DIR]     (defaults: build, screenshots)
#
# pdfhost runs headless with the item chosen twice in one process:
#   pdfhost --answers A --log L --run ZEKT:TVPMetadata --run ZEKT:TVPMetadata examples/sample-ad.pdf
# In the first run the script saves page 1, switches to page 2 (Ctrl+Page Down) and saves it;
# in the second it saves page 1 again. Each run ends with "&Close" (Alt+C), which the answers
# file answers "yes". Needs xvfb-run, xdotool and ImageMagick's import.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$root/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# Under a display of our own, tall enough for the whole dialog.
if [ -z "${TVP_SCREENSHOT_INSIDE_XVFB:-}" ]; then
  TVP_SCREENSHOT_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1200x24" "$0" "$build" "$out"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf 'yes\nyes\n' >"$work/answers"

cd "$root"
"$build/pdfhost" --answers "$work/answers" --log "$work/log" \
  --run ZEKT:TVPMetadata --run ZEKT:TVPMetadata examples/sample-ad.pdf &
host=$!

# The dialog's window once it is shown; the one of the previous run must be gone first.
dialog_window() {
  local previous="${1:-}" id
  for _ in $(seq 1 100); do
    id="$(xdotool search --onlyvisible --class pdfhost 2>/dev/null | head -1 || true)"
    if [ -n "$id" ] && [ "$id" != "$previous" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "screenshot-dialog: the dialog did not appear" >&2
  kill "$host" 2>/dev/null || true
  return 1
}

shoot() {
  sleep 0.5  # let the toolkit draw
  import -window "$1" "$out/$2"
  echo "$out/$2"
}

first="$(dialog_window)"
xdotool windowfocus --sync "$first"
shoot "$first" dialog-page1.png
xdotool key ctrl+Next
shoot "$first" dialog-page2.png
xdotool key alt+c

second="$(dialog_window "$first")"
xdotool windowfocus --sync "$second"
shoot "$second" dialog-second-run.png
xdotool key alt+c

status=0
wait "$host" || status=$?
echo "pdfhost exit status: $status"
echo "pdfhost log:"
sed 's/^/  /' "$work/log"
questions="$(grep -c '^question: Are you sure you want to quit? \[Yes/No\] -> yes$' "$work/log" || true)"
if [ "$status" -ne 0 ] || [ "$questions" -ne 2 ]; then
  echo "screenshot-dialog: expected two runs each closed with yes and exit status 0" >&2
  exit 1
fi
