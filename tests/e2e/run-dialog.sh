#!/usr/bin/env bash
# Runs pdfhost under an Xvfb of its own with the ticket dialog chosen once per STEP, as a user
# would, and works each dialog by keyboard.
#
#   run-dialog.sh FOLDER PDFHOST PLUGIN-DIR ANSWERS LOG FILE STEP...
#
# pdfhost starts in FOLDER and opens FILE as named there. Each STEP is shell text run once its
# dialog is shown; `press KEYS...` types into the dialog. Prints pdfhost's standard error; exits
# with pdfhost's status (124 when it did not end within a minute).
set -euo pipefail
folder=$1 pdfhost=$2 plugins=$3 answers=$4 log=$5 file=$6
shift 6

work=$(mktemp -d)
xvfb=
host=
cleanup() {
  [ -n "$host" ] && kill "$host" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# A display number nobody else holds, chosen by Xvfb itself and written once the server accepts
# connections. The server lives until this script ends (no -terminate: xdotool's short
# connections must not take it down).
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null; }
xvfb=$XVFB_PID
if ! read -r number <&"${XVFB[0]}" || [ -z "$number" ]; then
  echo "run-dialog: Xvfb did not start" >&2
  exit 1
fi
export NO_AT_BRIDGE=1
export DISPLAY=":$number"

runs=()
for _ in "$@"; do runs+=(--run ZEKT:TVPMetadata); done
cd "$folder"
(exec timeout 60 "$pdfhost" --plugins "$plugins" --answers "$answers" \
  --log "$log" "${runs[@]}" "$file" 2>"$work/err") &
host=$!

# The dialog's window once it is shown; the previous one must be gone first.
dialog_window() {
  local previous=$1 id
  # As long as pdfhost runs (at most a minute): a busy machine may take its time.
  while :; do
    id=$(xdotool search --onlyvisible --class pdfhost 2>/dev/null | head -1 || true)
    if [ -n "$id" ] && [ "$id" != "$previous" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$host" 2>/dev/null || return 1
    sleep 0.05
  done
}

press() {
  sleep 0.3  # let the toolkit settle on its focus
  xdotool key --clearmodifiers "$@"
}

window=
for step in "$@"; do
  window=$(dialog_window "$window") || break
  xdotool windowfocus --sync "$window"
  eval "$step"
done

status=0
wait "$host" || status=$?
host=
cat "$work/err" >&2
exit "$status"
