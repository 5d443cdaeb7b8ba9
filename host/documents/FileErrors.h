// What went wrong with a file, as the host error to raise and a line that says why.
#pragma once

#include <stdexcept>
#include <string>

#include "ASErrors.h"

namespace pdfhost {

// A file operation that failed; the code is the host error to report.
class FileFailure : public std::runtime_error {
 public:
  FileFailure(ASErrorCode code, const std::string& why) : std::runtime_error(why), code_(code) {}
  ASErrorCode code() const { return code_; }

 private:
  ASErrorCode code_;
};

// The host error for an errno value, or `otherwise` for one without a better match.
ASErrorCode errorForErrno(int error, ASErrorCode otherwise);

}  // namespace pdfhost
