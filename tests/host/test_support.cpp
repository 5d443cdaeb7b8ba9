// Atoms, error texts, exception frames and texts of the host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "../support/TestFiles.h"
#include "Host.h"
#include "app/HostUi.h"
#include "support/Atoms.h"
#include "support/Errors.h"
#include "support/EventLog.h"
#include "support/Texts.h"

using namespace pdfhost;

TEST(Atoms, SameStringGivesSameAtomAndBack)
{
  AtomTable atoms;
  ASAtom first = atoms.intern("ZEKT:TVPMetadata");
  EXPECT_NE(first, ASAtomNull);
  EXPECT_EQ(atoms.intern("ZEKT:TVPMetadata"), first);
  EXPECT_NE(atoms.intern("ZEKT:Tovarin"), first);
  EXPECT_STREQ(atoms.name(first), "ZEKT:TVPMetadata");
  EXPECT_EQ(atoms.name(ASAtomNull), nullptr);
  EXPECT_EQ(atoms.name(999), nullptr);
  EXPECT_EQ(atoms.name(0), nullptr) << "a cleared field names no atom";
}

TEST(Atoms, TheNullAtomIsNeverHandedOut)
{
  AtomTable atoms;
  ASAtom last = ASAtomNull;
  for (int i = 1; i < 0xFFFF; ++i) {
    last = atoms.intern("atom " + std::to_string(i));
    ASSERT_NE(last, ASAtomNull) << "string " << i;
  }
  EXPECT_EQ(last, 0xFFFE);
  EXPECT_THROW(atoms.intern("one more"), std::length_error);
  EXPECT_EQ(atoms.name(ASAtomNull), nullptr);
}

TEST(ErrorTexts, CopiedWhole)
{
  char buffer[256];
  EXPECT_EQ(copyErrorText(kASErrFileNotFound, "", buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "The file could not be found.");
}

TEST(ErrorTexts, CutToTheBufferWithItsTerminator)
{
  char buffer[9];
  std::memset(buffer, 'x', sizeof buffer);
  copyErrorText(kASErrFileNotFound, "", buffer, 5);
  EXPECT_STREQ(buffer, "The ");
  EXPECT_EQ(buffer[5], 'x') << "nothing written past the given size";
  EXPECT_EQ(copyErrorText(kASErrFileNotFound, "", buffer, 0), buffer);
}

TEST(ErrorTexts, ALongPathLosesItsMiddleAndNoCharacterIsCut)
{
  const std::string folder = "/home/m\xC3\xBCller/" + std::string(300, 'a') + "/\xE2\x82\xAC-ads";
  const std::string hint =
      ", the shared folder; the environment variable PDFHOST_SHARED_DIR "
      "chooses it.";
  char buffer[256];
  copyErrorText(kASErrFolderMissing, "The folder is " + folder + hint, buffer, sizeof buffer);
  std::string text = buffer;
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(toUtf8(text, kHostEncodingUTF8), text) << "valid UTF-8";
  EXPECT_EQ(text.rfind("The folder to save the file in does not exist. The folder is /home/m", 0),
            0u);
  const std::string end = "a/\xE2\x82\xAC-ads" + hint;
  EXPECT_EQ(text.substr(text.size() - end.size()), end) << "the path's end and the hint survive";
  EXPECT_NE(text.find("aaa\xE2\x80\xA6"
                      "aaa"),
            std::string::npos)
      << "the middle went: " << text;
  // A text without a path is cut at its end, before a character rather than inside it.
  copyErrorText(kASErrFolderMissing, "\xE2\x82\xAC\xE2\x82\xAC", buffer, 50);
  EXPECT_EQ(std::string(buffer), "The folder to save the file in does not exist. ");
}

TEST(EventLog, EveryEventIsOneLineAndDifferentTextsLogDifferently)
{
  const struct {
    std::string event;
    std::string line;
  } cases[] = {
      {"a\nb", "a\\nb"},
      {"a\\nb", "a\\\\nb"},
      {"tab\tand\rreturn", "tab\\tand\\rreturn"},
      {"\x1B[31mred\x7F", "\\x1B[31mred\\x7F"},
      {"M\xC3\xBCller \xFF", "M\xC3\xBCller \\xFF"},
  };
  std::string path = "/tmp/pdfhost-eventlog-" + std::to_string(::getpid());
  std::string expected;
  {
    EventLog log;
    ASSERT_TRUE(log.open(path));
    for (const auto& c : cases) {
      log.write(c.event);
      expected += c.line + "\n";
    }
  }
  EXPECT_EQ(testfiles::readFile(path), expected);
  std::remove(path.c_str());
}

TEST(ErrorTexts, UnknownCodeNamesTheCode)
{
  EXPECT_EQ(errorText(0x12345), "An unknown error occurred (0x00012345).");
}

TEST(ErrorTexts, ADetailBelongsToTheOneRaiseItWasSetFor)
{
  const std::string missing = "The folder to save the file in does not exist.";
  ExceptionFrames frames;
  auto textOf = [&](ASErrorCode code) { return errorText(code, frames.detailOf(code)); };
  EXPECT_THROW(frames.raise(kASErrFolderMissing, "The folder is /x."), HostError);
  EXPECT_EQ(textOf(kASErrFolderMissing), missing + " The folder is /x.");
  EXPECT_EQ(textOf(kASErrFileWrite), errorText(kASErrFileWrite)) << "only for its own code";
  EXPECT_THROW(frames.raise(kASErrFolderMissing), HostError);
  EXPECT_EQ(textOf(kASErrFolderMissing), missing) << "a later raise without a detail";
  EXPECT_THROW(frames.raise(kASErrFolderMissing, "The folder is /y."), HostError);
  EXPECT_THROW(frames.raise(kASErrFileWrite), HostError);
  EXPECT_EQ(textOf(kASErrFolderMissing), missing) << "another code's raise dropped it";
}

namespace {
struct PluginThrow {
  void* record;
};
void throwingRestore(void* record)
{
  throw PluginThrow{record};
}
void returningRestore(void*) {}
}  // namespace

TEST(ExceptionFrames, RaiseGoesToThePluginFrameOnTop)
{
  ExceptionFrames frames;
  int record = 0;
  bool caughtByPlugin = false;
  frames.setObserver([&](ASErrorCode, bool byPlugin) { caughtByPlugin = byPlugin; });
  frames.pushPluginFrame(&record, throwingRestore);
  try {
    frames.raise(kASErrFileRead);
    FAIL() << "raise returned";
  } catch (PluginThrow& thrown) {
    EXPECT_EQ(thrown.record, &record);
  }
  EXPECT_TRUE(caughtByPlugin);
  EXPECT_EQ(frames.lastError(), kASErrFileRead);
  EXPECT_EQ(frames.depth(), 1u) << "the plug-in pops its own frame";
  frames.pop();
  EXPECT_EQ(frames.depth(), 0u);
}

TEST(ExceptionFrames, HostFrameTakesARaiseWithoutPluginFrame)
{
  ExceptionFrames frames;
  bool caughtByPlugin = true;
  frames.setObserver([&](ASErrorCode, bool byPlugin) { caughtByPlugin = byPlugin; });
  {
    ExceptionFrames::HostFrame hostFrame(frames);
    EXPECT_THROW(frames.raise(kASErrGeneral), HostError);
  }
  EXPECT_FALSE(caughtByPlugin);
  EXPECT_EQ(frames.depth(), 0u);
}

TEST(ExceptionFrames, RestoreThatReturnsFallsToTheHost)
{
  ExceptionFrames frames;
  frames.pushPluginFrame(nullptr, returningRestore);
  EXPECT_THROW(frames.raise(kASErrGeneral), HostError);
}

TEST(ExceptionFrames, HostFrameDropsFramesACallbackLeftBehind)
{
  ExceptionFrames frames;
  {
    ExceptionFrames::HostFrame hostFrame(frames);
    frames.pushPluginFrame(nullptr, throwingRestore);
    frames.pushPluginFrame(nullptr, throwingRestore);
  }
  EXPECT_EQ(frames.depth(), 0u);
  frames.pop();  // popping an empty stack is harmless
  EXPECT_EQ(frames.depth(), 0u);
}

TEST(HostGuard, RaiseInACallbackShowsTheHostsErrorAlert)
{
  Host& host = Host::get();
  host.reset();
  auto* ui = new ScriptedUi({"ok"});
  host.ui.reset(ui);
  bool returned = host.runGuarded("test", [&] { host.frames.raise(kASErrFileWrite); });
  EXPECT_FALSE(returned);
  EXPECT_EQ(ui->remaining(), 0u) << "the error alert took the answer";
  EXPECT_EQ(host.frames.depth(), 0u);
  EXPECT_TRUE(host.runGuarded("test", [] {}));
}

struct Conversion {
  const char* name;
  std::string bytes;
  ASHostEncoding encoding;
  std::string utf8;
};

TEST(Texts, ConvertsToUtf8)
{
  const Conversion cases[] = {
      {"ascii", "Order 12", kHostEncodingUTF8, "Order 12"},
      {"utf8 kept", "M\xC3\xBCller \xE2\x82\xAC \xE6\x97\xA5", kHostEncodingUTF8,
       "M\xC3\xBCller \xE2\x82\xAC \xE6\x97\xA5"},
      {"stray continuation", "a\x80z", kHostEncodingUTF8, "a\xEF\xBF\xBDz"},
      {"truncated sequence", "a\xE2\x82", kHostEncodingUTF8, "a\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong slash", "\xC0\xAF", kHostEncodingUTF8, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate", "\xED\xA0\x80", kHostEncodingUTF8,
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"winansi euro and umlaut", "\x80 M\xFCller", kHostEncodingWinAnsi,
       "\xE2\x82\xAC M\xC3\xBCller"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(toUtf8(c.bytes, c.encoding), c.utf8) << c.name;
}

TEST(Texts, WinAnsiRoundTripAndQuestionMarkForTheRest)
{
  EXPECT_EQ(fromUtf8("M\xC3\xBCller \xE2\x82\xAC\xE2\x80\x93", kHostEncodingWinAnsi),
            "M\xFCller \x80\x96");
  EXPECT_EQ(fromUtf8("\xE6\x97\xA5 x", kHostEncodingWinAnsi), "? x");
  EXPECT_FALSE(isKnownEncoding(77));
}

struct ScriptedCase {
  const char* name;
  std::deque<std::string> answers;
  int expectedButton;
};

TEST(ScriptedUi, AnswersNameButtons)
{
  const ScriptedCase cases[] = {
      {"yes takes Yes", {"yes"}, 1},
      {"no takes No", {"no"}, 2},
      {"case does not matter", {"NO"}, 2},
      {"ok takes the first", {"ok"}, 1},
      {"run out answers the last", {}, 2},
      {"nonsense answers the last", {"maybe"}, 2},
  };
  for (const auto& c : cases) {
    ScriptedUi ui(c.answers);
    AlertResult result = ui.alert(AlertRequest{ALERT_QUESTION, "Go on?", {"Yes", "No"}});
    EXPECT_EQ(result.button, c.expectedButton) << c.name;
  }
  ScriptedUi empty({});
  EXPECT_EQ(empty.alert(AlertRequest{ALERT_QUESTION, "Go on?", {"Yes", "No"}}).answer,
            "no (no answer left)");
}

TEST(ScriptedUi, FileDialogsTakeTheirVerbAndPath)
{
  ScriptedUi ui({"open /tmp/ad ticket.xml", "save /tmp/out.xml", "cancel", "open /tmp/x.xml",
                 "save"});
  FileDialogRequest request{"Open", "", "", {FileFilter{"XML", {"*.xml"}}}};
  EXPECT_EQ(ui.chooseFileToOpen(request), std::optional<std::string>("/tmp/ad ticket.xml"));
  EXPECT_EQ(ui.chooseFileToSave(request), std::optional<std::string>("/tmp/out.xml"));
  EXPECT_EQ(ui.chooseFileToOpen(request), std::nullopt) << "cancel";
  EXPECT_EQ(ui.chooseFileToSave(request), std::nullopt) << "an open answer does not save";
  EXPECT_EQ(ui.chooseFileToSave(request), std::nullopt) << "no path";
  EXPECT_EQ(ui.chooseFileToOpen(request), std::nullopt) << "answers used up";
}

// The plug-in's side of a frame: a raise reaches its handler as this, with the host's code.
struct PluginUnwind {
  ASErrorCode code;
};

void throwToPluginHandler(void*)
{
  throw PluginUnwind{Host::get().frames.lastError()};
}

// What a table call raises into the plug-in's frame; kASErrNone when it returned.
template <typename Call>
ASErrorCode raisedBy(Call call)
{
  Host& host = Host::get();
  host.tables.Core.ASPushExceptionFrame(nullptr, throwToPluginHandler);
  ASErrorCode code = kASErrNone;
  try {
    call();
  } catch (PluginUnwind& unwind) {
    code = unwind.code;
  }
  host.tables.Core.ASPopExceptionFrame();
  return code;
}

TEST(HostCallTrap, NoCppExceptionCrossesAHostCallIntoThePlugin)
{
  Host& host = Host::get();
  host.reset();
  // The atom table full: the call's own std::length_error is raised as the general error. The
  // table lives as long as the host, so it is given back as it was.
  AtomTable atoms = host.atoms;
  for (int i = 0; host.atoms.intern("trap " + std::to_string(i)) != 0xFFFE; ++i) {
  }
  EXPECT_EQ(raisedBy([&] { host.tables.Core.ASAtomFromString("one more"); }), kASErrGeneral);
  EXPECT_EQ(raisedBy([&] { host.tables.Core.ASRaise(kASErrFileRead); }), kASErrFileRead)
      << "a raise itself passes through";
  host.atoms = std::move(atoms);
  host.reset();
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than a limit allows";
#else
  // Too little memory to copy a text: the memory error.
  std::string large(64 << 20, 'm');
  ASText text = host.tables.ASExtra.ASTextNew();
  long size = testfiles::addressSpaceInUse();
  struct rlimit saved {};
  ::getrlimit(RLIMIT_AS, &saved);
  struct rlimit limited = saved;
  limited.rlim_cur = static_cast<rlim_t>(size + (32 << 20));
  ::setrlimit(RLIMIT_AS, &limited);
  ASErrorCode code = raisedBy([&] { host.tables.ASExtra.ASTextSetEncoded(text, large.c_str(), 0); });
  ::setrlimit(RLIMIT_AS, &saved);
  EXPECT_EQ(code, kASErrNoMemory);
  host.tables.ASExtra.ASTextDestroy(text);
  host.reset();
#endif
}
