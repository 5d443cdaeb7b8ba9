#include "CommandLine.h"

#include <unistd.h>

#include <climits>

namespace pdfhost {

const char* const kUsage =
    "usage: pdfhost [--plugins DIR] [--answers FILE] [--log FILE] [--run ITEM-NAME] [--menus] "
    "[--] [FILE.pdf ...]\n";

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments,
                                            std::string* error)
{
  CommandLine line;
  auto fail = [&](const std::string& why) -> std::optional<CommandLine> {
    if (error != nullptr)
      *error = why;
    return std::nullopt;
  };
  auto isOption = [](const std::string& word) { return word.size() > 1 && word[0] == '-'; };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--plugins" || argument == "--answers" || argument == "--log" ||
        argument == "--run") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        return fail(argument + " needs a value");
      // An option where a value belongs is a value forgotten, not a file of that name.
      if (isOption(arguments[i + 1]))
        return fail(argument + " needs a value, not the option " + arguments[i + 1] + " (write ./" +
                    arguments[i + 1] + " for a file of that name)");
      const std::string& given = arguments[++i];
      if (argument == "--plugins")
        line.pluginFolder = given;
      else if (argument == "--answers")
        line.answersFile = given;
      else if (argument == "--log")
        line.logFile = given;
      else
        line.runItems.push_back(given);
    } else if (argument == "--menus") {
      line.printMenus = true;
    } else if (argument == "--") {
      line.files.insert(line.files.end(), arguments.begin() + i + 1, arguments.end());
      break;
    } else if (isOption(argument)) {
      return fail("unknown option " + argument);
    } else {
      line.files.push_back(argument);
    }
  }
  return line;
}

std::string defaultPluginFolder()
{
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0)
    return "plug_ins";
  std::string program(path, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + "plug_ins";
}

}  // namespace pdfhost
