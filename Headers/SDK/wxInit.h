// The two classes that let the plug-in bring wxWidgets up inside the host for one command run:
// the application object the toolkit creates at its start, and the hidden frame that parents
// the plug-in's dialogs. Their static objects register them when the plug-in is loaded.
#ifndef TVP_SDK_WXINIT_H
#define TVP_SDK_WXINIT_H

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/gdicmn.h>

// The toolkit's application object while a command run has the toolkit up. The embedded start
// (wxInitialize) never calls OnInit; it succeeds all the same should anything call it.
class PluginApp : public wxApp {
 public:
  ~PluginApp() override;
  bool OnInit() override;

 private:
  wxDECLARE_EVENT_TABLE();
};

// The top window of a command run: placed off screen at offscreenPoint and never shown, so the
// dialog has a parent of the toolkit's own inside a host that is not a toolkit application.
class AcrobatFrame : public wxFrame {
 public:
  AcrobatFrame();
  ~AcrobatFrame() override;

 private:
  wxDECLARE_EVENT_TABLE();
};

// STATIC OBJECTS (defined in wxInit.cpp, constructed when the plug-in is loaded)

// The factory the toolkit's start calls through wxTheAppInitializer: checks that the toolkit
// in the process was built as the one the plug-in was compiled against, then makes a PluginApp.
wxAppConsole* wxCreateApp();
extern wxAppInitializer wxTheAppInitializer;
// Where the hidden frame sits: (-5000, -5000).
extern wxPoint offscreenPoint;

#endif
