// Tovarin Ad Ticket plug-in: handshake, menu installation, unload, and the host conventions.
#include "TovarinPluginInit.h"

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/window.h>

#include <vector>

#include "TVPTabDialog.h"
#include "wxInit.h"

wxWindow* myMainFrame = nullptr;

// ---------------------------------------------------------------------------------------------
// Host conventions
// ---------------------------------------------------------------------------------------------

void miThrowExceptionToHandler(void* /*frame*/)
{
  throw _miExceptionInfo{0};
}

void miShowErrorAlert(ASErrorCode error, ASSize_t bufferSize)
{
  std::vector<char> buffer(bufferSize > 0 ? bufferSize : 1, '\0');
  AVAlertNote(ASGetErrorString(error, buffer.data(), buffer.size()));
}

ASText miHostTextFromBytes(const char* bytes)
{
  return ASTextFromEncoded(bytes, AVAppGetLanguageEncoding());
}

void miSetHostText(ASText text, const char* bytes)
{
  ASTextSetEncoded(text, bytes, AVAppGetLanguageEncoding());
}

// ---------------------------------------------------------------------------------------------
// Handshake and plug-in callbacks
// ---------------------------------------------------------------------------------------------

ASAtom GetExtensionName()
{
  return ASAtomFromString(kTovarinExtensionName);
}

ASBool PIHandshake(ASUns32 handshakeVersion, void* handshakeData)
{
  if (handshakeVersion != HANDSHAKE_V0200 || handshakeData == nullptr)
    return false;
  auto* record = static_cast<PIHandshakeData_V0200*>(handshakeData);
  record->extensionName = GetExtensionName();
  record->exportHFTsCallback =
      ASCallbackCreate(gExtensionID, reinterpret_cast<void*>(&PluginExportHFTs));
  record->importReplaceAndRegisterCallback =
      ASCallbackCreate(gExtensionID, reinterpret_cast<void*>(&PluginImportReplaceAndRegister));
  record->initCallback = ASCallbackCreate(gExtensionID, reinterpret_cast<void*>(&PluginInit));
  record->unloadCallback = ASCallbackCreate(gExtensionID, reinterpret_cast<void*>(&PluginUnload));
  return true;
}

ASBool PluginExportHFTs()
{
  return true;
}

ASBool PluginImportReplaceAndRegister()
{
  return true;
}

ASBool PluginInit()
{
  return PluginMenuItem();
}

ASBool IsCommandEnabled(void* /*clientData*/)
{
  return AVAppGetActiveDoc() != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Menu
// ---------------------------------------------------------------------------------------------

ASBool PluginMenuItem()
{
  AVMenubar menubar = AVAppGetMenubar();
  if (menubar == nullptr)
    return false;

  AVMenu menu = nullptr;
  AVMenuItem item = nullptr;
  try {
    _miExceptionPushPop frame;
    bool menuIsNew = false;
    menu = AVMenubarAcquireMenuByName(menubar, kTovarinMenuName);
    if (menu == nullptr) {
      menu = AVMenuNew(kTovarinMenuTitle, kTovarinMenuName, gExtensionID);
      menuIsNew = true;
    }
    if (menu != nullptr) {
      item = AVMenuItemNew(kTovarinItemTitle, kTovarinItemName, nullptr, true, 0, 0, nullptr,
                           gExtensionID);
      AVMenuItemSetExecuteProc(
          item, ASCallbackCreate(gExtensionID, reinterpret_cast<void*>(&TVPmetaData)), nullptr);
      AVMenuItemSetComputeEnabledProc(
          item, ASCallbackCreate(gExtensionID, reinterpret_cast<void*>(&IsCommandEnabled)),
          nullptr);
      AVMenuAddMenuItem(menu, item, 9999);
      AVMenuItemRelease(item);
      item = nullptr;
    }
    if (menuIsNew && menu != nullptr)
      AVMenubarAddMenu(menubar, menu, 9999);
    if (menu != nullptr) {
      AVMenuRelease(menu);
      menu = nullptr;
    }
  } catch (_miExceptionInfo&) {
    if (menu != nullptr)
      AVMenuRelease(menu);
    if (item != nullptr)
      AVMenuItemRelease(item);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Unload
// ---------------------------------------------------------------------------------------------

ASBool PluginUnload()
{
  // Only a command run that never reached its teardown leaves the toolkit up.
  if (wxAppConsole::GetInstance() == nullptr)
    return true;
  if (wxTheApp != nullptr)
    wxTheApp->SetTopWindow(nullptr);
  if (myMainFrame != nullptr) {
    delete myMainFrame;
    myMainFrame = nullptr;
  }
  wxUninitialize();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Dialog command
// ---------------------------------------------------------------------------------------------

namespace {

// Set while a command run is under way, and the dialog once it exists. The host may run the
// item again while the dialog is open (a second choice queued before the dialog came up runs
// inside the dialog's modal loop); that run must not take the toolkit down under it.
bool gCommandRunning = false;
TVPTabDialog* gOpenDialog = nullptr;

// Brings the toolkit up with the hidden frame as its top window. When the toolkit cannot start
// (no display, for one) the user is told so, and nothing of the toolkit is left up.
bool BringToolkitUp()
{
  // wx 3.2 on GTK has no embedded flag to set: its start brings GTK up inside the host's loop.
  int argc = 0;
  bool started = false;
  {
    wxLogNull quiet;  // our alert tells the user; the toolkit's own note would go to stderr
    started = wxInitialize(argc, static_cast<wxChar**>(nullptr));
  }
  if (!started) {
    // The toolkit counts a failed start as a start: balance it so the next run starts afresh.
    wxUninitialize();
    AVAlertNote("The Ad Ticket dialog cannot be opened: the window toolkit could not be started.");
    return false;
  }
  myMainFrame = new AcrobatFrame();
  wxTheApp->SetTopWindow(myMainFrame);
  return true;
}

// Whether the display can run a modal dialog: it needs an input seat for the dialog's grab.
// Without one (a Wayland session with no input device yet, a headless compositor), the
// toolkit's grab release under the modal run would take the host down.
bool DisplayTakesInput()
{
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
  // A seat that has neither pointer nor keyboard yet fails the grab as badly as none.
  return seat != nullptr && gdk_seat_get_capabilities(seat) != GDK_SEAT_CAPABILITY_NONE &&
         gdk_seat_get_pointer(seat) != nullptr;
}

// Takes down, in this order, the host window, the dialog, the hidden frame and the toolkit.
void EndCommandRun(AVWindow hostWindow, TVPTabDialog* dialog)
{
  if (hostWindow != nullptr)
    AVWindowDestroy(hostWindow);
  if (dialog != nullptr) {
    dialog->Destroy();
    delete dialog;  // also takes it off the toolkit's pending deletions
  }
  // The native window is the dialog's GTK widget: the command took no reference of its own on
  // it, the host gave its one back in AVWindowDestroy, and the toolkit destroyed the widget.
  gOpenDialog = nullptr;
  if (myMainFrame != nullptr) {
    myMainFrame->Destroy();
    wxUninitialize();
    myMainFrame = nullptr;
  }
  gCommandRunning = false;
}

}  // namespace

void TVPmetaData(void* /*clientData*/)
{
  if (gCommandRunning) {
    if (gOpenDialog != nullptr)
      gOpenDialog->Raise();
    return;
  }
  if (myMainFrame == nullptr && !BringToolkitUp())
    return;
  gCommandRunning = true;
  if (!DisplayTakesInput()) {
    EndCommandRun(nullptr, nullptr);
    AVAlertNote("The Ad Ticket dialog cannot be opened: the display has no keyboard or mouse.");
    return;
  }

  TVPTabDialog* dialog = nullptr;
  AVWindow hostWindow = nullptr;
  try {
    dialog = new TVPTabDialog(myMainFrame, wxID_ANY, wxString(), wxDefaultPosition,
                              wxDefaultSize, wxCAPTION);
    gOpenDialog = dialog;
    hostWindow = AVWindowNewFromPlatformThing(3, 0, nullptr, gExtensionID, dialog->GetHandle());
    // Every way out of the dialog leads to the same teardown, so its result is not looked at.
    dialog->ShowModal();
  } catch (...) {
    // A host error raised outside any frame of ours goes on to the host, which reports it; the
    // run still takes down everything it brought up.
    EndCommandRun(hostWindow, dialog);
    throw;
  }
  EndCommandRun(hostWindow, dialog);
}
