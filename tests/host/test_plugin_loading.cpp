// The Tovarin plug-in module loaded by the host: handshake, tables, menu and item.
#include <gtest/gtest.h>

#include "HostFixture.h"

using namespace pdfhost;

namespace {

const char* const kPlugin = TVP_PLUGIN_PATH;

std::vector<std::string> loadPlugin(Host& host)
{
  return host.plugins.loadModules({kPlugin});
}

Menu* tovarinMenu(Host& host)
{
  return host.menubar ? host.menubar->findMenu("ZEKT:Tovarin") : nullptr;
}

}  // namespace

class PluginLoading : public HostTest {};

TEST_F(PluginLoading, InstallsTheMenuAndItsOneItem)
{
  Host& host = Host::get();
  ASSERT_TRUE(loadPlugin(host).empty());
  ASSERT_EQ(host.plugins.extensions().size(), 1u);
  EXPECT_EQ(host.plugins.extensions()[0]->name, "ZEKT:TVPMetadata");

  Menu* menu = tovarinMenu(host);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title, "Tovarin");
  ASSERT_EQ(menu->items.size(), 1u);
  MenuItem* item = menu->items[0];
  EXPECT_EQ(item->title, "TVP metadata");
  EXPECT_EQ(item->name, "ZEKT:TVPMetadata");
  EXPECT_EQ(item->name, host.plugins.extensions()[0]->name)
      << "the item and the plug-in share one name";
  EXPECT_TRUE(item->longMenusOnly);
  EXPECT_EQ(item->owner, host.plugins.extensions()[0].get());
  // Only the menu bar and the menu hold references: the plug-in kept none.
  EXPECT_EQ(menu->references, 1);
  EXPECT_EQ(item->references, 1);
  EXPECT_NE(logText().find("plug-in loaded: " + std::string(kPlugin) + " (ZEKT:TVPMetadata)"),
            std::string::npos);
}

TEST_F(PluginLoading, ItemIsEnabledExactlyWhileADocumentIsOpen)
{
  Host& host = Host::get();
  ASSERT_TRUE(loadPlugin(host).empty());
  MenuItem* item = host.menubar->findItem("ZEKT:TVPMetadata");
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(host.isEnabled(*item));
  OpenFailure failure;
  AVDoc doc = host.documents.open(TVP_SAMPLE_PDF, &failure);
  ASSERT_NE(doc, nullptr) << failure.message;
  EXPECT_TRUE(host.isEnabled(*item));
  host.documents.close(doc);
  EXPECT_FALSE(host.isEnabled(*item));
}

TEST_F(PluginLoading, AppendsToAnExistingTovarinMenu)
{
  Host& host = Host::get();
  auto* existing = new Menu();
  existing->title = "Tovarin tools";
  existing->name = "ZEKT:Tovarin";
  // Made first by someone else, under the very name of the plug-in's item.
  auto* first = new MenuItem();
  first->name = "ZEKT:TVPMetadata";
  existing->items.push_back(first);
  host.menubar->addMenu(existing, 9999);
  existing->release();  // the bar's reference stays

  ASSERT_TRUE(loadPlugin(host).empty());
  ASSERT_EQ(host.menubar->menus().size(), 1u) << "no second menu";
  EXPECT_EQ(existing->title, "Tovarin tools") << "the title stays as it was";
  ASSERT_EQ(existing->items.size(), 2u);
  EXPECT_EQ(existing->items[1]->name, "ZEKT:TVPMetadata") << "appended at the end";
  EXPECT_EQ(existing->references, 1) << "acquired once, released once";
  EXPECT_EQ(existing->items[1]->references, 1);
  EXPECT_NE(
      logText().find(std::string("menu item name ZEKT:TVPMetadata used 2 times, by the host, ") +
                     kPlugin + "\n"),
      std::string::npos)
      << logText();
}

TEST_F(PluginLoading, WithoutMenubarInitFailsAndCreatesNothing)
{
  HostConfig config;
  config.hasMenubar = false;
  Host& host = freshHost(config);
  auto failures = loadPlugin(host);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("its init callback failed"), std::string::npos) << failures[0];
  EXPECT_EQ(logText().find("alert:"), std::string::npos) << "no alert";
  EXPECT_EQ(logText().find("raised"), std::string::npos) << "no frame, no error";
}

struct Refusal {
  const char* name;
  HostConfig config;
  const char* reason;
};

TEST_F(PluginLoading, RefusesHostsItCannotWorkWith)
{
  HostConfig otherHandshake;
  otherHandshake.handshakeVersion = 0x00030000;
  HostConfig noMetadata;
  noMetadata.tableVersions["PDMetadata"] = 0;
  HostConfig oldAcroView;
  oldAcroView.tableVersions["AcroView"] = 0x00050000;
  HostConfig oldCore;
  oldCore.tableVersions["Core"] = 0x00040000;
  const Refusal cases[] = {
      {"other handshake", otherHandshake, "refused the host's handshake version 0x00030000"},
      {"missing table", noMetadata, "the host has no table \"PDMetadata\""},
      {"old table", oldAcroView,
       "the host's table \"AcroView\" is version 0x00050000, older than the 0x00060000 required"},
      {"old core", oldCore, "core table version 0x00040000"},
  };
  for (const auto& c : cases) {
    Host& host = freshHost(c.config);
    auto failures = loadPlugin(host);
    ASSERT_EQ(failures.size(), 1u) << c.name;
    EXPECT_NE(failures[0].find(kPlugin), std::string::npos) << c.name << ": names the plug-in";
    EXPECT_NE(failures[0].find(c.reason), std::string::npos) << c.name << ": " << failures[0];
    EXPECT_EQ(tovarinMenu(host), nullptr) << c.name << ": nothing installed";
    EXPECT_NE(logText().find(failures[0]), std::string::npos) << c.name << ": logged";
  }
}

namespace {
AVMenuItem raisingItemNew(const char*, const char*, AVMenu, ASBool, char, AVFlagBits16, AVIcon,
                          ASExtension)
{
  Host::get().frames.raise(kASErrNoMemory);
}
void raisingAddMenu(AVMenubar, AVMenu, AVMenuIndex)
{
  Host::get().frames.raise(kASErrGeneral);
}
}  // namespace

TEST_F(PluginLoading, ARaiseDuringInstallationReleasesWhatWasHeld)
{
  Host& host = Host::get();
  // An existing menu, so the release count is visible after the failure.
  auto* existing = new Menu();
  existing->name = "ZEKT:Tovarin";
  host.menubar->addMenu(existing, 0);
  existing->release();
  auto original = host.tables.AcroView.AVMenuItemNew;
  host.tables.AcroView.AVMenuItemNew = raisingItemNew;
  auto failures = loadPlugin(host);
  host.tables.AcroView.AVMenuItemNew = original;

  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("init callback failed"), std::string::npos);
  EXPECT_EQ(existing->references, 1) << "the acquired menu was released once";
  EXPECT_TRUE(existing->items.empty());
  EXPECT_NE(logText().find("caught by the plug-in's frame"), std::string::npos);
  EXPECT_EQ(logText().find("alert:"), std::string::npos) << "the handler shows no alert";
  EXPECT_EQ(host.frames.depth(), 0u) << "the frame was popped";
}

TEST_F(PluginLoading, ARaiseAfterTheItemWasAddedReleasesANewMenuOnce)
{
  Host& host = Host::get();
  auto original = host.tables.AcroView.AVMenubarAddMenu;
  host.tables.AcroView.AVMenubarAddMenu = raisingAddMenu;
  auto failures = loadPlugin(host);
  host.tables.AcroView.AVMenubarAddMenu = original;
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(tovarinMenu(host), nullptr) << "the new menu never reached the bar";
  EXPECT_EQ(host.frames.depth(), 0u);
}

TEST_F(PluginLoading, UnloadWithoutACommandRunLeavesTheToolkitAlone)
{
  Host& host = Host::get();
  ASSERT_TRUE(loadPlugin(host).empty());
  host.plugins.unloadAll();
  EXPECT_TRUE(host.plugins.extensions().empty());
  EXPECT_EQ(logText().find("ended with"), std::string::npos);
}

TEST(PluginModule, ExportsOnlyItsEntryPoint)
{
  int status = -1;
  const std::string symbols =
      testfiles::shell("nm -D --defined-only --format=posix '" + std::string(kPlugin) + "'",
                       &status);
  ASSERT_EQ(status, 0) << symbols;
  std::istringstream lines(symbols);
  std::vector<std::string> names;
  for (std::string name, rest; lines >> name && std::getline(lines, rest);)
    names.push_back(name);
  EXPECT_EQ(names, std::vector<std::string>{"AcroPluginMain"});
}
