#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280x1024 unless TVP_SCREEN=WxH says
# otherwise), taken down when the command ends. With TVP_PANEL=N, a window manager (openbox)
# runs as well, keeping N pixels at the bottom for a panel: the work area is the screen less N.
#
#   [TVP_SCREEN=WxH] [TVP_PANEL=N] tests/dialog/with-own-display.sh COMMAND [ARGUMENT ...]
#
# Tests that bring up the window toolkit run in parallel, each on a server of its own, so that
# none shares a display, a focus or a window manager with another. The server lives until the
# command ends: it is not started with -terminate, which would end it as soon as any short-lived
# client (xdotool, xprop) that came first left, before the program under test had connected.
# Xvfb picks a free display number itself and writes it only once it accepts connections; the
# server (and openbox) are stopped on every path out of this script, an interrupt included.
set -uo pipefail

xvfb=""
wm=""
config=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  [ -n "$config" ] && rm -rf "$config"
  wm="" xvfb="" config=""
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

coproc XVFB {
  exec Xvfb -displayfd 1 -screen 0 "${TVP_SCREEN:-1280x1024}x24" -nolisten tcp 2>/dev/null
}
xvfb="$XVFB_PID"
if ! read -r number <&"${XVFB[0]}" || [ -z "$number" ]; then
  echo "with-own-display: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$number"

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
  # openbox says itself when it manages the screen: the command starts only then. The fifo is
  # read until openbox writes to it, or until openbox ends without doing so.
  mkfifo "$config/ready"
  XDG_CONFIG_HOME="$config" XDG_CACHE_HOME="$config" \
    openbox --startup "sh -c 'echo ready > $config/ready'" >/dev/null 2>&1 &
  wm=$!
  ( while kill -0 "$wm" 2>/dev/null; do sleep 0.2; done; exec 3>"$config/ready" ) &
  watcher=$!
  if ! read -r _ <"$config/ready"; then
    echo "with-own-display: openbox did not start" >&2
    kill "$watcher" 2>/dev/null
    exit 1
  fi
  kill "$watcher" 2>/dev/null
fi

# Not exec: the traps above take the server down once the command is over.
"$@"
exit $?
