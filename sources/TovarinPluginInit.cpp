// Tovarin Ad Ticket plug-in: handshake, menu installation, unload, and the host conventions.
#include "TovarinPluginInit.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/window.h>

#include <vector>

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

void TVPmetaData(void* /*clientData*/)
{
  // The ticket dialog is added with the dialog itself; until then the command does nothing.
}
