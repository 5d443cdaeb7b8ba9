// Tovarin Ad Ticket plug-in: entry, menu, dialog command and the conventions every host call of
// the plug-in follows (exception frames, error alerts, host texts).
#ifndef TOVARIN_PLUGIN_INIT_H
#define TOVARIN_PLUGIN_INIT_H

#include "PIHost.h"

class wxWindow;

// NAMES
#define kTovarinMenuTitle "Tovarin"
#define kTovarinMenuName "ZEKT:Tovarin"
#define kTovarinItemTitle "TVP metadata"
#define kTovarinItemName "ZEKT:TVPMetadata"
#define kTovarinExtensionName kTovarinItemName

// PLUG-IN CALLBACKS
ASAtom GetExtensionName();
ASBool PluginExportHFTs();
ASBool PluginImportReplaceAndRegister();
ASBool PluginInit();
ASBool PluginUnload();
ASBool PluginMenuItem();
ASBool IsCommandEnabled(void* clientData);
void TVPmetaData(void* clientData);

// The hidden frame that parents the dialog while a command run has the toolkit up.
extern wxWindow* myMainFrame;

// HOST EXCEPTION FRAMES
// Thrown by the restore procedure when the host raises an error inside a guarded run.
struct _miExceptionInfo {
  ASInt32 unused;
};

// The restore procedure of every frame the plug-in pushes.
void miThrowExceptionToHandler(void* frame);

// Pushes a host exception frame for its lifetime; the pop happens exactly once, on every path.
class _miExceptionPushPop {
 public:
  _miExceptionPushPop() { ASPushExceptionFrame(nullptr, miThrowExceptionToHandler); }
  ~_miExceptionPushPop() { ASPopExceptionFrame(); }
  _miExceptionPushPop(const _miExceptionPushPop&) = delete;
  _miExceptionPushPop& operator=(const _miExceptionPushPop&) = delete;
};

// Shows the host's text for an error code in a note alert; the text is cut to bufferSize bytes.
void miShowErrorAlert(ASErrorCode error, ASSize_t bufferSize);

// A byte string as host text in the host's language encoding; destroy it with ASTextDestroy.
ASText miHostTextFromBytes(const char* bytes);
// Fills a text made by ASTextNew with a byte string in the host's language encoding.
void miSetHostText(ASText text, const char* bytes);

#endif
