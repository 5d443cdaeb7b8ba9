// Loading plug-in modules: the handshake, then the export, import/replace/register and init
// callbacks of every plug-in in that order, and the unload callbacks at exit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "HostTables.h"

struct _t_ASExtension {
  std::string path;
  std::string name;          // the extension name the plug-in gave in its handshake
  void* module = nullptr;    // from dlopen
  PIHandshakeData_V0200 handshake{};
  bool handshaken = false;   // its callbacks exist, so it must stay loaded until exit
  std::string failure;       // why it was not loaded; empty while all goes well
};

namespace pdfhost {

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader();
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // Loads every module ("*.so") of a folder in file-name order; returns one line per plug-in
  // that did not load, naming it and the reason. A missing folder is one such line.
  std::vector<std::string> loadFolder(const std::string& folder);
  // Loads the given modules in order; returns the failures as loadFolder does.
  std::vector<std::string> loadModules(const std::vector<std::string>& paths);
  // Calls the unload callbacks of the loaded plug-ins, then unloads the modules.
  void unloadAll();

  const std::vector<std::unique_ptr<_t_ASExtension>>& extensions() const { return extensions_; }
  // The extension whose start-up glue is asking for tables, so a refusal can name the table.
  _t_ASExtension* starting() const { return starting_; }

 private:
  bool handshake(_t_ASExtension& extension);
  // The first plug-in loaded (handshaken and not refused) that `match` accepts, or null.
  template <typename Match>
  const _t_ASExtension* loadedWith(Match match) const;
  // Logs each menu item name that more than one item of the menu bar carries.
  void logDuplicateItems() const;
  void runPhase(const char* phase, ASCallback PIHandshakeData_V0200::*callback);

  std::vector<std::unique_ptr<_t_ASExtension>> extensions_;
  _t_ASExtension* starting_ = nullptr;
};

}  // namespace pdfhost
