// pdfhost: loads the plug-ins, opens the PDFs named on the command line, and lets the user (or a
// script of answers) choose the plug-ins' menu items.
#include <glib.h>

#include <cstdio>
#include <memory>

#include "CommandLine.h"
#include "GtkUi.h"
#include "Host.h"
#include "MainWindow.h"

namespace {

using namespace pdfhost;

struct MainLoopDeleter {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};

void printMenus(Host& host)
{
  if (!host.menubar)
    return;
  for (Menu* menu : host.menubar->menus()) {
    std::printf("%s (%s)\n", menu->title.c_str(), menu->name.c_str());
    for (MenuItem* item : menu->items)
      std::printf("  %s (%s) %s\n", item->title.c_str(), item->name.c_str(),
                  host.isEnabled(*item) ? "enabled" : "disabled");
  }
}

// Chooses each item as a user would; returns false when an item does not exist.
bool runItems(Host& host, const std::vector<std::string>& names)
{
  bool allFound = true;
  for (const auto& name : names) {
    MenuItem* item = host.menubar ? host.menubar->findItem(name) : nullptr;
    if (item == nullptr) {
      std::fprintf(stderr, "pdfhost: there is no menu item %s\n", name.c_str());
      host.log.write("menu item " + name + ": not found");
      allFound = false;
    } else if (!host.isEnabled(*item)) {
      host.log.write("menu item " + name + ": disabled, not run");
    } else {
      host.log.write("menu item " + name + ": chosen");
      host.execute(*item);
      host.log.write("menu item " + name + ": done");
    }
  }
  return allFound;
}

int run(const CommandLine& line)
{
  Host& host = Host::get();
  if (line.logFile && !host.log.open(*line.logFile)) {
    std::fprintf(stderr, "pdfhost: cannot write the log %s\n", line.logFile->c_str());
    return 2;
  }
  if (line.answersFile) {
    auto answers = ScriptedUi::readAnswers(*line.answersFile);
    if (!answers) {
      std::fprintf(stderr, "pdfhost: cannot read the answers %s\n", line.answersFile->c_str());
      return 2;
    }
    host.ui = std::make_unique<ScriptedUi>(std::move(*answers));
  } else {
    host.ui = std::make_unique<GtkUi>();
  }

  // Documents first: a file that cannot be opened ends the run before any plug-in runs.
  for (const auto& file : line.files) {
    OpenFailure failure;
    if (host.documents.open(file, &failure) == nullptr) {
      std::fprintf(stderr, "pdfhost: %s\n", failure.message.c_str());
      host.log.write("document not opened: " + failure.message);
      host.shutdown();
      return 1;
    }
    host.log.write("document opened: " + file);
  }

  std::unique_ptr<GMainLoop, MainLoopDeleter> loop(g_main_loop_new(nullptr, FALSE));
  if (host.menubar)
    installHostMenus(host, loop.get());
  int status = 0;
  std::string folder = line.pluginFolder.empty() ? defaultPluginFolder() : line.pluginFolder;
  for (const auto& failure : host.plugins.loadFolder(folder)) {
    std::fprintf(stderr, "pdfhost: %s\n", failure.c_str());
    status = 3;
  }

  if (line.printMenus) {
    printMenus(host);
  } else if (!line.runItems.empty()) {
    if (!runItems(host, line.runItems))
      status = 1;
  } else if (!line.answersFile) {
    if (!ensureGtk()) {
      std::fprintf(stderr, "pdfhost: no display to show the window on\n");
      status = 1;
    } else {
      runMainWindow(host, loop.get());
    }
  }
  host.shutdown();
  host.log.write("quit");
  return status;
}

}  // namespace

int main(int argc, char** argv)
{
  std::string error;
  auto line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!line) {
    std::fprintf(stderr, "pdfhost: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  return run(*line);
}
