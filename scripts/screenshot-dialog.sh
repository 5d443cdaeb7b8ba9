#!/usr/bin/env bash
# Shows the ticket dialog as pdfhost runs it under a window manager (openbox) on the screens
# users have, checks that the whole window lies in the work area, and saves pictures of it.
#
#   scripts/screenshot-dialog.sh [BUILD-DIR] [OUTPUT-DIR]     (defaults: build, screenshots)
#
# Screens: a bare 1366x768 laptop; the same with a 30-pixel panel; 1280x720; 1366x768 with
# text scaled by 1.25 and by 1.5 (GDK_DPI_SCALE). Each runs under an X server of its own.
#
# On the laptop, pdfhost runs headless with the item chosen twice in one process:
#   pdfhost --answers A --log L --run ZEKT:TVPMetadata --run ZEKT:TVPMetadata examples/sample-ad.pdf
# In the first run the script saves page 1, switches to page 2 (Ctrl+Page Down) and saves it,
# closes the window with Alt+F4 (answered "no": the dialog stays) and then with "&Close"
# (Alt+C, answered "yes"). In the second run it saves page 1 again and closes with Alt+F4,
# answered "yes". Then the dialog in a dark theme. Last, pdfhost runs the item with its own GTK
# dialogs, without a session bus and with one: a ticket is imported through the file chooser,
# chosen with Return, and the quit question answered with Return; pdfhost must print nothing
# on standard error.
# On the other screens the script fills every field of page 1 by Tab, the Email last, saves it
# into a copy of the sample, and reads the Email back with exiftool.
# Needs Xvfb, openbox, xdotool, xprop, xwininfo, exiftool, dbus-run-session and ImageMagick.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$root/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# name, screen size, panel height, text scale
screens=(
  "laptop 1366x768 0 1"
  "panel 1366x768 30 1"
  "small 1280x720 0 1"
  "text125 1366x768 0 1.25"
  "text150 1366x768 0 1.5"
)

if [ -z "${TVP_SCREENSHOT_SCREEN:-}" ]; then
  for screen in "${screens[@]}"; do
    read -r name size panel scale <<<"$screen"
    echo "== $name: ${size}, panel ${panel}, text x${scale}"
    TVP_SCREENSHOT_SCREEN="$name" TVP_SCREEN="$size" TVP_PANEL="$panel" GDK_DPI_SCALE="$scale" \
      "$root/tests/dialog/with-own-display.sh" "$0" "$build" "$out"
  done
  exit 0
fi
screen="$TVP_SCREENSHOT_SCREEN"

work="$(mktemp -d)"
host=""
cleanup() {
  [ -n "$host" ] && kill "$host" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# What GTK keeps (recent files, settings, caches) goes to the work folder, not the user's.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
# The runs open a copy of the test fixture: the example ad may carry a ticket a user saved.
sample="$work/sample-ad.pdf"
cp "$root/tests/fixtures/sample-ad.pdf" "$sample"

fail() {
  echo "screenshot-dialog ($screen): $*" >&2
  exit 1
}

# The dialog's window once it is shown; the one of the previous run must be gone first.
dialog_window() {
  local previous="${1:-}" id
  # As long as pdfhost runs: a busy machine only takes longer.
  while [ -z "$host" ] || kill -0 "$host" 2>/dev/null; do
    id="$(xdotool search --onlyvisible --class pdfhost 2>/dev/null | head -1 || true)"
    if [ -n "$id" ] && [ "$id" != "$previous" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  fail "the dialog did not appear"
}

# A window of pdfhost other than the given one (a question or a file chooser).
other_window() {
  local id
  while [ -z "$host" ] || kill -0 "$host" 2>/dev/null; do
    id="$(xdotool search --onlyvisible --class pdfhost 2>/dev/null | grep -v "^$1\$" | head -1 ||
      true)"
    [ -n "$id" ] && echo "$id" && return 0
    sleep 0.1
  done
  fail "no second window appeared"
}

# The window with its frame must lie wholly in the work area (the screen less the panel).
check_in_work_area() {
  local info X Y WIDTH HEIGHT extents left right top bottom ax ay aw ah
  # The window manager places and frames it in its own time: it says so in the frame's extents.
  while ! xprop -id "$1" _NET_FRAME_EXTENTS | grep -q '='; do
    kill -0 "$host" 2>/dev/null || fail "pdfhost ended before its dialog was framed"
    sleep 0.1
  done
  sleep 0.5  # and moves it where the toolkit asks
  # The client's place on the screen (xdotool's own counts the frame's offset twice).
  info="$(xwininfo -id "$1")"
  X="$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")"
  Y="$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")"
  WIDTH="$(sed -n 's/.*Width: *//p' <<<"$info")"
  HEIGHT="$(sed -n 's/.*Height: *//p' <<<"$info")"
  extents="$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')"
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  IFS=, read -r ax ay aw ah _ <<<"$(xprop -root _NET_WORKAREA | sed -n 's/.*= *//p' | tr -d ' ')"
  local x=$((X - left)) y=$((Y - top)) w=$((WIDTH + left + right)) h=$((HEIGHT + top + bottom))
  echo "dialog with its frame: ${w}x${h} at ${x},${y} in work area ${aw}x${ah} at ${ax},${ay}"
  if [ "$x" -lt "$ax" ] || [ "$y" -lt "$ay" ] || [ $((x + w)) -gt $((ax + aw)) ] ||
    [ $((y + h)) -gt $((ay + ah)) ]; then
    fail "the dialog does not fit the work area"
  fi
}

shoot() {
  sleep 0.5  # let the toolkit draw
  import -window root "$out/$1"
  echo "$out/$1"
}

key() {
  sleep 0.2  # let the toolkit settle on its focus
  xdotool key --clearmodifiers "$@"
}

# pdfhost's end and exit status, which must be 0.
wait_host() {
  local status=0
  wait "$host" || status=$?
  host=""
  [ "$status" -eq 0 ] || fail "pdfhost exit status $status"
}

cd "$root"
if [ "$screen" != laptop ]; then
  # Every field of page 1 by Tab, as a user fills it, and saved: Email is reachable.
  cp "$sample" "$work/ad.pdf"
  printf 'yes\n' >"$work/answers"
  (cd "$work" && exec "$build/pdfhost" --answers answers --log log --run ZEKT:TVPMetadata ad.pdf) &
  host=$!
  dialog="$(dialog_window)"
  xdotool windowfocus --sync "$dialog"
  check_in_work_area "$dialog"
  shoot "dialog-$screen.png"
  for value in 4711 job-7 media creative service advertiser 01022027 title theme; do
    xdotool type "$value"
    key Tab
  done
  key Tab Tab  # past the colour choice and its spot colour
  for value in "Ann Example" "+49 30 1234" ""; do
    xdotool type "$value"
    [ -n "$value" ] && key Tab
  done
  xdotool type "ads@example.com"
  shoot "dialog-$screen-email.png"
  key alt+s
  wait_host
  sed 's/^/  /' "$work/log"
  grep -q '^alert: ' "$work/log" && fail "the save was refused"
  email="$(exiftool -s3 -XMP:PrepressEmail "$work/ad.pdf")"
  [ "$email" = "ads@example.com" ] || fail "the Email saved is '$email'"
  echo "Email saved: $email"
  exit 0
fi

printf 'no\nyes\nyes\n' >"$work/answers"
"$build/pdfhost" --answers "$work/answers" --log "$work/log" \
  --run ZEKT:TVPMetadata --run ZEKT:TVPMetadata "$sample" &
host=$!

first="$(dialog_window)"
xdotool windowfocus --sync "$first"
check_in_work_area "$first"
shoot dialog-page1.png
xdotool key ctrl+Next
shoot dialog-page2.png
xdotool key alt+F4
sleep 0.5
[ "$(dialog_window)" = "$first" ] || fail "Alt+F4 answered no closed the dialog"
xdotool key alt+c

second="$(dialog_window "$first")"
xdotool windowfocus --sync "$second"
check_in_work_area "$second"
shoot dialog-second-run.png
xdotool key alt+F4

wait_host
echo "pdfhost log:"
sed 's/^/  /' "$work/log"
asked="$(grep '^question: Are you sure you want to quit? \[Yes/No\] -> ' "$work/log" |
  sed 's/.*-> //' | tr '\n' ' ')"
[ "$asked" = "no yes yes " ] || fail "expected the quit question answered no, yes, yes"

# A dark theme: the read-only boxes keep dark text on their grey.
printf 'yes\n' >"$work/answers"
GTK_THEME=Adwaita:dark "$build/pdfhost" --answers "$work/answers" --run ZEKT:TVPMetadata \
  "$sample" &
host=$!
dialog="$(dialog_window)"
xdotool windowfocus --sync "$dialog"
shoot dialog-dark.png
key alt+c
wait_host

# Interactive, without a session bus and with one: a ticket imported through the file chooser
# (chosen with Return), the quit question answered with Return, and nothing on standard error.
cp examples/sample-ticket.xml "$work/ticket.xml"
for bus in none session; do
  if [ "$bus" = none ]; then
    env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR \
      "$build/pdfhost" --run ZEKT:TVPMetadata "$sample" 2>"$work/stderr" &
  else
    # The bus's own messages go elsewhere: only pdfhost's standard error counts.
    dbus-run-session -- sh -c 'exec "$0" --run ZEKT:TVPMetadata "$2" 2>"$1"' \
      "$build/pdfhost" "$work/stderr" "$sample" 2>/dev/null &
  fi
  host=$!
  dialog="$(dialog_window)"
  xdotool windowfocus --sync "$dialog"
  key alt+i
  chooser="$(other_window "$dialog")"
  xdotool windowfocus --sync "$chooser"
  key ctrl+l
  xdotool type "$work/ticket.xml"
  key Return
  sleep 0.5
  xdotool windowfocus --sync "$dialog"
  key alt+c
  question="$(other_window "$dialog")"
  xdotool windowfocus --sync "$question"
  key Return
  wait_host
  if [ -s "$work/stderr" ]; then
    cat "$work/stderr" >&2
    fail "interactive pdfhost ($bus bus) wrote to standard error"
  fi
  echo "interactive pdfhost with the file chooser ($bus bus): nothing on standard error"
done
