// The dialog command in pdfhost with the plug-in module as the host loads it, where no display
// can be had: each choice of the item tells the user and leaves the host running normally. (The
// dialog itself in pdfhost is driven by scripts/screenshot-dialog.sh.)
#include "../support/TestFiles.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using testfiles::readFile;

TEST(DialogInPdfhost, WithoutADisplayEachChoiceSaysSoAndTheHostRunsOn)
{
  std::string base = "/tmp/tvp-dialog-e2e-" + std::to_string(::getpid());
  std::ofstream(base + ".answers") << "";
  // X only: GTK's fallback back-end would make a folder in the home of whoever runs this.
  std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY GDK_BACKEND=x11 " +
                        std::string(TVP_PDFHOST) + " --plugins " + TVP_PLUGIN_DIR + " --answers " + base + ".answers --log " +
                        base + ".log --run ZEKT:TVPMetadata" + " --run ZEKT:TVPMetadata " +
                        TVP_SAMPLE_PDF + " 2>" + base + ".err";
  int raw = std::system(command.c_str());
  std::string log = readFile(base + ".log");
  std::string err = readFile(base + ".err");
  for (const char* suffix : {".answers", ".log", ".err"}) std::remove((base + suffix).c_str());

  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 0) << err;
  EXPECT_EQ(testfiles::countOf(log,
                  "alert: The Ad Ticket dialog cannot be opened: the window toolkit could "
                  "not be started. -> "),
            2)
      << log;
  EXPECT_EQ(testfiles::countOf(log, "menu item ZEKT:TVPMetadata: done\n"), 2) << log;
  EXPECT_EQ(testfiles::countOf(log, "error"), 0) << "no host error was raised: " << log;
  EXPECT_NE(log.find("quit\n"), std::string::npos) << log;
  EXPECT_EQ(err, "") << "the toolkit's own message is not printed";
}
