#!/usr/bin/env bash
# Shows the ticket dialog as pdfhost runs it on a 1366x768 screen under a window manager
# (openbox), checks that the whole window lies on the screen, and saves pictures of the screen.
#
#   scripts/screenshot-dialog.sh [BUILD-DIR] [OUTPUT-DIR]     (defaults: build, screenshots)
#
# pdfhost runs headless with the item chosen twice in one process:
#   pdfhost --answers A --log L --run ZEKT:TVPMetadata --run ZEKT:TVPMetadata examples/sample-ad.pdf
# In the first run the script saves page 1, switches to page 2 (Ctrl+Page Down) and saves it,
# closes the window with Alt+F4 (answered "no": the dialog stays) and then with "&Close"
# (Alt+C, answered "yes"). In the second run it saves page 1 again and closes with Alt+F4,
# answered "yes". Last, pdfhost runs the item once with its own GTK question, answered with
# Return, and must print nothing on standard error.
# Needs xvfb-run, openbox, xdotool, xprop, xwininfo and ImageMagick's import.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$root/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
screen_width=1366
screen_height=768

# Under a display of our own, the size of the commonest laptop screen.
if [ -z "${TVP_SCREENSHOT_INSIDE_XVFB:-}" ]; then
  TVP_SCREENSHOT_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 ${screen_width}x${screen_height}x24" \
    "$0" "$build" "$out"
fi

work="$(mktemp -d)"
wm=""
host=""
cleanup() {
  [ -n "$host" ] && kill "$host" 2>/dev/null || true
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# openbox keeps a cache in the user's home: give it the work folder instead.
HOME="$work" XDG_CACHE_HOME="$work/cache" openbox --config-file /dev/null >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

fail() {
  echo "screenshot-dialog: $*" >&2
  exit 1
}

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
  fail "the dialog did not appear"
}

# The window with its frame must lie wholly on the screen.
check_on_screen() {
  local info X Y WIDTH HEIGHT extents left right top bottom
  # The client's place on the screen (xdotool's own counts the frame's offset twice).
  info="$(xwininfo -id "$1")"
  X="$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")"
  Y="$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")"
  WIDTH="$(sed -n 's/.*Width: *//p' <<<"$info")"
  HEIGHT="$(sed -n 's/.*Height: *//p' <<<"$info")"
  extents="$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')"
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  local x=$((X - left)) y=$((Y - top)) w=$((WIDTH + left + right)) h=$((HEIGHT + top + bottom))
  echo "dialog with its frame: ${w}x${h} at ${x},${y} on ${screen_width}x${screen_height}"
  if [ "$x" -lt 0 ] || [ "$y" -lt 0 ] || [ $((x + w)) -gt "$screen_width" ] ||
    [ $((y + h)) -gt "$screen_height" ]; then
    fail "the dialog does not fit on the screen"
  fi
}

shoot() {
  sleep 0.5  # let the toolkit draw
  import -window root "$out/$1"
  echo "$out/$1"
}

cd "$root"
printf 'no\nyes\nyes\n' >"$work/answers"
"$build/pdfhost" --answers "$work/answers" --log "$work/log" \
  --run ZEKT:TVPMetadata --run ZEKT:TVPMetadata examples/sample-ad.pdf &
host=$!

first="$(dialog_window)"
xdotool windowfocus --sync "$first"
check_on_screen "$first"
shoot dialog-page1.png
xdotool key ctrl+Next
shoot dialog-page2.png
xdotool key alt+F4
sleep 0.5
[ "$(dialog_window)" = "$first" ] || fail "Alt+F4 answered no closed the dialog"
xdotool key alt+c

second="$(dialog_window "$first")"
xdotool windowfocus --sync "$second"
check_on_screen "$second"
shoot dialog-second-run.png
xdotool key alt+F4

status=0
wait "$host" || status=$?
host=""
echo "pdfhost exit status: $status"
echo "pdfhost log:"
sed 's/^/  /' "$work/log"
asked="$(grep '^question: Are you sure you want to quit? \[Yes/No\] -> ' "$work/log" |
  sed 's/.*-> //' | tr '\n' ' ')"
if [ "$status" -ne 0 ] || [ "$asked" != "no yes yes " ]; then
  fail "expected the quit question answered no, yes, yes and exit status 0"
fi

# Interactive: pdfhost's own question, and nothing on standard error.
"$build/pdfhost" --run ZEKT:TVPMetadata examples/sample-ad.pdf 2>"$work/stderr" &
host=$!
dialog="$(dialog_window)"
xdotool windowfocus --sync "$dialog"
xdotool key alt+c
for _ in $(seq 1 50); do
  question="$(xdotool search --onlyvisible --class pdfhost 2>/dev/null | grep -v "^$dialog\$" |
    head -1 || true)"
  [ -n "$question" ] && break
  sleep 0.1
done
[ -n "$question" ] || fail "the interactive quit question did not appear"
xdotool windowfocus --sync "$question"
xdotool key Return
status=0
wait "$host" || status=$?
host=""
echo "interactive pdfhost exit status: $status"
if [ "$status" -ne 0 ] || [ -s "$work/stderr" ]; then
  cat "$work/stderr" >&2
  fail "interactive pdfhost failed or wrote to standard error"
fi
