// What went wrong with a file, as the host error to raise and a line that says why.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "ASErrors.h"

namespace pdfhost {

// A file operation that failed; the code is the host error to report, and the detail what the
// user is told beyond the code's own text (empty for nothing more).
class FileFailure : public std::runtime_error {
 public:
  FileFailure(ASErrorCode code, const std::string& why, std::string detail = "")
      : std::runtime_error(why), code_(code), detail_(std::move(detail))
  {
  }
  ASErrorCode code() const { return code_; }
  const std::string& detail() const { return detail_; }

 private:
  ASErrorCode code_;
  std::string detail_;
};

// The host error for an errno value, or `otherwise` for one without a better match.
ASErrorCode errorForErrno(int error, ASErrorCode otherwise);

}  // namespace pdfhost
