// Host errors: their texts, the stack of exception frames, and raising.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ASErrors.h"
#include "ASTypes.h"

namespace pdfhost {

// The host's text for an error code; unknown codes get a text that names the code. A detail
// (such as which folder is missing) follows the code's own text.
std::string errorText(ASErrorCode error, const std::string& detail = "");

// A raise that no plug-in frame took; the host frame around the current callback catches it.
class HostError : public std::runtime_error {
 public:
  explicit HostError(ASErrorCode error);
  ASErrorCode code() const { return code_; }

 private:
  ASErrorCode code_;
};

class ExceptionFrames {
 public:
  // Reports each raise: the code and whether a plug-in frame took it.
  using RaiseObserver = std::function<void(ASErrorCode, bool caughtByPlugin)>;

  void setObserver(RaiseObserver observer) { observer_ = std::move(observer); }

  // A plug-in's frame: a raise calls its restore procedure, which throws to the plug-in's handler.
  void pushPluginFrame(void* record, ACRestoreProc restore);
  // Pops the top frame. Popping an empty stack is ignored: nothing the host holds is at stake.
  void pop();
  std::size_t depth() const { return frames_.size(); }
  // Drops frames above a depth: a callback that returned without popping its frames.
  void truncate(std::size_t depth);

  // Records the code and its detail for the user (empty for none), then gives control to the top
  // frame: a plug-in frame's restore procedure, or the host's own frame (by throwing HostError).
  // Never returns.
  [[noreturn]] void raise(ASErrorCode error, const std::string& detail = "");
  ASErrorCode lastError() const { return lastError_; }
  // Whether the exception now unwinding was thrown by a plug-in frame's restore procedure, on its
  // way to the plug-in's handler; reading it clears it. A host call clears it as it begins.
  bool takeRaiseInFlight()
  {
    bool was = raiseInFlight_;
    raiseInFlight_ = false;
    return was;
  }
  void beginCall() { raiseInFlight_ = false; }
  // The detail the last raise came with, when it was of this code; empty otherwise.
  std::string detailOf(ASErrorCode error) const
  {
    return error == lastError_ ? lastDetail_ : std::string();
  }

  // The host's own frame around a callback it makes; restores the stack depth on every path.
  class HostFrame {
   public:
    explicit HostFrame(ExceptionFrames& frames);
    ~HostFrame();
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;

   private:
    ExceptionFrames& frames_;
    std::size_t depth_;
  };

 private:
  struct Frame {
    bool plugin;
    void* record;
    ACRestoreProc restore;
  };
  std::vector<Frame> frames_;
  ASErrorCode lastError_ = kASErrNone;
  std::string lastDetail_;
  bool raiseInFlight_ = false;
  RaiseObserver observer_;
};

// Copies an error's text (with its detail) into a caller's buffer, fitted with its NUL as
// fitText does; returns the buffer.
const char* copyErrorText(ASErrorCode error, const std::string& detail, char* buffer,
                          std::size_t bufferSize);

}  // namespace pdfhost
