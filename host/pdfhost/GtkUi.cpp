// The host's modal GTK message dialogs, and bringing GTK up only when one is needed.
#include "GtkUi.h"

#include <gtk/gtk.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "ASTypes.h"

namespace pdfhost {

namespace {

struct ListFreer {
  void operator()(GList* list) const { g_list_free(list); }
};
using OwnedList = std::unique_ptr<GList, ListFreer>;

// The answer a button gives in the log: its title lower-cased, without the mnemonic '&'. Only
// ASCII letters are lowered, exactly as the scripted host compares answers.
std::string answerOf(const std::string& title)
{
  std::string answer;
  for (char c : title)
    if (c != '&')
      answer += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return answer;
}

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
  OwnedWidget dialog = ownWidget(gtk_message_dialog_new(
      dialogParent(), GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", message.c_str()));
  gtk_window_set_title(GTK_WINDOW(dialog.get()), "pdfhost");
  int count = static_cast<int>(titles.size());
  for (int i = 0; i < count; ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog.get()), gtkLabelOf(titles[i]).c_str(), i + 1);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog.get()), 1);
  int response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
  return response >= 1 && response <= count ? response : count;
}

}  // namespace

bool ensureGtk()
{
  // The host writes numbers into PDF content and logs; the user's locale must not give them a
  // decimal comma. GTK works in UTF-8 whatever the locale, so its texts lose nothing.
  static const bool available = [] {
    gtk_disable_setlocale();
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  return available;
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
    return AlertResult{static_cast<int>(titles.size()), answerOf(titles.back()) + " (no display)"};
  }
  int button = runMessageDialog(messageTypeOf(request.icon), request.message, titles);
  return AlertResult{button, answerOf(titles[button - 1])};
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

}  // namespace pdfhost
