#include "HostUi.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>

#include "documents/ReplaceFile.h"

namespace pdfhost {

std::string answerOfButton(const std::string& title)
{
  std::string answer;
  for (char c : title)
    if (c != '&')
      answer += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return answer;
}

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
    return AlertResult{buttonCount, answerOfButton(request.buttons.back()) + " (no answer left)"};
  // An answer names a button by its title ("yes" takes "Yes"); "ok" takes the first button.
  std::string wanted = answerOfButton(*answer);
  for (int i = 0; i < buttonCount; ++i)
    if (answerOfButton(request.buttons[i]) == wanted)
      return AlertResult{i + 1, wanted};
  if (wanted == "ok" || wanted == "yes")
    return AlertResult{1, wanted};
  if (wanted == "no" || wanted == "cancel")
    return AlertResult{buttonCount, wanted};
  return AlertResult{buttonCount, wanted + " (not a button; taken as the last)"};
}

std::optional<std::string> ScriptedUi::pathAnswer(const std::string& verb)
{
  auto answer = nextAnswer();
  if (!answer || answer->size() <= verb.size() + 1 || answer->compare(0, verb.size() + 1, verb + " ") != 0)
    return std::nullopt;
  return answer->substr(verb.size() + 1);
}

std::optional<std::string> ScriptedUi::chooseFileToOpen(const FileDialogRequest& /*request*/)
{
  return pathAnswer("open");
}

std::optional<std::string> ScriptedUi::chooseFileToSave(const FileDialogRequest& /*request*/)
{
  return pathAnswer("save");
}

PrintResult ScriptedUi::printDocument(const PrintRequest& request)
{
  auto target = pathAnswer("print");
  if (!target)
    return PrintResult{PrintResult::kCancelled, "", ""};
  // Written beside the target and renamed over it, so a failed job leaves no half a file.
  try {
    ReplacementFile job(*target, ReplacementFile::Links::kFollow);
    char buffer[65536];
    for (off_t at = 0;;) {
      ssize_t got = ::pread(request.descriptor, buffer, sizeof buffer, at);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0)
        return PrintResult{PrintResult::kFailed, "",
                           *target + ": the document to print cannot be read"};
      if (got == 0) break;
      job.write(buffer, static_cast<std::size_t>(got));
      at += got;
    }
    job.commit();
  } catch (FileFailure& failure) {
    // The failure names the file already.
    return PrintResult{PrintResult::kFailed, "", failure.what()};
  }
  return PrintResult{PrintResult::kPrinted, *target, ""};
}

}  // namespace pdfhost
