// Files edited by hand come back with any of the three line ends; each reader
// must see the same lines in all of them (a CR-only config.ini once read as
// one over-long line and was replaced by the factory settings).
#include <cstring>

#include "base/log_ring.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "config_test_env.h"
#include "log/log_store.h"

namespace {

using configtest::ConsoleCapture;

class LineEndsTest : public configtest::ConfigTest {};

// `text` with every CR LF replaced by `end`.
std::string WithLineEnds(const std::string& text, const std::string& end) {
  std::string out;
  for (const std::string& line : configtest::SplitCrLf(text)) out += line + end;
  return out;
}

const char* const kEnds[] = {"\r\n", "\n", "\r"};

TEST_F(LineEndsTest, ConfigIniKeepsTheUsersSettings) {
  ConsoleCapture quiet;
  set_default();
  sys_config.uiBaudrate = 9600;
  std::snprintf(orvel_event[15].msg, sizeof orvel_event[15].msg, "%s", "last event");
  orvel_event[15].iIsSMSDBS = 1;
  ASSERT_EQ(save_orvel_config(), 1);
  const std::string written = ReadApp("config.ini");
  for (const char* end : kEnds) {
    SCOPED_TRACE(testing::PrintToString(std::string(end)));
    const std::string text = WithLineEnds(written, end);
    WriteApp("config.ini", text.substr(0, text.size() - std::strlen(end)));  // the last line may lack its end
    init_orvel_config();
    EXPECT_EQ(read_orvel_config(), 1);
    EXPECT_EQ(sys_config.uiBaudrate, 9600u);
    EXPECT_STREQ(orvel_event[15].msg, "last event");
    EXPECT_EQ(orvel_event[15].iIsSMSDBS, 1);
  }
}

TEST_F(LineEndsTest, GainAndLogSwitchReadEveryLine) {
  ConsoleCapture quiet;
  for (const char* end : kEnds) {
    SCOPED_TRACE(testing::PrintToString(std::string(end)));
    WriteApp("gain.ini", WithLineEnds("gain=2\r\noffset=1\r\ngain2=4\r\noffset2=-2\r\n", end));
    gain = offset = gain2 = offset2 = 3;
    EXPECT_EQ(read_gain_offset(), 1);
    EXPECT_EQ(offset2, -2);

    // The switch on the second line: a reader that sees one line misses it.
    WriteApp("log.ini", WithLineEnds("@LOGMAX;90\r\n@LOGEN;1\r\n", end));
    logEnable = 0;
    ReadLogConfig();
    EXPECT_EQ(logEnable.load(), 1);
  }
}

}  // namespace
