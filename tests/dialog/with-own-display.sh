#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280x1024), taken down when the command ends.
#
#   tests/dialog/with-own-display.sh COMMAND [ARGUMENT ...]
#
# Tests that bring up the window toolkit run in parallel. On one shared server, where other
# tests come and go (and the server starts afresh each time its last client leaves), a test
# could now and then not open the display at all: "the window toolkit could not be started".
# A server per test leaves nothing to share. Xvfb picks a free display number itself and writes
# it once it is ready; -terminate ends it with its last client even if this script is killed.
set -uo pipefail

coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -terminate 2>/dev/null; }
xvfb="$XVFB_PID"
if ! read -r number <&"${XVFB[0]}"; then
  echo "with-own-display: Xvfb did not start" >&2
  exit 1
fi
DISPLAY=":$number" "$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit "$status"
