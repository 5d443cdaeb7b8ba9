// pdfhost's command line:
//   pdfhost [--plugins DIR] [--answers FILE] [--log FILE] [--run ITEM-NAME]... [--menus]
//           [--] [FILE.pdf ...]
// A value that begins with '-' is refused as an option put where a value belongs; after "--"
// every argument is a file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pdfhost {

struct CommandLine {
  std::string pluginFolder;                // empty: the folder beside the pdfhost program
  std::optional<std::string> answersFile;  // set: the headless host
  std::optional<std::string> logFile;
  std::vector<std::string> runItems;       // language-independent item names, in order
  bool printMenus = false;
  std::vector<std::string> files;          // the last one is the active document
};

// Parses the arguments after the program name; on a mistake returns nothing and says why.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments,
                                            std::string* error);
extern const char* const kUsage;

// The folder the build puts the plug-ins in: "plug_ins" beside the running program.
std::string defaultPluginFolder();

}  // namespace pdfhost
