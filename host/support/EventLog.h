// The host's event log: one line per host event, flushed as it is written.
#pragma once

#include <cstdio>
#include <string>

namespace pdfhost {

class EventLog {
 public:
  EventLog() = default;
  ~EventLog() { close(); }
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Starts logging to a file, truncating it. Returns false when the file cannot be opened.
  bool open(const std::string& path);
  void close();
  // Writes one event as one line: a backslash is written "\\", line breaks and tabs as "\n",
  // "\r", "\t", other control bytes and bytes that are not UTF-8 as "\xHH".
  void write(const std::string& event);
  bool isOpen() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace pdfhost
