// Faults a board meets in the field, on the simulated board: a SIM that
// fails, a network that refuses messages or is lost while alarms pile up,
// packet data that fails, garbage on the terminal line. The firmware lives
// through each, loses nothing it keeps, and says on its console what
// happened. Each scenario prints its figures (alarms sent, time to recover)
// for the record.
#include <fcntl.h>
#include <termios.h>

#include <chrono>
#include <numeric>
#include <random>
#include <sstream>

#include "e2e/sim_e2e_fixture.h"

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

class FaultE2eTest : public SimE2eTest {
 protected:
  // The console seen from `from` on.
  std::string ConsoleFrom(size_t from) {
    const std::string all = Output();
    return from < all.size() ? all.substr(from) : "";
  }
  bool ConsoleHas(const std::string& line, size_t from = 0) { return ConsoleFrom(from).find(line) != std::string::npos; }
  // Messages with `text` that the network accepted.
  int Sent(const std::string& text) {
    std::istringstream lines(Ctl({"outbox"}).out);
    int n = 0;
    for (std::string line; std::getline(lines, line);) {
      n += line.find("\"text\":\"" + text + "\",") != std::string::npos &&
           line.find("\"result\":\"accepted\"") != std::string::npos;
    }
    return n;
  }
  void Figure(const std::string& line) { std::printf("[figure] %s\n", line.c_str()); }
};

// A SIM that fails, then a network that refuses three messages in a row.
TEST_F(FaultE2eTest, SimFailureAndRefusedMessagesLoseNoAlarm) {
  WriteConfig([] {
    OrvelEvent& ev = orvel_event[0];
    ev.is_event_enable = 1;
    ev.di[0] = DiConfig{1, 4, 50, 300, 0};
    Phones(ev, {"0911111111", "0922222222"});
    std::snprintf(ev.msg, kMsgSize, "Door open");
    orvel_event[1] = ev;
    orvel_event[1].di[0].cIsEnable = 0;
    orvel_event[1].di[0].cType = 0;
    orvel_event[1].di[1] = DiConfig{1, 4, 50, 300, 0};
    std::snprintf(orvel_event[1].msg, kMsgSize, "Gate open");
  });
  StartRegistered();
  AwaitFirstModemPass();

  // The SIM fails: every fifth unusable answer restarts the radio, and an
  // alarm raised meanwhile waits for the module instead of failing.
  ASSERT_EQ(Ctl({"sim", "failure"}).status, 0);
  Await([&] { return ConsoleHas(">send: AT+CFUN=0"); }, "the radio restarted after unusable SIM answers");
  ASSERT_EQ(Ctl({"di", "0", "on"}).status, 0);
  Await([&] { return ConsoleHas(">Module not ready (SIM status 2, registration"); }, "the alarm said to wait");
  EXPECT_EQ(Sent("Door open"), 0);
  const auto back = Clock::now();
  ASSERT_EQ(Ctl({"sim", "ready"}).status, 0);
  Await([&] { return Sent("Door open") == 2; }, "the alarm to both phones once the SIM is back");
  EXPECT_TRUE(ConsoleHas(">Module ready again: waiting jobs go on"));
  Figure("SIM failure: alarm sent to 2 of 2 phones " + std::to_string(SecondsSince(back)) + " s after the SIM was back");

  // Three refusals in a row: the first number's tries are spaced 10 s and
  // 30 s, then it is given up and the second number still hears of it.
  ASSERT_EQ(Ctl({"sms-fail", "3"}).status, 0);
  const size_t mark = Output().size();
  const auto fired = Clock::now();
  ASSERT_EQ(Ctl({"di", "1", "on"}).status, 0);
  Await([&] { return Sent("Gate open") == 1; }, "the second number served after the first was given up", 150);
  const std::string console = ConsoleFrom(mark);
  EXPECT_NE(console.find(">SMS to 0911111111 failed, tried again in 10 s (try 2 of 3)"), std::string::npos);
  EXPECT_NE(console.find(">SMS to 0911111111 failed, tried again in 30 s (try 3 of 3)"), std::string::npos);
  EXPECT_NE(console.find(">SMS to 0911111111 given up after 3 tries"), std::string::npos) << console;
  const std::string outbox = Ctl({"outbox"}).out;
  EXPECT_EQ(Count(outbox, "\"number\":\"0911111111\",\"coding\":\"gsm7\",\"text\":\"Gate open\""), 3) << outbox;
  EXPECT_EQ(Count(outbox, "(sms-fail)"), 3) << outbox;
  EXPECT_EQ(Count(outbox, "\"result\":\"accepted\""), 3) << outbox;  // the door twice, the gate once
  Figure("three refusals: second number served " + std::to_string(SecondsSince(fired)) + " s after the alarm");
}

// Alarms raised while the network is lost wait in the queue; what finds it
// full is said on the console, and everything queued goes out once the
// network is back.
TEST_F(FaultE2eTest, AlarmsWaitForTheNetworkAndAFullQueueSaysWhatItDrops) {
  WriteConfig([] {
    for (int n = 0; n < 9; ++n) {
      OrvelEvent& ev = orvel_event[n];
      ev.is_event_enable = 1;
      if (n < 5) {
        ev.di[n] = DiConfig{1, 4, 50, 300, 0};
      } else {
        ev.ai[n - 5] = AiConfig{1, 1, 50, 300, 5.0, 0.0};
      }
      Phones(ev, {"0911111111"});
      std::snprintf(ev.msg, kMsgSize, "Alarm %d", n);
    }
  });
  StartRegistered();
  AwaitFirstModemPass();
  ASSERT_EQ(Ctl({"net", "none"}).status, 0);
  AwaitState([](const std::string& s) { return Member(s, "registration") != "\"home\""; }, "registration lost");

  // Three rounds of nine alarms: 27, of which the queue keeps 17.
  auto all = [&](bool on) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Ctl({"di", std::to_string(i), on ? "on" : "off"}).status, 0);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(Ctl({"ai", std::to_string(i), on ? "7.5" : "0"}).status, 0);
  };
  auto raised = [&] { return Count(Output(), ">res of sms_event_put() = "); };
  for (int round = 1; round <= 3; ++round) {
    // An input re-arms once the checker has seen it off for its reset time,
    // which it looks at after the 2 s pause that follows each alarm: the
    // inputs stay off for 3 s, and go off and on again should the checker
    // have been too slow to see it.
    for (int attempt = 0; attempt < 3 && raised() < 9 * round; ++attempt) {
      all(false);
      usleep(3000 * 1000);
      all(true);
      WaitFor([&] { return raised() >= 9 * round; }, 60);
    }
    ASSERT_EQ(raised(), 9 * round) << Output();
  }
  const std::string console = Output();
  EXPECT_EQ(Count(console, ">SMS queue full (17 jobs waiting): message for 1 number(s) dropped, first 0911111111"), 10)
      << console;
  EXPECT_NE(console.find(">Module not ready (SIM status 0, registration "), std::string::npos);
  EXPECT_EQ(Count(Ctl({"outbox"}).out, "\"number\""), 0);

  const auto back = Clock::now();
  ASSERT_EQ(Ctl({"net", "home"}).status, 0);
  Await([&] { return Count(Ctl({"outbox"}).out, "\"result\":\"accepted\"") == 17; }, "the 17 queued alarms sent", 180);
  Figure("27 alarms while the network was lost: 17 sent (" + std::to_string(SecondsSince(back)) +
         " s after it came back), 10 dropped and named on the console, 0 duplicates");
  EXPECT_EQ(Count(Ctl({"outbox"}).out, "\"number\""), 17);
}

// Packet data that fails and comes back; garbage, binary bytes and a 10 kB
// line on the terminal while the bridge serves it.
TEST_F(FaultE2eTest, PacketDataFailsAndComesBackAndTheTerminalSurvivesGarbage) {
  WriteConfig([] {
    sys_config.cIsUart2SMS = 1;
    std::snprintf(sys_config.UartPhone, kPhoneSize, "0987654321");
  });
  StartRegistered();
  AwaitState([](const std::string& s) { return Blinks(s, "status", 500, 500); }, "packet data up (500/500)");

  ASSERT_EQ(Ctl({"qmi", "fail"}).status, 0);
  AwaitState([](const std::string& s) { return Blinks(s, "status", 900, 100); }, "packet data down (900/100)");
  const auto back = Clock::now();
  ASSERT_EQ(Ctl({"qmi", "up"}).status, 0);
  AwaitState([](const std::string& s) { return Blinks(s, "status", 500, 500); }, "packet data up again");
  Figure("packet data back " + std::to_string(SecondsSince(back)) + " s after the service answered again");

  ASSERT_TRUE(WaitFor([&] { return Term({"++InitPin"}, 2) == "++InitPin;OK;0\\r\\n\n"; })) << Output();
  const int fd = open((root_ + "/term").c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios raw{};
  ASSERT_EQ(tcgetattr(fd, &raw), 0);
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &raw), 0);
  std::mt19937 random(806);
  std::string binary(4096, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  const size_t mark = Output().size();
  for (const std::string& junk : {std::string(10240, 'A') + "\r\n", binary, std::string("+++") + std::string(5000, 'x')}) {
    ASSERT_EQ(write(fd, junk.data(), junk.size()), static_cast<ssize_t>(junk.size()));
    usleep(300 * 1000);  // each its own frame
  }
  close(fd);
  Await([&] { return ConsoleHas(">Err01: SMS Content size is over 160!!", mark); }, "the long +++ line refused");
  EXPECT_TRUE(ConsoleHas(">Err02: Command format error!!", mark));
  // The bridge still serves the line, and nothing of the garbage was sent.
  ASSERT_TRUE(WaitFor([&] { return Term({"+++after garbage"}, 5) == "after garbage\n"; })) << Output();
  Await([&] { return OutboxHas(R"("number":"0987654321","coding":"gsm7","text":"after garbage")"); }, "the line sent");
  EXPECT_EQ(Count(Ctl({"outbox"}).out, "\"number\""), 1) << Ctl({"outbox"}).out;
  EXPECT_TRUE(Alive(firmware_pid_));
}

// The module goes away for a minute while an alarm fires: the alarm waits
// and goes out once the module is back (SIM ready, registered again).
TEST_F(FaultE2eTest, ModuleGoneForAMinuteWhileAnAlarmFires) {
  WriteConfig([] {
    OrvelEvent& ev = orvel_event[0];
    ev.is_event_enable = 1;
    ev.di[0] = DiConfig{1, 4, 50, 300, 0};
    Phones(ev, {"0911111111", "0922222222"});
    std::snprintf(ev.msg, kMsgSize, "Door open");
  });
  StartRegistered();
  AwaitFirstModemPass();
  ASSERT_EQ(Ctl({"module", "gone", "60"}).status, 0);
  const auto gone = Clock::now();
  ASSERT_EQ(Ctl({"di", "0", "on"}).status, 0);
  Await([&] { return ConsoleHas(">Module not ready (SIM status 2, registration "); }, "the alarm said to wait");
  Await([&] { return Member(State(), "gone_ms") == "0"; }, "the module back", 120);
  const double back = SecondsSince(gone);
  Await([&] { return Sent("Door open") == 2; }, "the alarm to both phones after the module came back", 120);
  EXPECT_TRUE(ConsoleHas(">Module ready again: waiting jobs go on"));
  EXPECT_TRUE(ConsoleHas(">Module restarted: GPS switched on again")) << Output();
  EXPECT_EQ(Count(Ctl({"outbox"}).out, "\"number\""), 2) << Ctl({"outbox"}).out;
  Figure("module gone 60 s: alarm sent to 2 of 2 phones, 0 duplicates, the last " +
         std::to_string(SecondsSince(gone) - back) + " s after the module came back");
}

// The card goes while the AT log is written, and comes back: the lost
// records are said once, and the log goes on where it was.
TEST_F(FaultE2eTest, CardRemovedWhileLoggingAndPutBack) {
  dir_.Write("root/APP/log.ini", "@LOGEN;1\r\n");
  StartRegistered();
  Await([&] { return !LogToday("AT_CMD_LOG").empty(); }, "the AT-command log");
  const size_t mark = Output().size();
  ASSERT_EQ(Ctl({"sd", "remove"}).status, 0);
  Await([&] { return ConsoleHas(">Cannot write /media/card/", mark); }, "the lost records said");
  EXPECT_EQ(Count(ConsoleFrom(mark), ">Cannot write "), 1) << ConsoleFrom(mark);
  const auto inserted = Clock::now();
  ASSERT_EQ(Ctl({"sd", "insert"}).status, 0);
  const size_t size = LogToday("AT_CMD_LOG").size();
  Await([&] { return ConsoleHas(">The SD card takes log records again.", mark); }, "the card taking records again");
  Await([&] { return LogToday("AT_CMD_LOG").size() > size; }, "new AT records on the card");
  Figure("card removed while logging: records again " + std::to_string(SecondsSince(inserted)) +
         " s after the card was back");
  EXPECT_TRUE(Alive(firmware_pid_));
}

// The clock jumps a day forward and back: the daily report goes out once
// per period, and an input alarm raised across the jumps is not lost.
TEST_F(FaultE2eTest, ClockJumpsADayForwardAndBackWithoutASecondReport) {
  const time_t due = time(nullptr) + 40;
  struct tm tm {};
  localtime_r(&due, &tm);
  WriteConfig([&] {
    OrvelEvent& report = orvel_event[3];
    report.is_event_enable = 1;
    report.auto_report.cIsEnable = 1;
    report.auto_report.report_days = 1;
    std::strftime(report.auto_report.report_HMS, sizeof report.auto_report.report_HMS, "%H%M%S", &tm);
    report.cIsNewUtilitySet = 1;
    Phones(report, {"0944444444"});
    OrvelEvent& door = orvel_event[0];
    door.is_event_enable = 1;
    door.di[0] = DiConfig{1, 4, 5000, 300, 0};  // held 5 s across a jump
    Phones(door, {"0911111111"});
    std::snprintf(door.msg, kMsgSize, "Door open");
  });
  StartRegistered();
  auto reports = [&] { return Count(Ctl({"outbox"}).out, "\"text\":\"CRPT"); };
  Await([&] { return reports() == 1; }, "the report at its time", 120);

  // A day on, less 20 s: the next report is due 20 s later, and goes once.
  ASSERT_EQ(Ctl({"di", "0", "on"}).status, 0);
  ASSERT_EQ(Ctl({"clock", "jump", "+86380"}).status, 0);
  Await([&] { return reports() == 2; }, "the next day's report after the jump forward", 120);
  Await([&] { return Sent("Door open") == 1; }, "the door alarm held across the jump", 60);

  // Back by a minute: the report time passes again, and nothing is sent.
  const size_t mark = Output().size();
  ASSERT_EQ(Ctl({"clock", "jump", "-60"}).status, 0);
  Await([&] { return ConsoleHas(">Clock is behind the report schedule", mark); }, "the report said to wait", 60);
  ASSERT_EQ(Ctl({"di", "0", "off"}).status, 0);
  // The report time comes round again within a minute of the jump back.
  const auto back = Clock::now();
  ASSERT_FALSE(WaitFor([&] { return reports() > 2; }, 80)) << Ctl({"outbox"}).out;
  Figure("clock a day forward and 1 min back: 2 reports for 2 periods (none twice), door alarm sent once; watched " +
         std::to_string(SecondsSince(back)) + " s after the jump back");
}

// Against the realistic module (answers in pieces, one confirmation in eight
// late, a busy SIM after power-up, unsolicited lines) every alarm handed to
// the queue reaches the outbox at least once; a late confirmation makes the
// specified resend, counted here as a duplicate.
TEST_F(FaultE2eTest, RealisticModuleDeliversEveryAlarmAtLeastOnce) {
  WriteConfig([] {
    for (int n = 0; n < 4; ++n) {
      OrvelEvent& ev = orvel_event[n];
      ev.is_event_enable = 1;
      ev.di[n] = DiConfig{1, 4, 50, 300, 0};
      Phones(ev, {"0911111111", "0922222222"});
      std::snprintf(ev.msg, kMsgSize, "Alarm %d", n);
    }
  });
  StartRegistered({"--realistic=7"});
  AwaitFirstModemPass();
  for (int i = 0; i < 4; ++i) ASSERT_EQ(Ctl({"di", std::to_string(i), "on"}).status, 0);
  Await([&] { return Count(Output(), ">res of sms_event_put() = ") == 4; }, "four alarms queued", 60);
  const auto fired = Clock::now();
  // Accepted messages of each alarm to each phone.
  auto accepted = [&](std::vector<int>* per_pair) {
    const std::string outbox = Ctl({"outbox"}).out;
    per_pair->assign(8, 0);
    std::istringstream lines(outbox);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\"result\":\"accepted\"") == std::string::npos) continue;
      for (int pair = 0; pair < 8; ++pair) {
        const std::string phone = pair % 2 == 0 ? "0911111111" : "0922222222";
        (*per_pair)[pair] += line.find("\"number\":\"" + phone + "\"") != std::string::npos &&
                             line.find("\"text\":\"Alarm " + std::to_string(pair / 2) + "\"") != std::string::npos;
      }
    }
  };
  std::vector<int> per_pair;
  Await([&] {
    accepted(&per_pair);
    return std::count(per_pair.begin(), per_pair.end(), 0) == 0;
  }, "every alarm to both phones in the outbox", 300);
  const int messages = std::accumulate(per_pair.begin(), per_pair.end(), 0);
  Figure("realistic module, seed 7: 4 alarms to 2 phones, 8 messages due, " + std::to_string(messages) +
         " accepted (" + std::to_string(messages - 8) + " duplicates from late confirmations), " +
         std::to_string(Count(Output(), ">late +CMGS")) + " late confirmations, " +
         std::to_string(Count(Output(), ">send: AT+CFUN=0")) + " radio restarts, all out " +
         std::to_string(SecondsSince(fired)) + " s after the last alarm");
}

}  // namespace e2e
