#include "CommandLine.h"

#include <unistd.h>

#include <climits>

namespace pdfhost {

const char* const kUsage =
    "usage: pdfhost [--plugins DIR] [--answers FILE] [--log FILE] [--run ITEM-NAME] [--menus] "
    "[FILE.pdf ...]\n";

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments,
                                            std::string* error)
{
  CommandLine line;
  auto fail = [&](const std::string& why) -> std::optional<CommandLine> {
    if (error != nullptr)
      *error = why;
    return std::nullopt;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        return std::nullopt;
      return arguments[++i];
    };
    if (argument == "--plugins" || argument == "--answers" || argument == "--log" ||
        argument == "--run") {
      auto given = value();
      if (!given)
        return fail(argument + " needs a value");
      if (argument == "--plugins")
        line.pluginFolder = *given;
      else if (argument == "--answers")
        line.answersFile = *given;
      else if (argument == "--log")
        line.logFile = *given;
      else
        line.runItems.push_back(*given);
    } else if (argument == "--menus") {
      line.printMenus = true;
    } else if (argument == "--") {
      line.files.insert(line.files.end(), arguments.begin() + i + 1, arguments.end());
      break;
    } else if (argument.size() > 1 && argument[0] == '-') {
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
