#include "Plugins.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <map>

#include "../Host.h"

namespace pdfhost {

PluginLoader::~PluginLoader()
{
  unloadAll();
}

std::vector<std::string> PluginLoader::loadFolder(const std::string& folder)
{
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return {"plug-in folder " + folder + " cannot be read"};
  std::vector<std::string> paths;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0)
      paths.push_back(folder + "/" + name);
  }
  ::closedir(dir);
  std::sort(paths.begin(), paths.end());
  return loadModules(paths);
}

std::vector<std::string> PluginLoader::loadModules(const std::vector<std::string>& paths)
{
  std::size_t first = extensions_.size();
  for (const auto& path : paths) {
    auto extension = std::make_unique<_t_ASExtension>();
    extension->path = path;
    _t_ASExtension& loading = *extension;
    extensions_.push_back(std::move(extension));
    if (!handshake(loading) && loading.module != nullptr && !loading.handshaken) {
      ::dlclose(loading.module);
      loading.module = nullptr;
    }
  }
  // Every plug-in exports before any imports, and all import before any initialises.
  runPhase("export", &PIHandshakeData_V0200::exportHFTsCallback);
  runPhase("import/replace/register", &PIHandshakeData_V0200::importReplaceAndRegisterCallback);
  runPhase("init", &PIHandshakeData_V0200::initCallback);
  logDuplicateItems();

  std::vector<std::string> failures;
  for (std::size_t i = first; i < extensions_.size(); ++i) {
    const auto& extension = *extensions_[i];
    if (extension.failure.empty()) {
      logEvent("plug-in loaded: " + extension.path + " (" + extension.name + ")");
    } else {
      std::string line = "plug-in " + extension.path + " not loaded: " + extension.failure;
      logEvent(line);
      failures.push_back(line);
    }
  }
  return failures;
}

bool PluginLoader::handshake(_t_ASExtension& extension)
{
  Host& host = Host::get();
  auto fail = [&](const std::string& why) {
    if (extension.failure.empty())
      extension.failure = why;
    return false;
  };
  extension.module = ::dlopen(extension.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (extension.module == nullptr) {
    const char* why = ::dlerror();
    return fail(std::string("cannot be loaded (") + (why ? why : "unknown reason") + ")");
  }
  // A link to a module loaded already is that module: its start-up must not run twice.
  if (const _t_ASExtension* loaded =
          loadedWith([&](const _t_ASExtension& other) { return other.module == extension.module; }))
    return fail("its extension name " + loaded->name + " is already loaded from " + loaded->path);
  auto main = reinterpret_cast<PIMainProc>(::dlsym(extension.module, PI_MAIN_SYMBOL));
  if (main == nullptr)
    return fail("it does not export " PI_MAIN_SYMBOL);

  ASUns32 version = host.config.handshakeVersion;
  ASUns32 pluginVersion = 0;
  PISetupSDKProc setup = nullptr;
  bool accepted = false;
  host.runGuarded(PI_MAIN_SYMBOL, [&] { accepted = main(version, &pluginVersion, &setup, nullptr); });
  if (!accepted || setup == nullptr)
    return fail("it refused the host's handshake version " + hex(version));

  PISDKData_V0200 sdkData{};
  sdkData.handshakeVersion = version;
  sdkData.extensionID = &extension;
  sdkData.coreHFT = host.offeredVersion("Core") != 0 ? &host.tables.Core : nullptr;
  sdkData.coreVersion = host.offeredVersion("Core");
  starting_ = &extension;
  host.runGuarded("start-up", [&] { accepted = setup(version, &sdkData); });
  starting_ = nullptr;
  if (!accepted || sdkData.handshakeCallback == nullptr) {
    if (host.offeredVersion("Core") == 0)
      return fail("the host has no table \"Core\"");
    return fail("it refused the host's start-up (core table version " + hex(sdkData.coreVersion) +
                ")");
  }

  host.runGuarded("handshake", [&] {
    accepted = sdkData.handshakeCallback(version, &extension.handshake);
  });
  if (!accepted)
    return fail("its handshake refused version " + hex(version));
  extension.handshaken = true;
  const char* name = host.atoms.name(extension.handshake.extensionName);
  extension.name = name != nullptr ? name : "";
  // One plug-in per extension name: the one loaded first keeps it, menus and all.
  if (const _t_ASExtension* loaded = loadedWith([&](const _t_ASExtension& other) {
        return &other != &extension && other.name == extension.name;
      }))
    return fail("its extension name " + extension.name + " is already loaded from " + loaded->path);
  return true;
}

template <typename Match>
const _t_ASExtension* PluginLoader::loadedWith(Match match) const
{
  for (const auto& other : extensions_)
    if (other->handshaken && other->failure.empty() && match(*other)) return other.get();
  return nullptr;
}

void PluginLoader::logDuplicateItems() const
{
  const Menubar* menubar = Host::get().menubar.get();
  if (menubar == nullptr) return;
  std::map<std::string, std::vector<const MenuItem*>> byName;
  for (const Menu* menu : menubar->menus())
    for (const MenuItem* item : menu->items) byName[item->name].push_back(item);
  for (const auto& [name, items] : byName) {
    if (items.size() < 2) continue;
    std::string owners;
    for (const MenuItem* item : items)
      owners += (owners.empty() ? "" : ", ") +
                (item->owner != nullptr ? item->owner->path : std::string("the host"));
    logEvent("menu item name " + name + " used " + std::to_string(items.size()) + " times, by " +
             owners);
  }
}

void PluginLoader::runPhase(const char* phase, ASCallback PIHandshakeData_V0200::*callback)
{
  Host& host = Host::get();
  for (auto& extension : extensions_) {
    if (!extension->handshaken || !extension->failure.empty())
      continue;
    ASCallback proc = extension->handshake.*callback;
    if (proc == nullptr)
      continue;
    bool succeeded = false;
    auto call = Host::procOf<PIInitProc>(proc);
    bool returned = host.runGuarded(std::string(phase) + " callback of " + extension->path,
                                    [&] { succeeded = call() != 0; });
    if (!returned || !succeeded)
      extension->failure = std::string("its ") + phase + " callback failed";
  }
}

void PluginLoader::unloadAll()
{
  if (extensions_.empty())
    return;
  Host& host = Host::get();
  for (auto& extension : extensions_) {
    if (!extension->handshaken || extension->handshake.unloadCallback == nullptr)
      continue;
    auto call = Host::procOf<PIUnloadProc>(extension->handshake.unloadCallback);
    host.runGuarded("unload callback of " + extension->path, [&] { call(); });
  }
  // Menus may still point at the plug-ins' code; they are dropped before the modules go.
  host.menubar.reset();
  for (auto& extension : extensions_)
    if (extension->module != nullptr)
      ::dlclose(extension->module);
  extensions_.clear();
}

}  // namespace pdfhost
