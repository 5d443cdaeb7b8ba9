#include "EventLog.h"

#include "support/Texts.h"

namespace pdfhost {

namespace {

std::string hexEscape(unsigned char byte)
{
  const char digits[] = "0123456789ABCDEF";
  return std::string("\\x") + digits[byte >> 4] + digits[byte & 0xF];
}

}  // namespace

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
  // Backslashes and every control byte are escaped, so one event stays one line and two
  // different texts never log the same.
  for (std::size_t i = 0; i < event.size(); ++i) {
    auto byte = static_cast<unsigned char>(event[i]);
    if (byte == '\\') {
      line += "\\\\";
    } else if (byte == '\n') {
      line += "\\n";
    } else if (byte == '\r') {
      line += "\\r";
    } else if (byte == '\t') {
      line += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      line += hexEscape(byte);
    } else if (byte < 0x80) {
      line += static_cast<char>(byte);
    } else {
      // Bytes that are not UTF-8 are escaped too, so the log stays valid UTF-8.
      std::size_t length = utf8SequenceLength(event, i);
      if (length == 0) {
        line += hexEscape(byte);
      } else {
        line.append(event, i, length);
        i += length - 1;
      }
    }
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace pdfhost
