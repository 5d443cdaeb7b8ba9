// pdfhost as a user runs it: its command line, exit status, standard error, output and log.
#include "../support/TestFiles.h"
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using testfiles::readFile;

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
  std::string log;
};

std::string tempPath(const std::string& name)
{
  return "/tmp/pdfhost-e2e-" + std::to_string(::getpid()) + "-" + name;
}

// Runs pdfhost headless-capable with its output captured; arguments are already quoted.
HostRun pdfhost(const std::string& arguments, const std::string& answers = "")
{
  std::string answersPath = tempPath("answers");
  std::string logPath = tempPath("log");
  std::string outPath = tempPath("out");
  std::string errPath = tempPath("err");
  std::ofstream(answersPath) << answers;
  std::remove(logPath.c_str());
  std::string args = arguments;
  for (std::size_t at; (at = args.find("@ANSWERS@")) != std::string::npos;)
    args.replace(at, 9, answersPath);
  std::string command = std::string(TVP_PDFHOST) + " --log " + logPath + " " + args + " >" +
                        outPath + " 2>" + errPath;
  HostRun run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  run.log = readFile(logPath);
  for (const auto& path : {answersPath, logPath, outPath, errPath})
    std::remove(path.c_str());
  return run;
}

const std::string kPlugins = std::string(" --plugins ") + TVP_PLUGIN_DIR + " ";
const std::string kSample = TVP_SAMPLE_PDF;

}  // namespace

TEST(Pdfhost, MenusWithoutADocumentShowTheItemDisabled)
{
  HostRun run = pdfhost(kPlugins + "--menus");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Tovarin (ZEKT:Tovarin)\n  TVP metadata (ZEKT:TVPMetadata) disabled\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(Pdfhost, MenusWithADocumentShowTheItemEnabled)
{
  HostRun run = pdfhost(kPlugins + "--menus " + kSample);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  TVP metadata (ZEKT:TVPMetadata) enabled\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.log.find("document opened: " + kSample), std::string::npos) << run.log;
}

TEST(Pdfhost, ADisabledItemIsNotRun)
{
  HostRun run = pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.log.find("menu item ZEKT:TVPMetadata: disabled, not run"), std::string::npos)
      << run.log;
  EXPECT_EQ(run.log.find("chosen"), std::string::npos);
}

TEST(Pdfhost, AnUnknownItemIsAnError)
{
  HostRun run = pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:Nothing " + kSample);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.err, "pdfhost: there is no menu item ZEKT:Nothing\n");
}

struct BadDocument {
  const char* name;
  std::string content;  // empty: the file does not exist
};

TEST(Pdfhost, AFileThatCannotBeOpenedStopsTheRunWithOneLine)
{
  const BadDocument cases[] = {{"missing", ""}, {"not a PDF", "Dear reader,\nno PDF here.\n"}};
  for (const auto& c : cases) {
    std::string path = tempPath("bad.pdf");
    std::remove(path.c_str());
    if (!c.content.empty())
      std::ofstream(path) << c.content;
    HostRun run = pdfhost(kPlugins + "--menus " + kSample + " " + path);
    EXPECT_NE(run.status, 0) << c.name;
    EXPECT_EQ(run.err.rfind("pdfhost: " + path + ": ", 0), 0u) << c.name << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.name << ": nothing printed";
    if (!c.content.empty())
      EXPECT_EQ(readFile(path), c.content) << c.name << ": the file is untouched";
    std::remove(path.c_str());
  }
}

struct BrokenPlugin {
  const char* folder;
  const char* reason;
};

TEST(Pdfhost, APluginThatFailsToLoadIsNamedAndTheHostRunsOn)
{
  const BrokenPlugin cases[] = {
      {"no_entry", "it does not export AcroPluginMain"},
      {"refuses_handshake", "it refused the host's handshake version 0x00020000"},
  };
  for (const auto& c : cases) {
    std::string folder = std::string(TVP_FIXTURE_DIR) + "/" + c.folder;
    HostRun run = pdfhost("--plugins " + folder + " --menus " + kSample);
    EXPECT_NE(run.status, 0) << c.folder;
    EXPECT_NE(run.err.find("pdfhost: plug-in " + folder + "/fixture_" + c.folder +
                           ".so not loaded: " + c.reason),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.log.find(c.reason), std::string::npos) << run.log;
    EXPECT_NE(run.out.find("File (File)"), std::string::npos) << "the host ran on: " << run.out;
  }
}

TEST(Pdfhost, AMistakeOnTheCommandLineShowsTheUsage)
{
  HostRun run = pdfhost("--bogus");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("unknown option --bogus"), std::string::npos);
  EXPECT_NE(run.err.find("usage: pdfhost"), std::string::npos);
}
