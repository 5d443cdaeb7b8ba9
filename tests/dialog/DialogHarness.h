// Drives the ticket dialog in-process: the plug-in's glue started against the real host, the
// command run as the host runs a chosen menu item, and a script that works the dialog by its
// window identifiers from inside the dialog's modal loop.
#pragma once

#include "../support/TestFiles.h"
#include <glib.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/debug.h>
#include <wx/log.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>

#include <deque>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Host.h"
#include "TVPTabDialog.h"
#include "TovarinPluginInit.h"

namespace dialogtest {

// What the user was shown, in order: note alerts and questions.
struct Seen {
  std::vector<std::string> notes;
  std::vector<std::string> questions;
  void clear()
  {
    notes.clear();
    questions.clear();
  }
};

// The scripted user of the headless host, recording what it is shown.
class RecordingUi : public pdfhost::ScriptedUi {
 public:
  RecordingUi(std::deque<std::string> answers, Seen* seen)
      : ScriptedUi(std::move(answers)), seen_(seen)
  {
  }
  pdfhost::AlertResult note(const std::string& message) override
  {
    seen_->notes.push_back(message);
    return ScriptedUi::note(message);
  }
  pdfhost::AlertResult alert(const pdfhost::AlertRequest& request) override
  {
    seen_->questions.push_back(request.message);
    return ScriptedUi::alert(request);
  }

 private:
  Seen* seen_;
};

// Toolkit assertions that fired (a failed one would otherwise open a dialog of its own).
inline std::vector<std::string>& toolkitAssertions()
{
  static std::vector<std::string> failures;
  return failures;
}

inline void recordAssertion(const wxString& file, int line, const wxString& /*function*/,
                            const wxString& condition, const wxString& message)
{
  toolkitAssertions().push_back(file.ToStdString() + ":" + std::to_string(line) + ": " +
                                condition.ToStdString() + " " + message.ToStdString());
}

// Messages the toolkit logged. Its own log target would show them in a message box when it is
// taken down, which no one would answer here.
inline std::vector<std::string>& toolkitMessages()
{
  static std::vector<std::string> messages;
  return messages;
}

class RecordingLog : public wxLog {
 protected:
  void DoLogTextAtLevel(wxLogLevel /*level*/, const wxString& message) override
  {
    toolkitMessages().push_back(message.ToStdString());
  }
};

// CONTROLS BY IDENTIFIER (only while the dialog is up)

inline wxTextCtrl* text(int id)
{
  return dynamic_cast<wxTextCtrl*>(wxWindow::FindWindowById(id));
}

inline void setText(int id, const wxString& value)
{
  wxTextCtrl* control = text(id);
  ASSERT_NE(control, nullptr) << id;
  control->SetValue(value);
  ASSERT_EQ(control->GetValue(), value) << id;
}

// The radio box with identifier 10035 on a page: 10006 holds the colours, 10040 the sizes.
inline wxRadioBox* radioBox(int pageId)
{
  return dynamic_cast<wxRadioBox*>(
      wxWindow::FindWindowById(ID_TVP_RADIOBOX, wxWindow::FindWindowById(pageId)));
}

// Clicks a button as the toolkit does for a user's click: a button event through the button.
inline void click(int id)
{
  wxButton* button = dynamic_cast<wxButton*>(wxWindow::FindWindowById(id));
  ASSERT_NE(button, nullptr) << id;
  wxCommandEvent event(wxEVT_BUTTON, id);
  button->Command(event);
}

// Asks the dialog's window to close as a window manager does for its title-bar button or
// Alt+F4: GTK's delete event on the window.
inline void closeFromWindowManager(wxWindow& window)
{
  GdkWindow* native = gtk_widget_get_window(window.GetHandle());
  ASSERT_NE(native, nullptr) << "the window is not shown";
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(native));
  event->any.send_event = TRUE;
  gtk_main_do_event(event);
  gdk_event_free(event);
}

// The open dialog, found through the PDF-file text; null when none is up.
inline TVPTabDialog* openDialog()
{
  wxWindow* pdfFile = wxWindow::FindWindowById(ID_TVP_PDF_FILE);
  return pdfFile != nullptr ? dynamic_cast<TVPTabDialog*>(pdfFile->GetParent()) : nullptr;
}

// Lets the toolkit and the display finish what showing or changing the dialog started: the
// display has answered every request, and every event that brought is handled.
inline void settle()
{
  for (int round = 0; round < 3; ++round) {
    gdk_display_sync(gdk_display_get_default());
    for (int events = 0; events < 10000 && g_main_context_iteration(nullptr, FALSE); ++events) {
    }
  }
}

// A string of n copies of a character.
inline wxString repeated(wxUniChar c, size_t n)
{
  return wxString(c, n);
}

// THE FIXTURE

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    pdfhost::Host& host = pdfhost::Host::get();
    host.reset();
    ASSERT_TRUE(startGlue());
    ASSERT_TRUE(PluginInit());
    logPath_ = "/tmp/tvp-dialog-" + std::to_string(::getpid()) + ".log";
    host.log.open(logPath_);
    answer({});
    toolkitAssertions().clear();
    toolkitMessages().clear();
    wxSetAssertHandler(recordAssertion);
  }

  void TearDown() override
  {
    pdfhost::Host& host = pdfhost::Host::get();
    EXPECT_EQ(myMainFrame, nullptr) << "hidden frame left";
    EXPECT_EQ(wxAppConsole::GetInstance(), nullptr) << "toolkit left up";
    EXPECT_EQ(host.live.windows, 0);
    EXPECT_EQ(host.live.paths, 0);
    EXPECT_EQ(host.live.texts, 0);
    EXPECT_EQ(host.frames.depth(), 0u);
    EXPECT_EQ(toolkitAssertions(), std::vector<std::string>());
    EXPECT_EQ(toolkitMessages(), std::vector<std::string>());
    host.log.close();
    std::remove(logPath_.c_str());
    host.reset();
  }

  // The answers the user gives from now on, in order.
  void answer(std::deque<std::string> answers)
  {
    pdfhost::Host::get().ui = std::make_unique<RecordingUi>(std::move(answers), &seen);
  }

  void openDocument(const std::string& path)
  {
    pdfhost::OpenFailure failure;
    ASSERT_NE(pdfhost::Host::get().documents.open(path, &failure), nullptr) << failure.message;
  }

  pdfhost::MenuItem& item() { return *pdfhost::Host::get().menubar->findItem(kTovarinItemName); }

  // Chooses the item as the host does and runs the script once the dialog is up and modal. A
  // script that leaves the dialog open is noted, and the dialog is ended for it. Returns
  // whether the script ran.
  bool runCommand(std::function<void(TVPTabDialog&)> script)
  {
    Pending pending{std::move(script)};
    // The toolkit deletes its log target when it is taken down, so each run gets a new one.
    delete wxLog::SetActiveTarget(new RecordingLog);
    guint source = g_timeout_add(10, &DialogTest::tick, &pending);
    pdfhost::Host::get().execute(item());
    if (!pending.finished) g_source_remove(source);
    EXPECT_FALSE(pending.leftOpen) << "the script left the dialog open";
    return pending.ran;
  }

  // Closes the dialog as a user does: "&Close", answered "Yes".
  void closeDialog()
  {
    answer({"yes"});
    click(ID_TVP_CLOSE);
  }

  std::string logText() const
  {
    return testfiles::readFile(logPath_);
  }

  Seen seen;
  std::string logPath_;  // the host's log for this test

 private:
  struct Pending {
    std::function<void(TVPTabDialog&)> script;
    bool ran = false;
    bool finished = false;
    bool leftOpen = false;
    int ticks = 0;
  };

  static gboolean tick(gpointer data)
  {
    auto& pending = *static_cast<Pending*>(data);
    TVPTabDialog* dialog = openDialog();
    if (dialog == nullptr || !dialog->IsModal()) {
      if (++pending.ticks < 1000) return G_SOURCE_CONTINUE;
      ADD_FAILURE() << "the dialog did not come up";
      pending.finished = true;
      return G_SOURCE_REMOVE;
    }
    pending.ran = true;
    pending.script(*dialog);
    if (dialog->IsModal()) {
      pending.leftOpen = true;
      dialog->EndModal(wxID_CANCEL);
    }
    pending.finished = true;
    return G_SOURCE_REMOVE;
  }

  // The glue as the loader runs it, minus loading the module.
  static bool startGlue()
  {
    static _t_ASExtension extension;
    ASUns32 version = 0;
    PISetupSDKProc setup = nullptr;
    if (!AcroPluginMain(HANDSHAKE_V0200, &version, &setup, nullptr)) return false;
    PISDKData_V0200 data{};
    data.handshakeVersion = HANDSHAKE_V0200;
    data.extensionID = &extension;
    data.coreHFT = &pdfhost::Host::get().tables.Core;
    data.coreVersion = pdfhost::Host::get().offeredVersion("Core");
    return setup(HANDSHAKE_V0200, &data) != 0;
  }
};

}  // namespace dialogtest
