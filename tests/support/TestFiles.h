// Small helpers the test suites share: whole files in and out, a command's output, counting.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

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

// How many times `what` stands in `text`.
inline int countOf(const std::string& text, const std::string& what)
{
  int found = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++found;
  return found;
}

}  // namespace testfiles
