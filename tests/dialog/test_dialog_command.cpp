// The dialog command: the toolkit brought up and taken down around every run, the hidden frame,
// the host window around the dialog, a second choice while the dialog is open, host errors
// while the dialog is built, a toolkit that cannot start, and unload.
#include <gtk/gtk.h>
#include <wx/init.h>

#include <cstdlib>

#include "DialogHarness.h"
#include "wxInit.h"

using namespace dialogtest;
using pdfhost::Host;

namespace {

const char kToolkitFailed[] =
    "The Ad Ticket dialog cannot be opened: the window toolkit could not be started.";

// The top-level windows of the toolkit that are ticket dialogs.
int ticketDialogs()
{
  int count = 0;
  for (wxWindow* window : wxTopLevelWindows)
    if (dynamic_cast<TVPTabDialog*>(window) != nullptr) ++count;
  return count;
}

// Host calls that fail as a damaged document or a full disk would.
ASFile failingGetFile(PDDoc)
{
  Host::get().frames.raise(kASErrDocDamaged);
}

char* failingDIPath(ASFileSys, ASPathName, ASPathName)
{
  Host::get().frames.raise(kASErrNoMemory);
}

AVWindow failingWindow(AVWindowLayer, AVFlagBits32, AVWindowHandler, ASExtension, void*)
{
  Host::get().frames.raise(kASErrGeneral);
}

}  // namespace

TEST_F(DialogTest, TheToolkitIsUpOnlyWhileTheDialogRuns)
{
  openDocument(TVP_SAMPLE_PDF);
  EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
  runCommand([&](TVPTabDialog& dialog) {
    EXPECT_NE(dynamic_cast<PluginApp*>(wxAppConsole::GetInstance()), nullptr);
    ASSERT_NE(myMainFrame, nullptr);
    EXPECT_NE(dynamic_cast<AcrobatFrame*>(myMainFrame), nullptr);
    EXPECT_EQ(wxTheApp->GetTopWindow(), myMainFrame);
    EXPECT_EQ(dialog.GetParent(), myMainFrame);
    EXPECT_FALSE(myMainFrame->IsShown());
    EXPECT_EQ(myMainFrame->GetPosition(), wxPoint(-5000, -5000));
    EXPECT_EQ(offscreenPoint, wxPoint(-5000, -5000));
    EXPECT_TRUE(dialog.IsShown());
    EXPECT_EQ(Host::get().live.windows, 1) << "the dialog is wrapped in a host window";
    closeDialog();
  });
  // The fixture checks that the frame, the toolkit and the host window are gone.
}

TEST_F(DialogTest, TwoRunsInARowEachStartFromScratch)
{
  openDocument(TVP_SAMPLE_PDF);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    EXPECT_TRUE(runCommand([&](TVPTabDialog&) {
      EXPECT_NE(wxAppConsole::GetInstance(), nullptr);
      EXPECT_EQ(ticketDialogs(), 1);
      EXPECT_EQ(text(ID_TVP_EDIORDERID)->GetValue(), "") << "nothing kept from the last run";
      EXPECT_EQ(radioBox(ID_TVP_JOB_PAGE)->GetSelection(), 0);
      setText(ID_TVP_EDIORDERID, "run " + std::to_string(run));
      radioBox(ID_TVP_JOB_PAGE)->SetSelection(1);
      closeDialog();
    }));
    EXPECT_EQ(myMainFrame, nullptr);
    EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
    EXPECT_EQ(Host::get().live.windows, 0);
  }
  EXPECT_EQ(seen.questions.size(), 2u);
  // After complete runs, unload has nothing to take down.
  EXPECT_TRUE(PluginUnload());
  EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
}

TEST_F(DialogTest, TheHostWindowHoldsTheDialogWidgetAndEveryReferenceIsGivenBack)
{
  // The host's own window calls, watched: what they were given and the widget's references.
  static decltype(AcroViewHFT::AVWindowNewFromPlatformThing) hostNew;
  static decltype(AcroViewHFT::AVWindowDestroy) hostDestroy;
  static struct {
    void* wrapped = nullptr;
    AVWindowLayer layer = 0;
    ASExtension owner = nullptr;
    int referencesTaken = 0;
    int referencesGivenBack = 0;
  } watched;
  watched = {};
  AcroViewHFT& view = Host::get().tables.AcroView;
  hostNew = view.AVWindowNewFromPlatformThing;
  hostDestroy = view.AVWindowDestroy;
  view.AVWindowNewFromPlatformThing = [](AVWindowLayer layer, AVFlagBits32 flags,
                                         AVWindowHandler handler, ASExtension owner, void* thing) {
    guint before = G_OBJECT(thing)->ref_count;
    AVWindow window = hostNew(layer, flags, handler, owner, thing);
    watched.wrapped = thing;
    watched.layer = layer;
    watched.owner = owner;
    watched.referencesTaken = static_cast<int>(G_OBJECT(thing)->ref_count - before);
    return window;
  };
  view.AVWindowDestroy = [](AVWindow window) {
    guint before = G_OBJECT(watched.wrapped)->ref_count;
    hostDestroy(window);
    watched.referencesGivenBack = static_cast<int>(before - G_OBJECT(watched.wrapped)->ref_count);
  };

  openDocument(TVP_SAMPLE_PDF);
  gpointer widget = nullptr;
  runCommand([&](TVPTabDialog& dialog) {
    widget = dialog.GetHandle();
    ASSERT_TRUE(GTK_IS_WINDOW(widget));
    EXPECT_EQ(watched.wrapped, widget) << "the host window wraps the dialog's own widget";
    g_object_add_weak_pointer(G_OBJECT(widget), &widget);
    closeDialog();
  });
  EXPECT_EQ(watched.layer, 3);
  EXPECT_EQ(watched.owner, gExtensionID);
  EXPECT_EQ(watched.referencesTaken, 1);
  EXPECT_EQ(watched.referencesGivenBack, 1);
  EXPECT_EQ(widget, nullptr) << "the dialog's widget outlived the run";
  if (widget != nullptr) g_object_remove_weak_pointer(G_OBJECT(widget), &widget);
}

TEST_F(DialogTest, ASecondChoiceWhileTheDialogIsOpenLeavesItRunning)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    setText(ID_TVP_JOBID, "kept");
    wxWindow* frame = myMainFrame;
    wxAppConsole* app = wxAppConsole::GetInstance();
    // As the host runs an item chosen again (or a choice queued before the dialog came up).
    Host::get().execute(item());
    EXPECT_EQ(ticketDialogs(), 1) << "no second dialog";
    EXPECT_EQ(myMainFrame, frame);
    EXPECT_EQ(wxAppConsole::GetInstance(), app) << "the toolkit is still up";
    EXPECT_TRUE(dialog.IsModal());
    EXPECT_EQ(text(ID_TVP_JOBID)->GetValue(), "kept");
    EXPECT_EQ(Host::get().live.windows, 1);
    EXPECT_TRUE(seen.notes.empty() && seen.questions.empty());
    // The open dialog still works as before.
    click(ID_TVP_SAVE);
    EXPECT_EQ(seen.notes.size(), 1u);
    closeDialog();
  });
  // And a later choice opens the dialog again.
  EXPECT_TRUE(runCommand([&](TVPTabDialog&) { closeDialog(); }));
}

TEST_F(DialogTest, AHostErrorWhileTheDialogIsBuiltIsReportedAndNothingIsLeftUp)
{
  struct Failure {
    const char* name;
    std::function<void()> install;
    const char* alert;
  };
  const Failure failures[] = {
      {"document file", [] { Host::get().tables.PDModel.PDDocGetFile = failingGetFile; },
       "The document is damaged and could not be repaired."},
      {"device-independent path",
       [] { Host::get().tables.AcroSupport.ASFileSysDIPathFromPath = failingDIPath; },
       "Out of memory."},
      {"host window",
       [] { Host::get().tables.AcroView.AVWindowNewFromPlatformThing = failingWindow; },
       "An internal error occurred."},
  };
  openDocument(TVP_SAMPLE_PDF);
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.name);
    failure.install();
    seen.clear();
    EXPECT_FALSE(runCommand([&](TVPTabDialog&) { closeDialog(); })) << "no dialog to work";
    // The host's own frame caught the error and showed its text.
    EXPECT_EQ(seen.notes, std::vector<std::string>{failure.alert});
    EXPECT_EQ(myMainFrame, nullptr);
    EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
    EXPECT_EQ(Host::get().live.paths, 0);
    EXPECT_EQ(Host::get().live.windows, 0);
    Host::get().reset();
    ASSERT_TRUE(PluginInit());
    answer({});
    openDocument(TVP_SAMPLE_PDF);
  }
  // The plug-in is fine afterwards.
  EXPECT_TRUE(runCommand([&](TVPTabDialog&) { closeDialog(); }));
}

TEST_F(DialogTest, UnloadTakesDownAToolkitLeftUp)
{
  // As a run that never reached its teardown would leave it.
  ASSERT_TRUE(wxInitialize());
  myMainFrame = new AcrobatFrame();
  wxTheApp->SetTopWindow(myMainFrame);
  EXPECT_TRUE(PluginUnload());
  EXPECT_EQ(myMainFrame, nullptr);
  EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
  EXPECT_TRUE(PluginUnload());
}

// Runs in a process of its own, where GTK has never been started, with no display to start on.
TEST_F(DialogTest, AToolkitThatCannotStartIsReportedAndLeavesNothingUp)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  openDocument(TVP_SAMPLE_PDF);
  EXPECT_EXIT(
      {
        const char* display = std::getenv("DISPLAY");
        std::string saved = display != nullptr ? display : "";
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        // X only: GTK's fallback back-end would make a folder in the home of whoever runs this.
        ::setenv("GDK_BACKEND", "x11", 1);
        std::string problems;
        // Twice: a failed start must not count as a start that the next run builds on.
        for (int attempt = 0; attempt < 2; ++attempt) {
          seen.clear();
          bool ran = runCommand([&](TVPTabDialog&) { closeDialog(); });
          if (ran) problems += "a dialog ran; ";
          if (seen.notes != std::vector<std::string>{kToolkitFailed})
            problems += "no clear alert; ";
          if (myMainFrame != nullptr || wxAppConsole::GetInstance() != nullptr)
            problems += "toolkit left up; ";
          if (Host::get().live.windows != 0) problems += "host window left; ";
        }
        // Once there is a display, the command works again.
        if (!saved.empty()) {
          ::setenv("DISPLAY", saved.c_str(), 1);
          seen.clear();
          if (!runCommand([&](TVPTabDialog&) { closeDialog(); }) || !seen.notes.empty())
            problems += "no dialog once the display is back; ";
        }
        std::fprintf(stderr, "%s\n", problems.empty() ? "nothing left up" : problems.c_str());
        std::fflush(stderr);
        // The child skips the fixture's tear-down: its own log goes with it.
        std::remove(logPath_.c_str());
        std::_Exit(problems.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "nothing left up");
}

namespace {

ASInt32 failingAlert(ASInt32, const char*, const char*, const char*, const char*, ASBool)
{
  Host::get().frames.raise(kASErrGeneral);
}

}  // namespace

TEST_F(DialogTest, AHostErrorInAButtonOutsideOurFramesEndsTheRunCleanly)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    Host::get().tables.AcroView.AVAlert = failingAlert;
    click(ID_TVP_CLOSE);
    EXPECT_FALSE(dialog.IsModal());
  });
  EXPECT_EQ(seen.notes, std::vector<std::string>{"An internal error occurred."});
}
