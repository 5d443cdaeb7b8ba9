#include "Host.h"

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace pdfhost {

std::string hex(ASUns32 value)
{
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

void logEvent(const std::string& event)
{
  Host::get().log.write(event);
}

// Never destroyed: at exit, libraries' own static objects (qpdf's among them) may already be
// gone, so the host is shut down explicitly (shutdown) while everything is still alive.
Host& Host::get()
{
  static Host* host = new Host();
  return *host;
}

Host::Host()
{
  // A write past the file-size limit (ulimit -f) then fails with EFBIG, which a save reports and
  // undoes, rather than killing the process half-way through it.
  std::signal(SIGXFSZ, SIG_IGN);
  reset();
}

// Plug-ins are unloaded while every table and object they may call is still alive.
void Host::shutdown()
{
  plugins.unloadAll();
  documents.closeAll();  // while the pages and objects their closing touches are alive
  openFiles.closeAll();
}

void Host::reset(HostConfig newConfig)
{
  plugins.unloadAll();
  documents.closeAll();
  pages.clear();
  pde.clear();
  pathNames.clear();
  openFiles.closeAll();
  menubar.reset();
  callbacks_.clear();
  frames.truncate(0);
  config = std::move(newConfig);
  ui = std::make_unique<ScriptedUi>(std::deque<std::string>());
  live = LiveObjects();
  fillTables();
  frames.setObserver([this](ASErrorCode error, bool caughtByPlugin) {
    log.write("error " + hex(static_cast<ASUns32>(error)) + " raised (" + errorText(error, frames.detailOf(error)) +
              "): caught by " + (caughtByPlugin ? "the plug-in's frame" : "the host's frame"));
  });
  if (config.hasMenubar)
    menubar = std::make_unique<Menubar>();
}

ASUns32 Host::offeredVersion(const std::string& name) const
{
  auto changed = config.tableVersions.find(name);
  if (changed != config.tableVersions.end())
    return changed->second;
#define TVP_DEFAULT_VERSION(Table, Required) \
  if (name == #Table)                       \
    return Required;
  TVP_HOST_TABLES(TVP_DEFAULT_VERSION)
#undef TVP_DEFAULT_VERSION
  return 0;
}

const void* Host::table(const std::string& name) const
{
#define TVP_TABLE_BY_NAME(Table, Required) \
  if (name == #Table)                     \
    return &tables.Table;
  TVP_HOST_TABLES(TVP_TABLE_BY_NAME)
#undef TVP_TABLE_BY_NAME
  return nullptr;
}

void Host::alertNote(const std::string& message)
{
  AlertResult result = ui->note(message);
  log.write("alert: " + message + " -> " + result.answer);
}

int Host::alert(int icon, const std::string& message, const std::vector<std::string>& buttons)
{
  AlertRequest request{icon, message, buttons};
  AlertResult result = ui->alert(request);
  std::string titles;
  for (const auto& title : buttons)
    titles += (titles.empty() ? "" : "/") + title;
  log.write("question: " + message + " [" + titles + "] -> " + result.answer);
  return result.button;
}

std::optional<std::string> Host::chooseFileToOpen(const FileDialogRequest& request)
{
  auto path = ui->chooseFileToOpen(request);
  log.write("open dialog: " + (path ? *path : std::string("cancelled")));
  return path;
}

std::optional<std::string> Host::chooseFileToSave(const FileDialogRequest& request)
{
  auto path = ui->chooseFileToSave(request);
  log.write("save dialog: " + (path ? *path : std::string("cancelled")));
  return path;
}

PrintResult Host::printDocument(const PrintRequest& request)
{
  PrintResult result = ui->printDocument(request);
  switch (result.outcome) {
    case PrintResult::kPrinted:
      log.write("print job: " + request.title + " -> " + result.destination);
      break;
    case PrintResult::kCancelled:
      log.write("print job: " + request.title + " cancelled");
      break;
    case PrintResult::kFailed:
      log.write("print job: " + request.title + " failed: " + result.failure);
      alertNote("The document could not be printed: " + result.failure);
      break;
  }
  return result;
}

ASCallback Host::newCallback(ASExtension owner, void* proc)
{
  callbacks_.push_back(std::make_unique<_t_ASCallback>(_t_ASCallback{owner, proc}));
  return callbacks_.back().get();
}

void Host::destroyCallback(ASCallback callback)
{
  callbacks_.erase(std::remove_if(callbacks_.begin(), callbacks_.end(),
                                  [callback](const std::unique_ptr<_t_ASCallback>& c) {
                                    return c.get() == callback;
                                  }),
                   callbacks_.end());
}

bool Host::isEnabled(MenuItem& item)
{
  if (item.computeEnabledProc == nullptr)
    return true;
  bool enabled = false;
  auto proc = procOf<AVComputeEnabledProc>(item.computeEnabledProc);
  void* data = item.computeEnabledData;
  runGuarded("compute-enabled procedure of " + item.name,
             [&] { enabled = proc(data) != 0; });
  return enabled;
}

void Host::execute(MenuItem& item)
{
  if (item.executeProc == nullptr)
    return;
  auto proc = procOf<AVExecuteProc>(item.executeProc);
  void* data = item.executeData;
  // The item may be released while its procedure runs; keep it until the run ends.
  item.acquire();
  runGuarded("execute procedure of " + item.name, [&] { proc(data); });
  item.release();
}

void Host::reportUnexpected(const std::string& what, const char* detail)
{
  log.write(what + " ended with " + detail);
  std::fprintf(stderr, "pdfhost: %s ended with %s\n", what.c_str(), detail);
}

}  // namespace pdfhost
