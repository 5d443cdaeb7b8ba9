// A fresh host per test, with its log in a temporary file the test can read.
#pragma once

#include "../support/TestFiles.h"
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "Host.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { freshHost(); }
  void TearDown() override
  {
    pdfhost::Host::get().reset();
    pdfhost::Host::get().log.close();
    std::remove(logPath_.c_str());
  }

  pdfhost::Host& freshHost(pdfhost::HostConfig config = pdfhost::HostConfig())
  {
    pdfhost::Host& host = pdfhost::Host::get();
    host.reset(std::move(config));
    logPath_ = "/tmp/pdfhost-test-" + std::to_string(::getpid()) + ".log";
    host.log.open(logPath_);
    return host;
  }

  std::string logText() const
  {
    return testfiles::readFile(logPath_);
  }

 private:
  std::string logPath_;
};
