// The host's modal GTK message dialogs, and bringing GTK up only when one is needed.
#include "GtkUi.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ASTypes.h"

namespace pdfhost {

namespace {

struct ListFreer {
  void operator()(GList* list) const { g_list_free(list); }
};
using OwnedList = std::unique_ptr<GList, ListFreer>;

// A title with its '&' mnemonic as GTK writes it ('_'); a literal '_' is doubled to stay one.
std::string gtkLabelOf(const std::string& title)
{
  std::string label;
  for (char c : title) {
    if (c == '&')
      label += '_';
    else if (c == '_')
      label += "__";
    else
      label += c;
  }
  return label;
}

GtkMessageType messageTypeOf(int icon)
{
  switch (icon) {
    case ALERT_STOP:
      return GTK_MESSAGE_ERROR;
    case ALERT_CAUTION:
      return GTK_MESSAGE_WARNING;
    case ALERT_QUESTION:
      return GTK_MESSAGE_QUESTION;
    default:
      return GTK_MESSAGE_INFO;
  }
}

// Without a display the user still learns what the host had to say.
void tellOnStandardError(const std::string& message)
{
  std::fprintf(stderr, "pdfhost: %s\n", message.c_str());
}

// Shows a modal message dialog with one button per title (response ids 1, 2, 3, ...) and
// returns the 1-based button chosen; closing the dialog counts as the last button.
int runMessageDialog(GtkMessageType type, const std::string& message,
                     const std::vector<std::string>& titles)
{
  OwnedWidget dialog = ownWidget(gtk_message_dialog_new(dialogParent(), GTK_DIALOG_MODAL, type,
                                                        GTK_BUTTONS_NONE, "%s", message.c_str()));
  gtk_window_set_position(GTK_WINDOW(dialog.get()), GTK_WIN_POS_CENTER_ON_PARENT);
  gtk_window_set_title(GTK_WINDOW(dialog.get()), "pdfhost");
  int count = static_cast<int>(titles.size());
  for (int i = 0; i < count; ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog.get()), gtkLabelOf(titles[i]).c_str(), i + 1);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog.get()), 1);
  int response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
  return response >= 1 && response <= count ? response : count;
}

}  // namespace

namespace {

// A plug-in's toolkit that starts GTK again asks, too late, for what the host already did (keep
// the C locale); GTK warns about it. The warning says nothing to a user, so it is dropped.
GLogWriterOutput dropLateLocaleWarning(GLogLevelFlags level, const GLogField* fields,
                                       gsize count, gpointer data)
{
  for (gsize i = 0; i < count; ++i)
    if (std::strcmp(fields[i].key, "MESSAGE") == 0 && fields[i].length < 0 &&
        std::strstr(static_cast<const char*>(fields[i].value), "gtk_disable_setlocale") != nullptr)
      return G_LOG_WRITER_HANDLED;
  return g_log_writer_default(level, fields, count, data);
}

// Whether an environment variable is set and not empty.
bool named(const char* variable)
{
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool ensureGtk()
{
  // The host writes numbers into PDF content and logs; the user's locale must not give them a
  // decimal comma. GTK works in UTF-8 whatever the locale, so its texts lose nothing.
  static const bool available = [] {
    g_log_set_writer_func(dropLateLocaleWarning, nullptr, nullptr);
    // A plug-in's toolkit may have brought GTK up first (it keeps the C locale too); asking
    // for it again then is too late, and GTK would only warn.
    if (gdk_display_get_default() == nullptr) {
      // Without a display named there is nothing to open: GTK would still look for a Wayland
      // socket, and, without XDG_RUNTIME_DIR, make ~/.cache for it. A Wayland display is
      // tried only when one is named.
      if (!named("DISPLAY") && !named("WAYLAND_DISPLAY") && !named("GDK_BACKEND"))
        return false;
      if (!named("WAYLAND_DISPLAY") && !named("GDK_BACKEND"))
        gdk_set_allowed_backends("x11");
      gtk_disable_setlocale();
    }
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  return available;
}

namespace {

// Whether a session bus can be reached without starting one: its address is given, or the
// user's bus socket exists.
bool sessionBusReachable()
{
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && *runtime != '\0' &&
         g_file_test((std::string(runtime) + "/bus").c_str(), G_FILE_TEST_EXISTS);
}

}  // namespace

GtkUi::GtkUi()
{
  // GTK's file chooser keeps its settings through dconf, which writes over the session bus.
  // Without one, every change fills standard error with warnings, and GLib would start a bus
  // of its own that outlives the host. The settings then live in memory for this run only. Set
  // here, before any GTK or plug-in runs; a backend the user chose stays.
  if (!sessionBusReachable()) g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
}

AlertResult GtkUi::note(const std::string& message)
{
  if (!ensureGtk()) {
    tellOnStandardError(message);
    return AlertResult{1, "ok (no display)"};
  }
  runMessageDialog(GTK_MESSAGE_INFO, message, {"OK"});
  return AlertResult{1, "ok"};
}

AlertResult GtkUi::alert(const AlertRequest& request)
{
  const auto& titles = request.buttons;
  if (titles.empty())
    return note(request.message);
  if (!ensureGtk()) {
    tellOnStandardError(request.message);
    return AlertResult{static_cast<int>(titles.size()), answerOfButton(titles.back()) + " (no display)"};
  }
  int button = runMessageDialog(messageTypeOf(request.icon), request.message, titles);
  return AlertResult{button, answerOfButton(titles[button - 1])};
}

void WidgetDestroyer::operator()(GtkWidget* widget) const
{
  gtk_widget_destroy(widget);
  g_object_unref(widget);
}

OwnedWidget ownWidget(GtkWidget* widget)
{
  if (widget != nullptr)
    g_object_ref(widget);
  return OwnedWidget(widget);
}

GtkWindow* dialogParent()
{
  OwnedList toplevels(gtk_window_list_toplevels());
  GtkWindow* shown = nullptr;
  for (GList* entry = toplevels.get(); entry != nullptr; entry = entry->next) {
    GtkWindow* window = GTK_WINDOW(entry->data);
    // Menus and tooltips are top-level popups: never a dialog's parent.
    if (gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL ||
        !gtk_widget_get_visible(GTK_WIDGET(window)))
      continue;
    if (gtk_window_is_active(window))
      return window;
    if (shown == nullptr || gtk_window_get_modal(window))
      shown = window;
  }
  return shown;
}

void GtkUi::adoptWindow(void* nativeWindow)
{
  if (!GTK_IS_WINDOW(nativeWindow)) return;  // a window of another toolkit stays as it is
  GtkWindow* window = GTK_WINDOW(nativeWindow);
  GtkWindow* owner = dialogParent();
  // Without a window of the host's shown (a run with scripted answers), the window stays on
  // the monitor its toolkit chose.
  if (owner == nullptr || owner == window) return;
  gtk_window_set_transient_for(window, owner);
  GdkWindow* shown = gtk_widget_get_window(GTK_WIDGET(owner));
  if (shown == nullptr) return;
  GdkMonitor* monitor = gdk_display_get_monitor_at_window(gdk_window_get_display(shown), shown);
  if (monitor == nullptr) return;
  // Centred on the work area of the owner's monitor, as large as it will be asked to be; the
  // window's toolkit may still fit it to that area once its frame is known, where it lies.
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  int width = 0, height = 0;
  gtk_window_get_size(window, &width, &height);
  const int x = area.x + std::max(0, (area.width - width) / 2);
  const int y = area.y + std::max(0, (area.height - height) / 2);
  gtk_window_move(window, x, y);
}

namespace {

struct GcharFreer {
  void operator()(gchar* text) const { g_free(text); }
};

// The chooser hides its location entry when Return there chooses a file, and the entry keeps
// the focus: the key's release would then go to a widget that is no longer realized, which GTK
// reports as a critical error. Such a key event has no one to go to and is dropped.
gboolean dropKeyForUnrealizedFocus(GtkWidget* window, GdkEvent*, gpointer)
{
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  return focus != nullptr && !gtk_widget_get_realized(focus);
}

std::optional<std::string> runFileChooser(const FileDialogRequest& request,
                                          GtkFileChooserAction action)
{
  if (!ensureGtk()) {
    std::fprintf(stderr, "pdfhost: no display to show the file dialog \"%s\" on\n",
                 request.title.c_str());
    return std::nullopt;
  }
  bool saving = action == GTK_FILE_CHOOSER_ACTION_SAVE;
  OwnedWidget dialog = ownWidget(gtk_file_chooser_dialog_new(
      request.title.c_str(), dialogParent(), action, "_Cancel", GTK_RESPONSE_CANCEL,
      saving ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, static_cast<const char*>(nullptr)));
  gtk_window_set_position(GTK_WINDOW(dialog.get()), GTK_WIN_POS_CENTER_ON_PARENT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
  for (const char* signal : {"key-press-event", "key-release-event"})
    g_signal_connect(dialog.get(), signal, G_CALLBACK(dropKeyForUnrealizedFocus), nullptr);
  // The chooser takes the filters' floating references.
  std::vector<FileFilter> filters = request.filters;
  filters.push_back(FileFilter{"All files", {"*"}});
  for (const auto& filter : filters) {
    GtkFileFilter* gtkFilter = gtk_file_filter_new();
    gtk_file_filter_set_name(gtkFilter, filter.name.c_str());
    for (const auto& pattern : filter.patterns)
      gtk_file_filter_add_pattern(gtkFilter, pattern.c_str());
    gtk_file_chooser_add_filter(chooser, gtkFilter);
  }
  if (!request.startFolder.empty())
    gtk_file_chooser_set_current_folder(chooser, request.startFolder.c_str());
  if (saving) {
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    if (!request.suggestedName.empty())
      gtk_file_chooser_set_current_name(chooser, request.suggestedName.c_str());
  }
  std::optional<std::string> path;
  if (gtk_dialog_run(GTK_DIALOG(dialog.get())) == GTK_RESPONSE_ACCEPT) {
    std::unique_ptr<gchar, GcharFreer> chosen(gtk_file_chooser_get_filename(chooser));
    if (chosen)
      path = chosen.get();
    // else: a location that is no local file; taken as cancelled
  }
  return path;
}

}  // namespace

std::optional<std::string> GtkUi::chooseFileToOpen(const FileDialogRequest& request)
{
  return runFileChooser(request, GTK_FILE_CHOOSER_ACTION_OPEN);
}

std::optional<std::string> GtkUi::chooseFileToSave(const FileDialogRequest& request)
{
  return runFileChooser(request, GTK_FILE_CHOOSER_ACTION_SAVE);
}

}  // namespace pdfhost
