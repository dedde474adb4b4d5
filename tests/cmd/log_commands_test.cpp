// The log commands on a simulated card: user-log days listed, fetched and
// deleted; the log switch and log.ini; the card's use and presence.
#include <regex>

#include "cmd_test_env.h"

namespace cmdtest {

std::string Card(const char* log, const char* day) { return std::string("media/card/") + log + "/" + day + ".txt"; }

TEST_F(CmdTest, DaysListedFetchedAndDeleted) {
  for (const char* day : {"2021/07/12", "2020/12/31"}) {
    for (const char* log : {"USR_LOG", "AT_CMD_LOG", "QMI_LOG"}) root_.Write(Card(log, day), day);
  }
  for (const char* stray : {"2021/07/notes.txt", "2021/07/1.txt", "2021/7/14.txt", "2021/07/15.txt/x", "secret.txt"}) {
    root_.Write(std::string("media/card/USR_LOG/") + stray, "not a day");
  }
  const std::string day13 = "{\"T\":\"08:15:00\"},\r\n" + std::string(300, 'x') + "\r\nno line end";
  root_.Write(Card("USR_LOG", "2021/07/13"), day13);
  ExpectReplies({
      {"@LOGFILE", "2020;12;31\r\n2021;07;12\r\n2021;07;13\r\n"},
      {"@LOGFILE;x", ""},
      {"@LOGDATA;2021;07;13", day13},
  });

  // Digits of the stored width only: no path can leave the log folders.
  for (const char* fields : {";2021;7;13", ";2021;07;13;x", ";2021;07", "", ";..;..;..", ";2021;..;07", ";../.;07;13",
                             ";2021;07;/1", ";%s%s;07;13", ";20211;07;13", ";2021;07;1 ", ";+021;07;13",
                             ";2021;07;13.txt"}) {
    EXPECT_EQ(Send(std::string("@LOGDATA") + fields), "") << fields;
    EXPECT_EQ(Send(std::string("@LOGDEL") + fields), Er("LOGDEL")) << fields;
  }
  EXPECT_TRUE(root_.Exists("media/card/USR_LOG/secret.txt"));

  // The other two logs of the day go with it; their absence is no error.
  std::remove((root_.path() + "/" + Card("QMI_LOG", "2021/07/12")).c_str());
  ExpectReplies({{"@LOGDEL;2021;07;12", Ok("LOGDEL")}, {"@LOGDEL;2021;07;12", Er("LOGDEL")}});
  for (const char* log : {"USR_LOG", "AT_CMD_LOG"}) EXPECT_FALSE(root_.Exists(Card(log, "2021/07/12")));
  EXPECT_EQ(system(("rm -r '" + root_.path() + "/media/card/USR_LOG'").c_str()), 0);
  EXPECT_EQ(Send("@LOGFILE"), "");
}

TEST_F(CmdTest, SwitchAndItsFile) {
  ExpectReplies({
      {"@LOGEN;1", Ok("LOGEN")},
      {"@LOGEN", Er("LOGEN")},
      {"@LOGEN;0;1", Er("LOGEN")},
      {"@LOGST;1", Er("LOGST")},
      {"@LOGSAVE;1", Er("LOGSAVE")},
      {"@LOGST", Shows("LOGST", "1")},
  });
  LogInit();  // a restart: not saved, so off again
  ReadLogConfig();
  ExpectReplies({{"@LOGST", Shows("LOGST", "0")}, {"@LOGEN;1", Ok("LOGEN")}, {"@LOGSAVE", Ok("LOGSAVE")}});
  EXPECT_EQ(root_.Read("APP/log.ini"), "@LOGEN;1\r\n");
  LogInit();
  ReadLogConfig();
  EXPECT_EQ(Send("@LOGST"), Shows("LOGST", "1"));
}

// The card's use as df gives it (the simulated card's use fixed at 42 %), and its presence.
TEST_F(CmdTest, CardUseAndPresence) {
  root_.Write("sim/sd-use", "42");
  if_sd_card = 1;
  const std::string both = Send("@LOGSDEXIS");
  const std::string usage = both.substr(0, both.find('\n') + 1);
  EXPECT_TRUE(std::regex_match(usage, std::regex("!QRV-806XK;LOGSDEXIS;OK;[0-9.]+[KMGTPE]?;[0-9.]+[KMGTPE]?;42%\r\n")))
      << both;
  EXPECT_EQ(both, usage + Shows("LOGSDEXIS", "1"));  // both entries answer, the usage first
  root_.Write("sim/sd-use", "full");                 // a use nobody can read is no answer
  ExpectReplies({{"@LOGSD", Er("LOGSD")}, {"@LOGSD;1", Er("LOGSD")}});
}

}  // namespace cmdtest
