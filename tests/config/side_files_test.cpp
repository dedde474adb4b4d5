// gain.ini, CTStatus.ini and the SMS journal (saves cut off: config_file_test).
#include <filesystem>
#include <thread>

#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "config_test_env.h"

namespace {

using configtest::ConsoleCapture;
using configtest::SplitCrLf;

class SideFilesTest : public configtest::ConfigTest {
 protected:
  // Writes `file` into /APP (nullptr: no file) and runs `read` on it.
  template <typename Row, typename Read>
  void ReadRows(const char* name, const std::vector<Row>& rows, Read read) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      std::filesystem::remove(dir_.path() + "/APP/" + name);
      if (row.file != nullptr) WriteApp(name, row.file);
      ConsoleCapture console;
      read(row);
      if (row.console != nullptr) {
        EXPECT_NE(console.Text().find(row.console), std::string::npos) << row.console;
      }
    }
  }
};

TEST_F(SideFilesTest, GainFile) {
  struct Row {
    const char *what, *file;
    int result;
    double gain, offset, gain2, offset2;
    const char* console;
  };
  ReadRows<Row>(
      "gain.ini",
      {
          {"missing", nullptr, 0, 1, 0, 1, 0, ">Open file fail(gain.ini)\r\n"},
          {"all set", "gain=2.5\r\noffset=-1.25\r\ngain2=0.5\r\noffset2=5\r\n", 1, 2.5, -1.25, 0.5, 5, nullptr},
          {"gain 0", "gain=0\r\noffset=1\r\ngain2=2\r\noffset2=-5\r\n", 1, 1, 1, 2, -5, nullptr},
          {"out of range", "gain=5.5\r\noffset=-5.5\r\ngain2=-1\r\noffset2=nan\r\n", 1, 1, 0, 1, 0, nullptr},
          {"third line offset2", "gain=2\r\noffset=1\r\noffset2=1\r\noffset2=1\r\n", 0, 1, 0, 1, 0,
           ">Unknown content, set all value as default.\r\n"},
          {"three lines", "gain=2\r\noffset=1\r\ngain2=2\r\n", 0, 1, 0, 1, 0, nullptr},
          {"key beginning with gain", "gain2=3\r\noffset=0\r\ngain2=3\r\noffset2=0\r\n", 1, 3, 0, 3, 0, nullptr},
          // Edited by hand: any line end (one CR-only file once read as one line).
          {"LF only", "gain=2\noffset=1\ngain2=4\noffset2=-2\n", 1, 2, 1, 4, -2, nullptr},
          {"CR only", "gain=2\roffset=1\rgain2=4\roffset2=-2\r", 1, 2, 1, 4, -2, nullptr},
      },
      [](const Row& row) {
        gain = offset = gain2 = offset2 = 4;
        EXPECT_EQ(read_gain_offset(), row.result);
        EXPECT_EQ(std::vector<double>({gain, offset, gain2, offset2}),
                  std::vector<double>({row.gain, row.offset, row.gain2, row.offset2}));
      });
}

TEST_F(SideFilesTest, CounterFile) {
  struct Row {
    const char *what, *file;
    int result;
    std::vector<uint32_t> counters;  // counter_status and counter_status_old after the read
    const char* console;
  };
  const std::vector<uint32_t> untouched(kDiCount, 77);
  ReadRows<Row>(
      "CTStatus.ini",
      {
          {"missing", nullptr, 0, untouched, nullptr},
          {"three values", "counter_status=1,2,999999999\r\n", 1, {1, 2, 999999999, 77, 77}, nullptr},
          {"too large", "counter_status=1000000000,2\r\n", 1, {0, 2, 77, 77, 77},
           "=>counter_status[0] is over than 999999999.\r\n"},
          {"negative", "counter_status=4,-1\r\n", 1, {4, 0, 77, 77, 77}, "=>counter_status[1] is negative, set as 0.\r\n"},
          {"six values", "counter_status=1,2,3,4,5,6\r\n", 0, {1, 2, 3, 4, 5},
           "=>Counter status Content error.\r\n>Unknown content, set all value as default.\r\n"},
          {"other key", "counters=1\r\n", 0, untouched, ">Unknown content, set all value as default.\r\n"},
          {"no value", "counter_status=\r\n", 1, untouched, nullptr},
          {"empty file", "", 0, untouched, nullptr},
          {"LF only", "counter_status=10,20,30,40,50\n", 1, {10, 20, 30, 40, 50}, nullptr},
      },
      [](const Row& row) {
        for (int i = 0; i < kDiCount; ++i) sys_config.counter_status[i] = counter_status_old[i] = 77;
        EXPECT_EQ(read_counter_status(), row.result);
        for (int i = 0; i < kDiCount; ++i) {
          EXPECT_EQ(sys_config.counter_status[i].load(), row.counters[i]) << i;
          EXPECT_EQ(counter_status_old[i].load(), row.counters[i]) << i;
        }
      });
}

TEST_F(SideFilesTest, SmsJournalLines) {
  struct Row {
    const char *text, *phone;
    int sms_mode;
    const char* line;
  };
  // Sent lines: the sender's tests.
  const Row rows[] = {
      {"4F60", "+886912345678", 8, "4F60>UCS2>RECV>+886912345678>2021/07/13 08:15:09"},
      {"data", "0912345678", 4, "data>7BIT>RECV>0912345678>2021/07/13 08:15:09"},  // 8-bit is journalled as 7-bit
      // One SMS, one line; a number is at most 19 characters.
      {"two\r\nlines", "0912345678901234567890", 0, "two  lines>7BIT>RECV>0912345678901234567>2021/07/13 08:15:09"},
      {"ok", "0912\r\n345\r", 0, "ok>7BIT>RECV>0912  345 >2021/07/13 08:15:09"},
  };
  std::vector<std::string> want;
  for (const Row& row : rows) {
    EXPECT_EQ(save_sms_log(row.text, row.phone, row.sms_mode, 1), 0);
    want.push_back(row.line);
  }
  EXPECT_EQ(SplitCrLf(ReadApp("sms_log.ini")), want);
  // A card that takes no more (here: a file size limit) fails the save.
  ConsoleCapture console;
  {
    configtest::FileSizeLimit cut(ReadApp("sms_log.ini").size() + 10);
    EXPECT_EQ(save_sms_log("a message longer than ten bytes", "0912345678", 0, 0), -1);
  }
  EXPECT_NE(console.Text().find(">Write file(sms_log.ini) fail\r\n"), std::string::npos);
}

// (The layout of gain.ini: the factory test's; of CTStatus.ini: the factory
// file's.)
TEST_F(SideFilesTest, ConcurrentWritersKeepWholeLines) {
  for (auto& c : sys_config.counter_status) c = 0;
  counter_status_old[1] = 5;
  std::vector<std::thread> threads;
  for (const char* who : {"first sender", "second sender"}) {
    threads.emplace_back([who] {
      for (int i = 0; i < 40; ++i) save_sms_log(who, "0912345678", 0, 0);
    });
    threads.emplace_back([] {
      for (uint32_t i = 0; i < 40; ++i) {
        sys_config.counter_status[1] = i;
        save_counter_status();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const std::vector<std::string> lines = SplitCrLf(ReadApp("sms_log.ini"));
  ASSERT_EQ(lines.size(), 80u);
  for (const std::string& line : lines) {
    EXPECT_TRUE(line.rfind("first sender>7BIT>SEND>", 0) == 0 || line.rfind("second sender>7BIT>SEND>", 0) == 0)
        << line;
  }
  EXPECT_EQ(ReadApp("CTStatus.ini").rfind("counter_status=0,39,", 0), 0u);
  EXPECT_EQ(counter_status_old[1].load(), 5u);  // not touched by a save
}

}  // namespace
