#include "EventLog.h"

namespace pdfhost {

bool EventLog::open(const std::string& path)
{
  close();
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void EventLog::close()
{
  if (file_ != nullptr)
    std::fclose(file_);
  file_ = nullptr;
}

void EventLog::write(const std::string& event)
{
  if (file_ == nullptr)
    return;
  std::string line;
  line.reserve(event.size() + 1);
  for (char c : event) {
    if (c == '\n')
      line += "\\n";
    else if (c == '\r')
      line += "\\r";
    else
      line += c;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace pdfhost
