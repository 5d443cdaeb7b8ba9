#include "HostUi.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace pdfhost {

namespace {

std::string lowered(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A button's title without the mnemonic ampersand.
std::string plainTitle(const std::string& title)
{
  std::string plain;
  for (char c : title)
    if (c != '&')
      plain += c;
  return plain;
}

}  // namespace

std::optional<std::deque<std::string>> ScriptedUi::readAnswers(const std::string& path)
{
  std::ifstream in(path);
  if (!in)
    return std::nullopt;
  std::deque<std::string> answers;
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos)
      continue;
    answers.push_back(line.substr(start));
  }
  return answers;
}

std::optional<std::string> ScriptedUi::nextAnswer()
{
  if (answers_.empty())
    return std::nullopt;
  std::string answer = answers_.front();
  answers_.pop_front();
  return answer;
}

AlertResult ScriptedUi::note(const std::string& /*message*/)
{
  auto answer = nextAnswer();
  if (!answer)
    return AlertResult{1, "ok (no answer left)"};
  return AlertResult{1, *answer};
}

AlertResult ScriptedUi::alert(const AlertRequest& request)
{
  int buttonCount = static_cast<int>(request.buttons.size());
  if (buttonCount == 0)
    return note(request.message);
  auto answer = nextAnswer();
  if (!answer)
    return AlertResult{buttonCount, lowered(plainTitle(request.buttons.back())) + " (no answer left)"};
  // An answer names a button by its title ("yes" takes "Yes"); "ok" takes the first button.
  std::string wanted = lowered(*answer);
  for (int i = 0; i < buttonCount; ++i)
    if (lowered(plainTitle(request.buttons[i])) == wanted)
      return AlertResult{i + 1, wanted};
  if (wanted == "ok" || wanted == "yes")
    return AlertResult{1, wanted};
  if (wanted == "no" || wanted == "cancel")
    return AlertResult{buttonCount, wanted};
  return AlertResult{buttonCount, wanted + " (not a button; taken as the last)"};
}

}  // namespace pdfhost
