// The interactive host's side of GTK: bringing the toolkit up on first need, the host's modal
// message dialogs, and the small helpers its own windows share.
#pragma once

#include <memory>
#include <string>

#include "app/HostUi.h"

// The toolkit's own type names, so that this header does not pull in all of GTK.
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

namespace pdfhost {

// Brings GTK up the first time a window of the host's own is needed (gtk_init_check once).
// Returns false when there is no display; then nothing of GTK is used.
bool ensureGtk();

// The interactive host's user: modal GTK message dialogs. Without a display, the message goes
// to standard error and the answer is the one a user closing the dialog would give.
class GtkUi : public HostUi {
 public:
  // Made before GTK starts: without a reachable session bus, GTK's settings are kept in memory
  // (GSETTINGS_BACKEND=memory, unless the user set a backend), so that no dconf write fails.
  GtkUi();
  // An information dialog with one "OK" button; the answer is "ok" ("ok (no display)").
  AlertResult note(const std::string& message) override;
  // One button per title, first button first; closing the dialog chooses the last button. The
  // answer is the chosen title lower-cased without '&'. No titles: shown as note() shows it.
  AlertResult alert(const AlertRequest& request) override;
  // GTK file choosers with the request's filters (plus "All files"); a location that is no local
  // file counts as cancelled. A save chooser asks before replacing a file.
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override;
  // The GTK print dialog; the chosen printer gets the document's PDF as the job (GtkPrint.cpp).
  // A printer that takes no PDF, or a job that fails, is a failure with GTK's reason.
  PrintResult printDocument(const PrintRequest& request) override;
  // A GTK window becomes transient for the host's window and is centred on the work area of
  // the monitor that holds it; the dialogs it opens then follow it there.
  void adoptWindow(void* nativeWindow) override;
};

// HELPERS FOR THE HOST'S OWN WINDOWS

// Holds a reference on a top-level widget the host created and destroys it when dropped, so a
// window destroyed meanwhile by someone else is never touched after it is freed.
struct WidgetDestroyer {
  void operator()(GtkWidget* widget) const;
};
using OwnedWidget = std::unique_ptr<GtkWidget, WidgetDestroyer>;
// Takes a new top-level widget (a window or dialog) into an OwnedWidget; null stays null.
OwnedWidget ownWidget(GtkWidget* widget);

// The window a dialog of the host's should stay above: the active top-level window, else a
// shown one (a modal one first); null when none is shown. Borrowed; GTK must be up.
GtkWindow* dialogParent();

}  // namespace pdfhost
