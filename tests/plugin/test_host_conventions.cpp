// The plug-in's start-up glue, handshake and host conventions, called in-process against the
// real host layer.
#include "../support/TestFiles.h"
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "Host.h"
#include "TovarinPluginInit.h"
#include "support/Texts.h"

using namespace pdfhost;

namespace {

_t_ASExtension testExtension;

// Runs the glue as the loader would, minus the module loading.
bool startPlugin(HostConfig config = HostConfig())
{
  Host::get().reset(std::move(config));
  ASUns32 version = 0;
  PISetupSDKProc setup = nullptr;
  if (!AcroPluginMain(HANDSHAKE_V0200, &version, &setup, nullptr))
    return false;
  PISDKData_V0200 data{};
  data.handshakeVersion = HANDSHAKE_V0200;
  data.extensionID = &testExtension;
  data.coreHFT = &Host::get().tables.Core;
  data.coreVersion = Host::get().offeredVersion("Core");
  return setup(HANDSHAKE_V0200, &data) && data.handshakeCallback == PIHandshake;
}

class PluginConventions : public ::testing::Test {
 protected:
  void SetUp() override
  {
    ASSERT_TRUE(startPlugin());
    logPath_ = "/tmp/tvp-conventions-" + std::to_string(::getpid()) + ".log";
    Host::get().log.open(logPath_);
  }
  void TearDown() override
  {
    Host::get().log.close();
    std::remove(logPath_.c_str());
    Host::get().reset();
  }
  std::string logText()
  {
    return testfiles::readFile(logPath_);
  }
  std::string logPath_;
};

}  // namespace

TEST(StartupGlue, AnswersOnlyHandshakeVersion0x20000)
{
  ASUns32 version = 0;
  PISetupSDKProc setup = nullptr;
  for (ASUns32 other : {0u, 0x00010000u, 0x00020001u, 0x00030000u}) {
    EXPECT_FALSE(AcroPluginMain(other, &version, &setup, nullptr)) << std::hex << other;
    EXPECT_EQ(setup, nullptr);
  }
  EXPECT_FALSE(AcroPluginMain(HANDSHAKE_V0200, nullptr, &setup, nullptr));
  EXPECT_TRUE(AcroPluginMain(HANDSHAKE_V0200, &version, &setup, nullptr));
  EXPECT_EQ(version, HANDSHAKE_V0200);
  EXPECT_NE(setup, nullptr);
}

TEST(StartupGlue, ImportsEveryTableAtItsRequiredVersion)
{
  ASSERT_TRUE(startPlugin());
  EXPECT_EQ(gExtensionID, &testExtension);
#define TVP_EXPECT_IMPORTED(Table, Required)                                   \
  EXPECT_EQ(static_cast<const void*>(g##Table##HFT), Host::get().table(#Table)) << #Table; \
  EXPECT_EQ(g##Table##Version, static_cast<ASUns32>(Required)) << #Table;
  TVP_HOST_TABLES(TVP_EXPECT_IMPORTED)
#undef TVP_EXPECT_IMPORTED
}

TEST(StartupGlue, AMissingTableLeavesNoTableImported)
{
  for (const char* withheld : {"AcroSupport", "PDMetadata", "AcroColorHFT"}) {
    HostConfig config;
    config.tableVersions[withheld] = 0;
    EXPECT_FALSE(startPlugin(config)) << withheld;
    EXPECT_EQ(gCoreHFT, nullptr) << withheld;
    EXPECT_EQ(gAcroViewHFT, nullptr) << withheld;
    EXPECT_EQ(gExtensionID, nullptr) << withheld;
  }
  HostConfig oldMacintosh;
  oldMacintosh.tableVersions["Macintosh"] = 0x00020001;
  EXPECT_FALSE(startPlugin(oldMacintosh));
}

TEST_F(PluginConventions, HandshakeFillsTheRecord)
{
  PIHandshakeData_V0200 record;
  std::memset(&record, 0xAB, sizeof record);
  record.handshakeVersion = HANDSHAKE_V0200;
  PIHandshakeData_V0200 untouched = record;
  EXPECT_FALSE(PIHandshake(0x00030000, &record));
  EXPECT_EQ(std::memcmp(&record, &untouched, sizeof record), 0) << "nothing written";

  ASSERT_TRUE(PIHandshake(HANDSHAKE_V0200, &record));
  EXPECT_EQ(record.handshakeVersion, HANDSHAKE_V0200);
  EXPECT_EQ(record.reserved, untouched.reserved);
  EXPECT_STREQ(Host::get().atoms.name(record.extensionName), "ZEKT:TVPMetadata");
  EXPECT_EQ(record.extensionName, GetExtensionName());
  const std::pair<ASCallback, void*> callbacks[] = {
      {record.exportHFTsCallback, reinterpret_cast<void*>(&PluginExportHFTs)},
      {record.importReplaceAndRegisterCallback,
       reinterpret_cast<void*>(&PluginImportReplaceAndRegister)},
      {record.initCallback, reinterpret_cast<void*>(&PluginInit)},
      {record.unloadCallback, reinterpret_cast<void*>(&PluginUnload)},
  };
  for (const auto& [callback, proc] : callbacks) {
    ASSERT_NE(callback, nullptr);
    EXPECT_EQ(callback->proc, proc);
    EXPECT_EQ(callback->owner, &testExtension);
  }
}

TEST_F(PluginConventions, ExportAndImportCallbacksDoNotCallTheHost)
{
  // With the tables gone any host call would crash.
  auto core = gCoreHFT;
  auto view = gAcroViewHFT;
  gCoreHFT = nullptr;
  gAcroViewHFT = nullptr;
  EXPECT_TRUE(PluginExportHFTs());
  EXPECT_TRUE(PluginImportReplaceAndRegister());
  gCoreHFT = core;
  gAcroViewHFT = view;
}

TEST_F(PluginConventions, ARaiseEndsTheGuardedRunAndThePopHappensOnce)
{
  int reached = 0;
  ASErrorCode code = kASErrNone;
  try {
    _miExceptionPushPop frame;
    reached = 1;
    EXPECT_EQ(Host::get().frames.depth(), 1u);
    ASRaise(kASErrFileWrite);
    reached = 2;
  } catch (_miExceptionInfo& info) {
    EXPECT_EQ(info.unused, 0);
    code = ASGetExceptionErrorCode();
  }
  EXPECT_EQ(reached, 1) << "locals set before the raise keep their values";
  EXPECT_EQ(code, kASErrFileWrite);
  EXPECT_EQ(ASGetExceptionErrorCode(), kASErrFileWrite) << "still readable after the handler";
  EXPECT_EQ(Host::get().frames.depth(), 0u);

  {
    _miExceptionPushPop frame;
  }
  EXPECT_EQ(Host::get().frames.depth(), 0u) << "a run without a raise pops on its way out";
}

TEST_F(PluginConventions, ErrorAlertShowsTheHostTextCutToTheBuffer)
{
  miShowErrorAlert(kASErrFileNotFound, 256);
  miShowErrorAlert(kASErrFileNotFound, 9);
  std::string log = logText();
  EXPECT_NE(log.find("alert: The file could not be found. -> "), std::string::npos) << log;
  EXPECT_NE(log.find("alert: The file -> "), std::string::npos) << log;
}

TEST_F(PluginConventions, BytesBecomeHostTextInTheLanguageEncoding)
{
  ASText text = miHostTextFromBytes("M\xC3\xBCller \xE2\x82\xAC");
  EXPECT_EQ(text->utf8, "M\xC3\xBCller \xE2\x82\xAC");
  miSetHostText(text, "Order 7");
  EXPECT_EQ(text->utf8, "Order 7");
  ASTextDestroy(text);
  EXPECT_EQ(Host::get().live.texts, 0);
}

TEST_F(PluginConventions, CommandIsEnabledWithAnActiveDocument)
{
  EXPECT_FALSE(IsCommandEnabled(nullptr));
  OpenFailure failure;
  ASSERT_NE(Host::get().documents.open(TVP_SAMPLE_PDF, &failure), nullptr) << failure.message;
  EXPECT_TRUE(IsCommandEnabled(nullptr));
}

TEST_F(PluginConventions, UnloadWithoutToolkitOnlyReturnsTrue)
{
  EXPECT_TRUE(PluginUnload());
  EXPECT_TRUE(PluginUnload());
}

// A death test's child ends without the tear-down, so it keeps no log to leave behind.
class PluginConventionsDeathTest : public PluginConventions {
 protected:
  void SetUp() override { ASSERT_TRUE(startPlugin()); }
};

TEST_F(PluginConventionsDeathTest, TooOldATableAbortsAtTheCallSite)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  gAcroViewVersion = 0x00010000;
  EXPECT_DEATH(AVAppGetActiveDoc(),
               "^.*test_host_conventions\\.cpp:[0-9]+: failed assertion "
               "`gAcroViewVersion >=0x00020000'\n$");
  gAcroViewVersion = 0x00050000;
  EXPECT_DEATH(AVWindowNewFromPlatformThing(3, 0, nullptr, gExtensionID, nullptr),
               "failed assertion `gAcroViewVersion >=0x00060000'");
  gCoreVersion = 0x00010000;
  EXPECT_DEATH(ASAtomFromString("x"), "failed assertion `gCoreVersion >=0x00020000'");
  // Memory and error texts carry no assertion.
  gAcroSupportVersion = 0;
  void* block = ASmalloc(4);
  EXPECT_NE(block, nullptr);
  ASfree(block);
  gAcroViewVersion = 0x00060000;
  gCoreVersion = 0x00050000;
  gAcroSupportVersion = 0x00080000;
}
