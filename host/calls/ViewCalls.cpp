// The host's calls of the AcroView table: menus, the active document, alerts and windows.
#include <glib-object.h>

#include <algorithm>

#include "support/Texts.h"

#include "calls/CallSupport.h"

namespace pdfhost {
namespace calls {

// ACROVIEW: menus

namespace {

Menubar& menubarOf(AVMenubar menubar)
{
  require(menubar);
  if (reinterpret_cast<Menubar*>(menubar) != host().menubar.get())
    host().frames.raise(kASErrBadParameter);
  return *reinterpret_cast<Menubar*>(menubar);
}

}  // namespace

AVMenubar AVAppGetMenubar(void)
{
  return reinterpret_cast<AVMenubar>(host().menubar.get());
}

AVMenu AVMenubarAcquireMenuByName(AVMenubar menubar, const char* name)
{
  require(name);
  Menu* menu = menubarOf(menubar).findMenu(name);
  if (menu != nullptr)
    menu->acquire();
  return menu;
}

void AVMenubarAddMenu(AVMenubar menubar, AVMenu menu, AVMenuIndex position)
{
  Menubar& bar = menubarOf(menubar);
  require(menu);
  const auto& menus = bar.menus();
  if (std::find(menus.begin(), menus.end(), menu) != menus.end())
    return;  // already there: the bar keeps its one reference
  bar.addMenu(menu, position);
}

AVMenu AVMenuNew(const char* title, const char* name, ASExtension owner)
{
  require(title);
  require(name);
  auto* menu = new Menu();
  menu->title = title;
  menu->name = name;
  menu->owner = owner;
  return menu;
}

void AVMenuRelease(AVMenu menu)
{
  if (menu != nullptr)
    menu->release();
}

void AVMenuAddMenuItem(AVMenu menu, AVMenuItem item, AVMenuIndex position)
{
  require(menu);
  require(item);
  item->acquire();
  insertAt(menu->items, item, position);
}

AVMenuItem AVMenuItemNew(const char* title, const char* name, AVMenu submenu,
                         ASBool longMenusOnly, char shortcut, AVFlagBits16 flags, AVIcon /*icon*/,
                         ASExtension owner)
{
  require(title);
  require(name);
  auto* item = new MenuItem();
  item->title = title;
  item->name = name;
  item->submenu = submenu;
  if (submenu != nullptr)
    submenu->acquire();
  item->longMenusOnly = longMenusOnly != 0;
  item->shortcut = shortcut;
  item->flags = flags;
  item->owner = owner;
  return item;
}

void AVMenuItemRelease(AVMenuItem item)
{
  if (item != nullptr)
    item->release();
}

void AVMenuItemSetExecuteProc(AVMenuItem item, ASCallback executeProc, void* clientData)
{
  require(item);
  item->executeProc = executeProc;
  item->executeData = clientData;
}

void AVMenuItemSetComputeEnabledProc(AVMenuItem item, ASCallback computeEnabledProc,
                                     void* clientData)
{
  require(item);
  item->computeEnabledProc = computeEnabledProc;
  item->computeEnabledData = clientData;
}

// ACROVIEW: documents, alerts, windows
AVDoc AVAppGetActiveDoc(void)
{
  return host().documents.active();
}

ASHostEncoding AVAppGetLanguageEncoding(void)
{
  return kHostEncodingUTF8;
}

void AVAlertNote(const char* message)
{
  host().alertNote(message != nullptr ? message : "");
}

ASInt32 AVAlert(ASInt32 iconType, const char* message, const char* button1, const char* button2,
                const char* button3, ASBool /*beep*/)
{
  std::vector<std::string> buttons;
  for (const char* title : {button1, button2, button3})
    if (title != nullptr)
      buttons.emplace_back(title);
  if (buttons.empty())
    buttons.emplace_back("OK");
  return host().alert(iconType, message != nullptr ? message : "", buttons);
}

PDDoc AVDocGetPDDoc(AVDoc doc)
{
  require(doc);
  if (!host().documents.contains(doc))
    host().frames.raise(kASErrBadParameter);
  return doc->pdDoc.get();
}

AVWindow AVWindowNewFromPlatformThing(AVWindowLayer layer, AVFlagBits32 /*flags*/,
                                      AVWindowHandler /*handler*/, ASExtension owner,
                                      void* platformThing)
{
  require(platformThing);
  if (!G_IS_OBJECT(platformThing))
    host().frames.raise(kASErrBadParameter);
  g_object_ref(platformThing);
  ++host().live.windows;
  // The window is the host's now: it belongs to the host's window and opens on its monitor.
  host().ui->adoptWindow(platformThing);
  return new _t_AVWindow{platformThing, owner, layer};
}

void AVWindowDestroy(AVWindow window)
{
  if (window == nullptr)
    return;
  g_object_unref(window->platformThing);
  --host().live.windows;
  delete window;
}

}  // namespace calls
}  // namespace pdfhost
