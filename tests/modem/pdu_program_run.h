// Runs a program to its end with standard output and error kept apart, for
// the tests of the PDU tool and the gammu cross-check.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/firmware_process.h"

namespace pdutest {

struct ProgramResult {
  int status = -1;  // exit status; -1 when it did not end in time
  std::string out;
  std::string err;
};

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                std::chrono::seconds timeout = std::chrono::seconds(120)) {
  testsupport::TempDir dir;
  // The shell only sends the error stream to its own file; the arguments
  // reach the program untouched through "$@".
  std::vector<std::string> sh_args = {"-c", "exec \"$0\" \"$@\" 2>'" + dir.path() + "/err'",
                                      program};
  sh_args.insert(sh_args.end(), args.begin(), args.end());
  ProgramResult result;
  {
    testsupport::ChildProcess child("/bin/sh", sh_args, dir.path() + "/out");
    result.status = child.WaitForExit(timeout);
  }
  result.out = dir.Read("out");
  result.err = dir.Exists("err") ? dir.Read("err") : "";
  return result;
}

}  // namespace pdutest
