// Leftovers of saves cut short: which files in a folder are the atomic
// save's own temporary copies of a dead saver, and only those go.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/atomic_file.h"
#include "support/firmware_process.h"

namespace {

// The id of a process that has ended and been reaped.
std::string EndedPid() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return std::to_string(child);
}

TEST(LeftoverTemporaryFiles, OnlyTheCopiesOfAGoneSaverAreRemoved) {
  testsupport::TempDir dir;
  const std::string self = std::to_string(getpid());
  const std::string live = std::to_string(getppid());
  const std::string ended = EndedPid();
  struct Case {
    std::string name;
    bool removed;
  } cases[] = {
      {"config.ini.tmp." + ended + ".17", true},
      {"CTStatus.ini.tmp." + self + ".4", true},    // this process saves nothing yet
      {"log.ini.tmp." + live + ".9", false},        // its saver still runs
      {"config.ini", false},
      {"config.ini.refused", false},
      {"config.ini.tmp", false},
      {"config.ini.tmp." + ended, false},
      {"config.ini.tmp." + ended + ".", false},
      {"config.ini.tmp.x" + ended + ".1", false},
      {"config.ini.tmp." + ended + ".1.bak", false},
      {".tmp." + ended + ".1", false},
      {"notes.tmp." + ended + ".12345678901", false},
  };
  for (const Case& c : cases) dir.Write(c.name, "x");
  dir.Write("sub.tmp." + ended + ".1/inner", "x");  // a folder by that name stays

  int expected = 0;
  for (const Case& c : cases) expected += c.removed ? 1 : 0;
  EXPECT_EQ(platform::RemoveLeftoverTemporaryFiles(dir.path()), expected);
  for (const Case& c : cases) EXPECT_EQ(dir.Exists(c.name), !c.removed) << c.name;
  EXPECT_TRUE(dir.Exists("sub.tmp." + ended + ".1/inner"));
  EXPECT_EQ(platform::RemoveLeftoverTemporaryFiles(dir.path() + "/missing"), 0);
}

TEST(LeftoverTemporaryFiles, ASaveLeavesNoTemporaryFile) {
  testsupport::TempDir dir;
  ASSERT_TRUE(platform::ReplaceFileAtomically(dir.path() + "/log.ini", "@LOGEN;1\r\n"));
  EXPECT_EQ(dir.Read("log.ini"), "@LOGEN;1\r\n");
  EXPECT_EQ(platform::RemoveLeftoverTemporaryFiles(dir.path()), 0);
}

}  // namespace
