// The interactive host's main window and its own File menu.
#pragma once

#include <glib.h>

#include "Host.h"

namespace pdfhost {

// Adds the host's own "File" menu (items "Open…", "Close", "Quit"; names File, Open, Close, Quit)
// first in the menu bar; Close is enabled only while a document is open, Quit quits `loop` (may
// be null: then Quit does nothing). Needs no display. Does nothing without a menu bar, when
// host.config.hostMenus is off, or when a menu named "File" is already there.
void installHostMenus(Host& host, GMainLoop* loop);

// Shows the main window (a menu bar built from host.menubar, the open documents below it) and
// runs `loop` until File ▸ Quit or closing the window quits it; then destroys the window and
// returns 0. Returns 1, with a line on standard error, when GTK cannot be brought up.
int runMainWindow(Host& host, GMainLoop* loop);

}  // namespace pdfhost
