// Small helpers the test suites share: whole files in and out, a command's output, counting,
// the sample ad, names for parameterised cases.
#pragma once

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testfiles {

inline std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Output of a shell command, standard error included; its exit status in *status.
inline std::string shell(const std::string& command, int* status = nullptr)
{
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr)
    return output;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, n);
  int raw = ::pclose(pipe);
  if (status != nullptr)
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

// The warnings of a `qpdf --check` report `after` that an earlier report `before` did not hold.
inline std::string newWarnings(const std::string& before, const std::string& after)
{
  std::string added;
  std::istringstream lines(after);
  for (std::string line; std::getline(lines, line);)
    if (line.find("WARNING") != std::string::npos && before.find(line) == std::string::npos)
      added += line + "\n";
  return added;
}

// The address space the process holds now, in bytes, as the kernel counts it for RLIMIT_AS.
inline long addressSpaceInUse()
{
  long size = 0;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmSize:", 0) == 0)
      size = std::stol(line.substr(7)) * 1024;
  return size;
}

// How many times `what` stands in `text`.
inline int countOf(const std::string& text, const std::string& what)
{
  int found = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++found;
  return found;
}

// A case's name for a test's name, made of the letters and digits of `text` ("Helvetica-Bold
// Order ID:" gives "HelveticaBoldOrderID"; "-5.5" gives "Minus5Point5"; other bytes go as "xFC").
inline std::string caseName(const std::string& text)
{
  std::string name;
  bool upper = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    auto digitAt = [&](std::size_t at) {
      return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
    };
    bool digitNext = digitAt(i + 1);
    if (std::isalnum(c) && c < 0x80) {
      name += upper ? static_cast<char>(std::toupper(c)) : static_cast<char>(c);
      upper = false;
    } else if (c == '-' && digitNext) {
      name += "Minus";
    } else if (c == '.' && digitNext && i > 0 && digitAt(i - 1)) {
      name += "Point";
    } else if (c >= 0x80) {
      static const char kHex[] = "0123456789ABCDEF";
      name += {'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      upper = true;
    }
  }
  return name;
}

#ifdef TVP_SAMPLE_FIXTURE
// The sample ad the suites open: a copy of the test fixture in a temporary folder, made when the
// test process starts and removed when it ends; a process it starts (a death test's child) uses
// the same copy. So no test opens a file of the checkout, and none depends on what a user did to
// examples/sample-ad.pdf.
class SampleCopy {
 public:
  SampleCopy()
  {
    const char* inherited = std::getenv("TVP_SAMPLE_COPY");
    if (inherited != nullptr && ::access(inherited, R_OK) == 0) {
      path_ = inherited;
      return;
    }
    std::string folder = (std::filesystem::temp_directory_path() / "tvp-sample-XXXXXX").string();
    std::string bytes = readFile(TVP_SAMPLE_FIXTURE);
    if (bytes.empty() || ::mkdtemp(folder.data()) == nullptr) {
      std::fprintf(stderr, "cannot copy the sample %s to a temporary folder\n", TVP_SAMPLE_FIXTURE);
      std::abort();
    }
    folder_ = folder;
    owner_ = ::getpid();
    path_ = folder_ + "/sample-ad.pdf";
    writeFile(path_, bytes);
    ::setenv("TVP_SAMPLE_COPY", path_.c_str(), 1);
  }
  ~SampleCopy()
  {
    // Only the process that made the copy removes it, never a forked child that exits.
    std::error_code ignored;
    if (owner_ == ::getpid())
      std::filesystem::remove_all(folder_, ignored);
  }
  SampleCopy(const SampleCopy&) = delete;
  SampleCopy& operator=(const SampleCopy&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string folder_, path_;
  pid_t owner_ = 0;
};
inline const SampleCopy sampleCopy;
#define TVP_SAMPLE_PDF (::testfiles::sampleCopy.path())
#endif

}  // namespace testfiles
