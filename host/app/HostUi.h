// How the host talks to its user: alerts, questions and file dialogs. The interactive host shows
// GTK dialogs; the headless host answers each from a script of answers.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace pdfhost {

class EventLog;

struct AlertRequest {
  int icon = 0;
  std::string message;
  std::vector<std::string> buttons;  // the titles of the buttons, first button first
};

// What a user did with an alert: the 1-based button, and the answer as the log records it.
struct AlertResult {
  int button = 1;
  std::string answer;
};

// One entry of a file dialog's type menu, such as {"XML", {"*.xml"}}.
struct FileFilter {
  std::string name;
  std::vector<std::string> patterns;
};

struct FileDialogRequest {
  std::string title;
  std::string startFolder;    // empty: wherever the dialog likes
  std::string suggestedName;  // save dialogs only
  std::vector<FileFilter> filters;
};

// A print job: the document, as a PDF file open for reading, and the name it goes by.
struct PrintRequest {
  std::string title;
  int descriptor = -1;  // the host's, read from its start; open until the job has ended
};

// What became of a print job.
struct PrintResult {
  enum Outcome { kPrinted, kCancelled, kFailed };
  Outcome outcome = kCancelled;
  std::string destination;  // printed: the printer or file the job went to
  std::string failure;      // failed: why, in one line
};

// The answer a button gives: its title lower-cased (ASCII only), without the mnemonic '&'.
std::string answerOfButton(const std::string& title);

class HostUi {
 public:
  virtual ~HostUi() = default;
  // Shows a message with one button.
  virtual AlertResult note(const std::string& message) = 0;
  // Shows a message with up to three buttons; returns the one chosen.
  virtual AlertResult alert(const AlertRequest& request) = 0;
  // Asks for an existing file to open, or a file to save to; nothing when the user cancels.
  virtual std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) = 0;
  // Shows the print dialog and prints the document where the user says.
  virtual PrintResult printDocument(const PrintRequest& request) = 0;
  // Makes a plug-in's native window (given to the host as a window of its own) belong to the
  // host's window: kept above it and placed on its monitor. A host without a window of its own
  // leaves the window where its toolkit put it.
  virtual void adoptWindow(void* /*nativeWindow*/) {}
};

// The headless host's user: takes each answer from the next line of a script. When the lines run
// out, a question is answered with its last button ("No"), a note is acknowledged, and the
// answer says so.
class ScriptedUi : public HostUi {
 public:
  explicit ScriptedUi(std::deque<std::string> answers) : answers_(std::move(answers)) {}
  // Reads the answers of a file, one per line; blank lines and CR line ends are skipped.
  static std::optional<std::deque<std::string>> readAnswers(const std::string& path);

  AlertResult note(const std::string& message) override;
  AlertResult alert(const AlertRequest& request) override;
  // "open PATH" / "save PATH" choose PATH; "cancel", another answer or none cancels.
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override;
  // "print PATH" writes the job, the document's PDF as it is, to PATH (replacing a file there
  // whole, or leaving it as it was); another answer, or none, cancels.
  PrintResult printDocument(const PrintRequest& request) override;
  std::size_t remaining() const { return answers_.size(); }

 protected:
  // The next answer, or nothing when the script is used up.
  std::optional<std::string> nextAnswer();
  // The path of an answer "VERB PATH", or nothing for any other answer.
  std::optional<std::string> pathAnswer(const std::string& verb);

 private:
  std::deque<std::string> answers_;
};

}  // namespace pdfhost
