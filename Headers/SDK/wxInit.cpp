// Static objects of the embedded toolkit start, in the order they must be set up at load: the
// application factory first, then the off-screen point, then the two classes' event tables.
#include "wxInit.h"

wxAppConsole* wxCreateApp()
{
  wxAppConsole::CheckBuildOptions(WX_BUILD_OPTIONS_SIGNATURE, "the Tovarin plug-in");
  return new PluginApp;
}

wxAppInitializer wxTheAppInitializer(static_cast<wxAppInitializerFunction>(wxCreateApp));

wxPoint offscreenPoint(-5000, -5000);

// ---------------------------------------------------------------------------------------------
// PluginApp
// ---------------------------------------------------------------------------------------------

// No events of its own: the table only chains to wxApp's.
wxBEGIN_EVENT_TABLE(PluginApp, wxApp)
wxEND_EVENT_TABLE()

PluginApp::~PluginApp() = default;

bool PluginApp::OnInit()
{
  return true;
}

// ---------------------------------------------------------------------------------------------
// AcrobatFrame
// ---------------------------------------------------------------------------------------------

// No events of its own: the table only chains to wxFrame's.
wxBEGIN_EVENT_TABLE(AcrobatFrame, wxFrame)
wxEND_EVENT_TABLE()

AcrobatFrame::AcrobatFrame()
    : wxFrame(nullptr, wxID_ANY, wxEmptyString, offscreenPoint, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE, wxFrameNameStr)
{
}

AcrobatFrame::~AcrobatFrame() = default;
