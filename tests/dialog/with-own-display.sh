#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280x1024 unless TVP_SCREEN=WxH says
# otherwise), taken down when the command ends. With TVP_PANEL=N, a window manager (openbox)
# runs as well, keeping N pixels at the bottom for a panel: the work area is the screen less N.
#
#   [TVP_SCREEN=WxH] [TVP_PANEL=N] tests/dialog/with-own-display.sh COMMAND [ARGUMENT ...]
#
# Tests that bring up the window toolkit run in parallel. On one shared server, where other
# tests come and go (and the server starts afresh each time its last client leaves), a test
# could now and then not open the display at all: "the window toolkit could not be started".
# A server per test leaves nothing to share. Xvfb picks a free display number itself and writes
# it once it is ready; -terminate ends it with its last client even if this script is killed.
set -uo pipefail

coproc XVFB {
  exec Xvfb -displayfd 1 -screen 0 "${TVP_SCREEN:-1280x1024}x24" -nolisten tcp -terminate \
    2>/dev/null
}
xvfb="$XVFB_PID"
if ! read -r number <&"${XVFB[0]}"; then
  echo "with-own-display: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$number"

wm=""
config=""
if [ -n "${TVP_PANEL:-}" ]; then
  # openbox's margins are its way to keep room for a panel; its files go to a folder of ours.
  config="$(mktemp -d)"
  mkdir -p "$config/openbox"
  cat >"$config/openbox/rc.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <margins><top>0</top><bottom>${TVP_PANEL}</bottom><left>0</left><right>0</right></margins>
  <keyboard><keybind key="A-F4"><action name="Close"/></keybind></keyboard>
</openbox_config>
XML
  # A client that came and went before openbox connected would end the server: openbox itself
  # says when it is up.
  XDG_CONFIG_HOME="$config" XDG_CACHE_HOME="$config" \
    openbox --startup "touch $config/ready" >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 1 100); do
    [ -e "$config/ready" ] && break
    sleep 0.05
  done
fi

"$@"
status=$?
[ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
[ -n "$config" ] && rm -rf "$config"
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit "$status"
