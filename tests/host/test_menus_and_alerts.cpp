// The host's menu model, alerts and documents as the tables hand them to plug-ins.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "HostFixture.h"

using namespace pdfhost;

class HostCalls : public HostTest {
 protected:
  AcroViewHFT& view() { return Host::get().tables.AcroView; }
};

TEST_F(HostCalls, MenuReferencesFollowTheirHolders)
{
  Host& host = Host::get();
  AVMenubar bar = view().AVAppGetMenubar();
  ASSERT_NE(bar, nullptr);
  AVMenu menu = view().AVMenuNew("Tools", "X:Tools", nullptr);
  AVMenuItem item = view().AVMenuItemNew("Run", "X:Run", nullptr, true, 0, 0, nullptr, nullptr);
  view().AVMenuAddMenuItem(menu, item, 9999);
  EXPECT_EQ(item->references, 2);
  view().AVMenuItemRelease(item);
  view().AVMenubarAddMenu(bar, menu, 9999);
  view().AVMenubarAddMenu(bar, menu, 9999);  // a second add keeps one entry and one reference
  EXPECT_EQ(host.menubar->menus().size(), 1u);
  EXPECT_EQ(menu->references, 2);
  view().AVMenuRelease(menu);
  EXPECT_EQ(menu->references, 1);

  AVMenu acquired = view().AVMenubarAcquireMenuByName(bar, "X:Tools");
  EXPECT_EQ(acquired, menu);
  EXPECT_EQ(menu->references, 2);
  view().AVMenuRelease(acquired);
  EXPECT_EQ(view().AVMenubarAcquireMenuByName(bar, "X:None"), nullptr);
}

TEST_F(HostCalls, PositionsPastTheEndAppend)
{
  std::vector<int*> list;
  int a = 0, b = 0, c = 0, d = 0;
  insertAt(list, &a, 9999);
  insertAt(list, &b, 0);
  insertAt(list, &c, 1);
  insertAt(list, &d, -1);
  EXPECT_EQ(list, (std::vector<int*>{&b, &c, &a, &d}));
}

TEST_F(HostCalls, QuestionsAndNotesAreAnsweredAndLogged)
{
  Host& host = Host::get();
  host.ui = std::make_unique<ScriptedUi>(std::deque<std::string>{"ok", "no", "yes"});
  view().AVAlertNote("Saved.");
  EXPECT_EQ(view().AVAlert(ALERT_QUESTION, "Are you sure?", "Yes", "No", nullptr, false), 2);
  EXPECT_EQ(view().AVAlert(ALERT_QUESTION, "Really?", "Yes", "No", nullptr, false), 1);
  EXPECT_EQ(view().AVAlert(ALERT_QUESTION, "Once more?", "Yes", "No", nullptr, false), 2);
  std::string log = logText();
  EXPECT_NE(log.find("alert: Saved. -> ok\n"), std::string::npos) << log;
  EXPECT_NE(log.find("question: Are you sure? [Yes/No] -> no\n"), std::string::npos) << log;
  EXPECT_NE(log.find("question: Really? [Yes/No] -> yes\n"), std::string::npos) << log;
  EXPECT_NE(log.find("question: Once more? [Yes/No] -> no (no answer left)\n"),
            std::string::npos)
      << log;
}

TEST_F(HostCalls, BadHandlesRaiseInsteadOfCrashing)
{
  Host& host = Host::get();
  host.ui = std::make_unique<ScriptedUi>(std::deque<std::string>{});
  auto raises = [&](auto call) {
    return !host.runGuarded("bad handle", call) &&
           host.frames.lastError() == kASErrBadParameter;
  };
  int notADocument = 0;
  EXPECT_TRUE(raises([&] { view().AVDocGetPDDoc(reinterpret_cast<AVDoc>(&notADocument)); }));
  EXPECT_TRUE(raises([&] { view().AVMenuAddMenuItem(nullptr, nullptr, 0); }));
  EXPECT_TRUE(raises([&] { view().AVMenubarAcquireMenuByName(nullptr, "X"); }));
  EXPECT_TRUE(raises([&] { host.tables.Core.ASAtomFromString(nullptr); }));
  EXPECT_TRUE(raises([&] { host.tables.ASExtra.ASTextFromEncoded("x", 99); }));
  EXPECT_EQ(host.live.texts, 0);
}

TEST_F(HostCalls, TextsCarryUtf8BothWays)
{
  Host& host = Host::get();
  ASExtraHFT& extra = host.tables.ASExtra;
  ASText text = extra.ASTextFromEncoded("M\xC3\xBC" "ller", view().AVAppGetLanguageEncoding());
  char* latin = extra.ASTextGetEncodedCopy(text, 1);
  EXPECT_STREQ(latin, "M\xFCller");
  host.tables.AcroSupport.ASfree(latin);
  extra.ASTextSetEncoded(text, "\x80", 1);
  char* utf8 = extra.ASTextGetEncodedCopy(text, view().AVAppGetLanguageEncoding());
  EXPECT_STREQ(utf8, "\xE2\x82\xAC");
  host.tables.AcroSupport.ASfree(utf8);
  EXPECT_EQ(host.live.texts, 1);
  extra.ASTextDestroy(text);
  EXPECT_EQ(host.live.texts, 0);
}

struct BadFile {
  const char* name;
  std::string path;
  const char* reason;
};

TEST_F(HostCalls, FilesThatAreNotPdfsAreRefusedByName)
{
  std::string text = "/tmp/pdfhost-not-a-pdf.pdf";
  std::ofstream(text) << "just some text, no PDF here\n";
  std::string empty = "/tmp/pdfhost-empty.pdf";
  std::ofstream(empty).close();
  // A readable PDF named by a relative path whose absolute form is longer than PATH_MAX.
  char deep[] = "/tmp/pdfhost-deep-XXXXXX";
  ASSERT_NE(::mkdtemp(deep), nullptr);
  char* before = ::getcwd(nullptr, 0);
  const std::string level(200, 'd');
  std::string relative;
  ASSERT_EQ(::chdir(deep), 0);
  for (int i = 0; i < 21; ++i) {
    ::mkdir(level.c_str(), 0755);
    ASSERT_EQ(::chdir(level.c_str()), 0);
    relative += (i == 0 ? "" : level + "/");
  }
  std::ofstream("ad.pdf") << testfiles::readFile(TVP_SAMPLE_PDF);
  ASSERT_EQ(::chdir((std::string(deep) + "/" + level).c_str()), 0);
  relative += "ad.pdf";
  const BadFile cases[] = {
      {"deeper than PATH_MAX", relative, "longer than the system's limit of 4095"},
      {"missing", "/tmp/pdfhost-no-such-file.pdf", "No such file or directory"},
      {"text", text, "not a PDF file"},
      {"empty", empty, "not a PDF file"},
      {"folder", "/tmp", "is a folder"},
  };
  for (const auto& c : cases) {
    OpenFailure failure;
    EXPECT_EQ(Host::get().documents.open(c.path, &failure), nullptr) << c.name;
    EXPECT_EQ(failure.message.rfind(c.path + ": ", 0), 0u) << c.name << ": " << failure.message;
    EXPECT_NE(failure.message.find(c.reason), std::string::npos) << c.name << ": " << failure.message;
    EXPECT_EQ(failure.message.find('\n'), std::string::npos) << c.name << ": one line";
  }
  EXPECT_EQ(Host::get().documents.count(), 0u);
  EXPECT_EQ(::chdir(before), 0);
  std::free(before);
  testfiles::shell(std::string("rm -rf ") + deep);
  std::remove(text.c_str());
  std::remove(empty.c_str());
}

TEST_F(HostCalls, TheLastDocumentOpenedIsActive)
{
  Host& host = Host::get();
  OpenFailure failure;
  AVDoc first = host.documents.open(TVP_SAMPLE_PDF, &failure);
  AVDoc second = host.documents.open(TVP_SAMPLE_PDF, &failure);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(view().AVAppGetActiveDoc(), second);
  EXPECT_EQ(view().AVDocGetPDDoc(second), second->pdDoc.get());
  host.documents.close(second);
  EXPECT_EQ(view().AVAppGetActiveDoc(), first);
}

TEST_F(HostCalls, ADocumentWithoutAFileHasNoPathToSaveTo)
{
  Host& host = Host::get();
  host.ui = std::make_unique<ScriptedUi>(std::deque<std::string>{});
  EXPECT_FALSE(host.runGuarded("path of no file",
                               [&] { host.tables.AcroSupport.ASFileAcquirePathName(nullptr); }));
  EXPECT_EQ(host.frames.lastError(), kASErrDocNoFile);
  EXPECT_NE(logText().find("alert: The document has not been saved to a file yet."),
            std::string::npos)
      << logText();
  EXPECT_EQ(host.live.paths, 0);
}
