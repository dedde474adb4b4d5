// A temporary folder for one test, removed with everything in it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class TempRoot {
 public:
  TempRoot() {
    char tmpl[] = "/tmp/qrv-sim-test.XXXXXX";
    const char* dir = mkdtemp(tmpl);
    path_ = dir ? dir : "";
  }
  ~TempRoot() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
