// The interactive host's main window: a GTK menu bar built from the host's menu model, the list
// of open documents below it, and the host's own File menu.
#include "MainWindow.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "GtkUi.h"

namespace pdfhost {

namespace {

// ---------------------------------------------------------------------------------------------
// DECLARATIONS

// Drops one reference on a menu or menu item of the model.
struct ModelReleaser {
  template <typename Model>
  void operator()(Model* model) const
  {
    model->release();
  }
};
template <typename Model>
using ModelReference = std::unique_ptr<Model, ModelReleaser>;

// Takes a further reference on a menu or item, held until the returned holder is dropped.
template <typename Model>
ModelReference<Model> acquired(Model* model)
{
  model->acquire();
  return ModelReference<Model>(model);
}

struct GcharFreer {
  void operator()(gchar* text) const { g_free(text); }
};
using OwnedGchar = std::unique_ptr<gchar, GcharFreer>;

struct MainWindowState;

// A model item shown as a GtkMenuItem; the signal handlers' user data.
struct ItemBinding {
  MainWindowState* state;
  ModelReference<MenuItem> item;  // the widget shows it: keep it alive as long
  GtkWidget* widget;              // owned by its GtkMenu
};

// A model menu shown as a GtkMenu, whose items' sensitivity is asked again each time it opens.
struct MenuBinding {
  MainWindowState* state;
  ModelReference<Menu> menu;
  GtkWidget* widget;                // the GtkMenu, owned by its parent item
  std::vector<ItemBinding*> items;  // owned by the state
};

struct MainWindowState {
  MainWindowState(Host& shownHost, GMainLoop* mainLoop) : host(shownHost), loop(mainLoop) {}
  ~MainWindowState();
  MainWindowState(const MainWindowState&) = delete;
  MainWindowState& operator=(const MainWindowState&) = delete;

  Host& host;
  GMainLoop* loop;
  // Declared before the window, so they outlive any signal emitted while it is destroyed.
  std::vector<std::unique_ptr<MenuBinding>> menus;
  std::vector<std::unique_ptr<ItemBinding>> items;
  std::vector<guint> pendingRuns;  // idle sources of chosen items not run yet
  OwnedWidget window;
  GtkWidget* documentsLabel = nullptr;  // owned by the window
};

// ---------------------------------------------------------------------------------------------
// THE HOST'S OWN MENU
// Its procedures are host callbacks, run through the host's frame exactly as a plug-in's are.

// The chooser starts where the user most likely keeps ads: beside the active document, else in
// the current folder.
std::string usefulFolder(const DocumentList& documents)
{
  AVDoc active = documents.active();
  OwnedGchar folder(active != nullptr && !active->pdDoc->path.empty()
                        ? g_path_get_dirname(active->pdDoc->path.c_str())
                        : g_get_current_dir());
  return folder.get();
}

void openDocument(void* clientData)
{
  Host& host = *static_cast<Host*>(clientData);
  FileDialogRequest request;
  request.title = "Open";
  request.startFolder = usefulFolder(host.documents);
  request.filters = {FileFilter{"PDF files", {"*.pdf", "*.PDF"}}};
  auto path = host.chooseFileToOpen(request);
  if (!path)
    return;
  OpenFailure failure;
  if (host.documents.open(*path, &failure) == nullptr) {
    host.alertNote(failure.message);
    return;
  }
  host.log.write("document opened: " + *path);
}

void closeDocument(void* clientData)
{
  Host& host = *static_cast<Host*>(clientData);
  AVDoc doc = host.documents.active();
  if (doc == nullptr)
    return;
  std::string path = doc->pdDoc->path;
  host.documents.close(doc);
  host.log.write("document closed: " + path);
}

ASBool hasActiveDocument(void* clientData)
{
  return static_cast<Host*>(clientData)->documents.active() != nullptr;
}

void quitLoop(void* clientData)
{
  if (clientData != nullptr)
    g_main_loop_quit(static_cast<GMainLoop*>(clientData));
}

// A callback of the host's own (no plug-in owns it), kept for the host's lifetime.
template <typename Proc>
ASCallback hostCallback(Host& host, Proc proc)
{
  return host.newCallback(nullptr, reinterpret_cast<void*>(proc));
}

// A new item of the host's, with the creator's reference.
ModelReference<MenuItem> newHostItem(Host& host, const char* title, const char* name,
                                     AVExecuteProc execute, void* executeData)
{
  ModelReference<MenuItem> item(new MenuItem());
  item->title = title;
  item->name = name;
  item->executeProc = hostCallback(host, execute);
  item->executeData = executeData;
  return item;
}

void appendItem(Menu& menu, MenuItem& item)
{
  item.acquire();
  insertAt(menu.items, &item, static_cast<AVMenuIndex>(menu.items.size()));
}

// ---------------------------------------------------------------------------------------------
// THE MAIN WINDOW

std::string fileNameOf(const std::string& path)
{
  if (path.empty())
    return "untitled";
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string windowTitle(const DocumentList& documents)
{
  AVDoc active = documents.active();
  if (active == nullptr)
    return "pdfhost";
  return "pdfhost \u2014 " + fileNameOf(active->pdDoc->path);
}

// The document list only shows its active document; the others are counted.
std::string documentsText(const DocumentList& documents)
{
  if (documents.count() == 0)
    return "No document is open.";
  std::string text;
  for (AVDoc doc : documents.all()) {
    bool active = doc == documents.active();
    text += (active ? "\u25B8 " : "   ") + doc->pdDoc->path + (active ? "  (active)\n" : "\n");
  }
  text.pop_back();
  return text;
}

void refreshWindow(MainWindowState& state)
{
  gtk_window_set_title(GTK_WINDOW(state.window.get()), windowTitle(state.host.documents).c_str());
  gtk_label_set_text(GTK_LABEL(state.documentsLabel), documentsText(state.host.documents).c_str());
}

void refreshSensitivity(MenuBinding& binding)
{
  Host& host = binding.state->host;
  for (ItemBinding* item : binding.items)
    gtk_widget_set_sensitive(item->widget, host.isEnabled(*item->item));
}

void forgetPendingRun(MainWindowState& state, guint source)
{
  auto& pending = state.pendingRuns;
  pending.erase(std::remove(pending.begin(), pending.end(), source), pending.end());
}

// Runs a chosen item once the menu has closed, so a modal dialog it shows starts on a quiet bar.
gboolean runChosenItem(gpointer data)
{
  auto& binding = *static_cast<ItemBinding*>(data);
  MainWindowState& state = *binding.state;
  forgetPendingRun(state, g_source_get_id(g_main_current_source()));
  MenuItem& item = *binding.item;
  Host& host = state.host;
  host.runGuarded("running menu item " + item.name, [&] {
    // Whatever ran since the menu was open may have disabled it.
    if (host.isEnabled(item)) {
      host.log.write("menu item " + item.name + ": chosen");
      host.execute(item);
      host.log.write("menu item " + item.name + ": done");
    } else {
      host.log.write("menu item " + item.name + ": disabled, not run");
    }
    refreshWindow(state);
  });
  return G_SOURCE_REMOVE;
}

void onItemActivated(GtkMenuItem* /*widget*/, gpointer data)
{
  auto& binding = *static_cast<ItemBinding*>(data);
  binding.state->host.runGuarded("choosing menu item " + binding.item->name, [&] {
    binding.state->pendingRuns.push_back(g_idle_add(runChosenItem, &binding));
  });
}

void onMenuShown(GtkWidget* /*menu*/, gpointer data)
{
  auto& binding = *static_cast<MenuBinding*>(data);
  binding.state->host.runGuarded("opening menu " + binding.menu->name,
                                 [&] { refreshSensitivity(binding); });
}

void onMenuTitleSelected(GtkMenuItem* widget, gpointer data)
{
  onMenuShown(GTK_WIDGET(widget), data);
}

gboolean onWindowDeleted(GtkWidget* /*window*/, GdkEvent* /*event*/, gpointer data)
{
  auto& state = *static_cast<MainWindowState*>(data);
  state.host.runGuarded("closing the main window", [&] {
    state.host.log.write("main window closed");
    g_main_loop_quit(state.loop);
  });
  return TRUE;  // runMainWindow destroys the window once the loop has ended
}

MenuBinding& buildMenu(MainWindowState& state, Menu& menu);

// A GtkMenuItem for a model item: a submenu opens, an item without one is run when activated.
ItemBinding& buildItem(MainWindowState& state, MenuItem& item)
{
  GtkWidget* widget = gtk_menu_item_new_with_label(item.title.c_str());
  state.items.push_back(
      std::make_unique<ItemBinding>(ItemBinding{&state, acquired(&item), widget}));
  ItemBinding& binding = *state.items.back();
  if (item.submenu != nullptr)
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), buildMenu(state, *item.submenu).widget);
  else
    g_signal_connect(widget, "activate", G_CALLBACK(onItemActivated), &binding);
  return binding;
}

MenuBinding& buildMenu(MainWindowState& state, Menu& menu)
{
  GtkWidget* widget = gtk_menu_new();
  state.menus.push_back(
      std::make_unique<MenuBinding>(MenuBinding{&state, acquired(&menu), widget, {}}));
  MenuBinding& binding = *state.menus.back();
  for (MenuItem* item : menu.items) {
    ItemBinding& itemBinding = buildItem(state, *item);
    gtk_menu_shell_append(GTK_MENU_SHELL(widget), itemBinding.widget);
    binding.items.push_back(&itemBinding);
  }
  g_signal_connect(widget, "show", G_CALLBACK(onMenuShown), &binding);
  return binding;
}

GtkWidget* buildMenubar(MainWindowState& state)
{
  GtkWidget* bar = gtk_menu_bar_new();
  if (!state.host.menubar)
    return bar;
  for (Menu* menu : state.host.menubar->menus()) {
    GtkWidget* title = gtk_menu_item_new_with_label(menu->title.c_str());
    MenuBinding& binding = buildMenu(state, *menu);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(title), binding.widget);
    g_signal_connect(title, "select", G_CALLBACK(onMenuTitleSelected), &binding);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), title);
  }
  return bar;
}

void buildWindow(MainWindowState& state)
{
  state.window = ownWidget(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  GtkWindow* window = GTK_WINDOW(state.window.get());
  gtk_window_set_default_size(window, 560, 220);
  g_signal_connect(window, "delete-event", G_CALLBACK(onWindowDeleted), &state);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), column);
  gtk_box_pack_start(GTK_BOX(column), buildMenubar(state), FALSE, FALSE, 0);

  state.documentsLabel = gtk_label_new(nullptr);
  GtkLabel* label = GTK_LABEL(state.documentsLabel);
  gtk_label_set_xalign(label, 0.0f);
  gtk_label_set_yalign(label, 0.0f);
  gtk_widget_set_margin_start(state.documentsLabel, 12);
  gtk_widget_set_margin_end(state.documentsLabel, 12);
  gtk_widget_set_margin_top(state.documentsLabel, 12);
  gtk_widget_set_margin_bottom(state.documentsLabel, 12);
  gtk_box_pack_start(GTK_BOX(column), state.documentsLabel, TRUE, TRUE, 0);
  refreshWindow(state);
}

// An item chosen but not yet run must not run once the window and its bindings are gone.
MainWindowState::~MainWindowState()
{
  for (guint source : pendingRuns)
    g_source_remove(source);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// IMPLEMENTATION OF THE INTERFACE

void installHostMenus(Host& host, GMainLoop* loop)
{
  if (!host.menubar || !host.config.hostMenus || host.menubar->findMenu("File") != nullptr)
    return;
  ModelReference<Menu> file(new Menu());
  file->title = "File";
  file->name = "File";

  auto open = newHostItem(host, "Open\u2026", "Open", openDocument, &host);
  auto close = newHostItem(host, "Close", "Close", closeDocument, &host);
  close->computeEnabledProc = hostCallback(host, hasActiveDocument);
  close->computeEnabledData = &host;
  auto quit = newHostItem(host, "Quit", "Quit", quitLoop, loop);
  for (MenuItem* item : {open.get(), close.get(), quit.get()})
    appendItem(*file, *item);

  host.menubar->addMenu(file.get(), 0);
  // The creator's references go when the holders do; the bar and the menu keep theirs.
}

int runMainWindow(Host& host, GMainLoop* loop)
{
  if (loop == nullptr)
    throw std::logic_error("runMainWindow: no main loop to run");
  if (!ensureGtk()) {
    std::fprintf(stderr, "pdfhost: no display to show the main window on\n");
    return 1;
  }
  MainWindowState state(host, loop);
  buildWindow(state);
  gtk_widget_show_all(state.window.get());
  // Our own loop, never gtk_main: a plug-in's toolkit may bring GTK up and down under it.
  g_main_loop_run(loop);
  return 0;
}

}  // namespace pdfhost
