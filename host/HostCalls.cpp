// The host's side of each table call, and the filling of the tables from the call lists.
#include <glib-object.h>

#include <cstdlib>
#include <cstring>

#include "Host.h"
#include "support/Texts.h"

namespace pdfhost {
namespace calls {

namespace {

Host& host()
{
  return Host::get();
}

// A plug-in passed something the call cannot use.
template <typename T>
void require(T* pointer)
{
  if (pointer == nullptr)
    host().frames.raise(kASErrBadParameter);
}

}  // namespace

// CORE
void ASPushExceptionFrame(void* frame, ACRestoreProc restoreProc)
{
  host().frames.pushPluginFrame(frame, restoreProc);
}

void ASPopExceptionFrame(void)
{
  host().frames.pop();
}

void ASRaise(ASErrorCode error)
{
  host().frames.raise(error);
}

ASErrorCode ASGetExceptionErrorCode(void)
{
  return host().frames.lastError();
}

ASAtom ASAtomFromString(const char* name)
{
  require(name);
  return host().atoms.intern(name);
}

const char* ASAtomGetString(ASAtom atom)
{
  const char* name = host().atoms.name(atom);
  if (name == nullptr)
    host().frames.raise(kASErrBadParameter);
  return name;
}

ASCallback ASCallbackCreate(ASExtension owner, void* proc)
{
  require(proc);
  return host().newCallback(owner, proc);
}

void ASCallbackDestroy(ASCallback callback)
{
  if (callback != nullptr)
    host().destroyCallback(callback);
}

const void* ASExtensionMgrGetHFT(ASAtom name, ASUns32 version)
{
  const char* tableName = host().atoms.name(name);
  std::string table = tableName != nullptr ? tableName : "";
  ASUns32 offered = host().offeredVersion(table);
  const void* found = host().table(table);
  std::string refusal;
  if (found == nullptr || offered == 0)
    refusal = "the host has no table \"" + table + "\"";
  else if (offered < version)
    refusal = "the host's table \"" + table + "\" is version " + hex(offered) + ", older than the " +
              hex(version) + " required";
  if (refusal.empty())
    return found;
  if (auto* starting = host().plugins.starting(); starting != nullptr && starting->failure.empty())
    starting->failure = refusal;
  return nullptr;
}

// ACROSUPPORT
void* ASmalloc(ASSize_t size)
{
  return std::malloc(size > 0 ? size : 1);
}

void ASfree(void* block)
{
  std::free(block);
}

const char* ASGetErrorString(ASErrorCode error, char* buffer, ASSize_t bufferSize)
{
  return copyErrorText(error, buffer, bufferSize);
}

// ACROSUPPORT: files and path names

// The file system a call names; null stands for the default one.
void requireFileSys(ASFileSys fileSys)
{
  if (fileSys != nullptr && fileSys != &host().defaultFileSys)
    host().frames.raise(kASErrBadParameter);
}

// A path name the host handed out and nobody has released yet.
ASPathName requirePath(ASPathName path)
{
  require(path);
  if (!host().pathNames.contains(path))
    host().frames.raise(kASErrBadParameter);
  return path;
}

ASFileSys ASGetDefaultFileSys(void)
{
  return &host().defaultFileSys;
}

ASPathName ASFileAcquirePathName(ASFile file)
{
  require(file);
  ++host().live.paths;
  return host().pathNames.acquire(file->path);
}

char* ASFileSysDIPathFromPath(ASFileSys fileSys, ASPathName path, ASPathName relativeToThisPath)
{
  requireFileSys(fileSys);
  requirePath(path);
  const std::string* base = nullptr;
  if (relativeToThisPath != nullptr)
    base = &requirePath(relativeToThisPath)->path;
  std::string text = deviceIndependentPath(path->path, base);
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr)
    host().frames.raise(kASErrNoMemory);
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void ASFileSysReleasePath(ASFileSys fileSys, ASPathName path)
{
  requireFileSys(fileSys);
  if (path == nullptr)
    return;
  // Releasing twice, or a pointer the host never made, must not free anything.
  if (!host().pathNames.release(path))
    host().frames.raise(kASErrBadParameter);
  --host().live.paths;
}

// ASEXTRA
ASText ASTextNew(void)
{
  ++host().live.texts;
  return new _t_ASText();
}

void ASTextSetEncoded(ASText text, const char* bytes, ASHostEncoding encoding)
{
  require(text);
  require(bytes);
  if (!isKnownEncoding(encoding))
    host().frames.raise(kASErrBadParameter);
  text->utf8 = toUtf8(bytes, encoding);
}

ASText ASTextFromEncoded(const char* bytes, ASHostEncoding encoding)
{
  require(bytes);
  if (!isKnownEncoding(encoding))
    host().frames.raise(kASErrBadParameter);
  ASText text = ASTextNew();
  text->utf8 = toUtf8(bytes, encoding);
  return text;
}

char* ASTextGetEncodedCopy(ASText text, ASHostEncoding encoding)
{
  require(text);
  if (!isKnownEncoding(encoding))
    host().frames.raise(kASErrBadParameter);
  std::string bytes = fromUtf8(text->utf8, encoding);
  auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (copy == nullptr)
    host().frames.raise(kASErrNoMemory);
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  return copy;
}

void ASTextDestroy(ASText text)
{
  if (text == nullptr)
    return;
  --host().live.texts;
  delete text;
}

// ACROVIEW: menus

Menubar& menubarOf(AVMenubar menubar)
{
  require(menubar);
  if (reinterpret_cast<Menubar*>(menubar) != host().menubar.get())
    host().frames.raise(kASErrBadParameter);
  return *reinterpret_cast<Menubar*>(menubar);
}

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

// PDMODEL
ASFile PDDocGetFile(PDDoc doc)
{
  require(doc);
  if (!host().documents.holds(doc))
    host().frames.raise(kASErrBadParameter);
  return doc->file.get();
}

}  // namespace calls

void Host::fillTables()
{
#define TVP_FILL_ENTRY(Table, Result, Name, Required, Params) tables.Table.Name = &calls::Name;
  TVP_ALL_HOST_CALLS(TVP_FILL_ENTRY)
#undef TVP_FILL_ENTRY
}

}  // namespace pdfhost
