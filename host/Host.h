// The host: the one object that owns everything the host application is (atoms, exception
// frames, callbacks, menus, documents, its user interface, its log, its plug-ins and the function
// tables it hands them). Plug-ins reach it only through the tables.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HostTables.h"
#include "app/HostUi.h"
#include "app/Menus.h"
#include "app/Plugins.h"
#include "content/Objects.h"
#include "content/Pages.h"
#include "documents/Documents.h"
#include "documents/Files.h"
#include "documents/OpenFiles.h"
#include "support/Atoms.h"
#include "support/Errors.h"
#include "support/EventLog.h"

struct _t_ASCallback {
  ASExtension owner;
  void* proc;
};

struct _t_AVWindow {
  void* platformThing;  // the toolkit's widget; the host holds one reference on it
  ASExtension owner;
  AVWindowLayer layer;
};

namespace pdfhost {

// The tables the host hands out, one struct per table.
struct HostTableSet {
#define TVP_TABLE_FIELD(Table, Required) Table##HFT Table;
  TVP_HOST_TABLES(TVP_TABLE_FIELD)
#undef TVP_TABLE_FIELD
};

// Settings a test or a special run changes; the defaults are the real host's.
struct HostConfig {
  ASUns32 handshakeVersion = HANDSHAKE_V0200;
  bool hasMenubar = true;
  bool hostMenus = true;  // the host's own File menu
  // Versions offered in place of the defaults; 0 withholds a table.
  std::map<std::string, ASUns32> tableVersions;
};

// Counts of host objects alive, so tests can see that what was made was released.
struct LiveObjects {
  long texts = 0;
  long windows = 0;
  long paths = 0;
  // Documents made by PDDocCreate and views opened on a document, until closed or released.
  long documents = 0;
  long views = 0;
  // Page handles, and page-content objects by kind (texts and paths are elements).
  long pages = 0;
  long contents = 0;
  long elements = 0;
  long fonts = 0;
  long colorSpaces = 0;
  long extGStates = 0;
};

class Host {
 public:
  static Host& get();

  // Starts afresh: unloads plug-ins, closes documents, drops menus and callbacks. The tables
  // stay where they are (loaded plug-ins keep pointers to them) and are refilled.
  void reset(HostConfig config = HostConfig());
  // Unloads the plug-ins and closes every document and file; the program's last host call.
  void shutdown();

  // The version of a table this host offers, 0 when withheld.
  ASUns32 offeredVersion(const std::string& table) const;
  // The table of a name, or null for a name the host does not know.
  const void* table(const std::string& name) const;

  // Runs a callback into a plug-in inside the host's own frame. A host error that no plug-in
  // frame catches ends the callback and shows the host's error alert; nothing unwinds further.
  template <typename Body>
  bool runGuarded(const std::string& what, Body&& body);

  // Alerts as the host shows them, logged.
  void alertNote(const std::string& message);
  int alert(int icon, const std::string& message, const std::vector<std::string>& buttons);
  // File dialogs as the host shows them, logged ("open dialog: PATH" or "... cancelled").
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request);
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request);
  // A print job as the host runs it, logged ("print job: TITLE -> DESTINATION", "... cancelled"
  // or "... failed: WHY"); a failed job is also told in a note alert.
  PrintResult printDocument(const PrintRequest& request);

  // Callbacks, kept for the host's lifetime.
  ASCallback newCallback(ASExtension owner, void* proc);
  void destroyCallback(ASCallback callback);
  template <typename Proc>
  static Proc procOf(ASCallback callback) { return reinterpret_cast<Proc>(callback->proc); }

  // Asks an item's compute-enabled procedure; an item without one is enabled.
  bool isEnabled(MenuItem& item);
  // Runs an item's execute procedure as a user's choice of it would.
  void execute(MenuItem& item);

  HostConfig config;
  AtomTable atoms;
  ExceptionFrames frames;
  EventLog log;
  std::unique_ptr<HostUi> ui;
  std::unique_ptr<Menubar> menubar;
  // Page-content objects and page handles; declared before the documents, which outlive them.
  content::Registry pde;
  content::PageTable pages;
  DocumentList documents;
  _t_ASFileSys defaultFileSys{"POSIX"};
  PathNames pathNames;
  OpenFiles openFiles;  // files plug-ins opened
  PluginLoader plugins;
  HostTableSet tables;
  LiveObjects live;

 private:
  Host();
  ~Host() = delete;
  void fillTables();
  void reportUnexpected(const std::string& what, const char* detail);
  std::vector<std::unique_ptr<_t_ASCallback>> callbacks_;
};

template <typename Body>
bool Host::runGuarded(const std::string& what, Body&& body)
{
  ExceptionFrames::HostFrame frame(frames);
  try {
    body();
    return true;
  } catch (HostError& error) {
    alertNote(errorText(error.code(), frames.detailOf(error.code())));
  } catch (std::exception& e) {
    reportUnexpected(what, e.what());
  } catch (...) {
    reportUnexpected(what, "an exception the host does not know");
  }
  return false;
}

// Writes an event to the host's log.
void logEvent(const std::string& event);
std::string hex(ASUns32 value);

}  // namespace pdfhost
