// Pulse counters, sample by sample with the time given by hand: the edges
// and the 25 ms rule, the alarm latch and its save, the wrap, the 30 s save.

#include <cstdio>
#include <cstring>
#include <vector>

#include "event/pulse_counter.h"
#include "event_test_env.h"

namespace {

class PulseCounterTest : public eventtest::EventTest {
 protected:
  // Event e counts DI c with type `type` (1 NC_PULSE, 2 NO_PULSE).
  void Count(int e, int c, uint8_t type) { orvel_event[e].di[c] = DiConfig{1, type, 0, 0, 1}; }
  // A counter whose start levels are all `level`; alarms fire nothing.
  PulseCounter Started(uint8_t level) {
    PulseCounter counter([](int) {});
    const uint8_t levels[kDiCount] = {level, level, level, level, level};
    counter.Scan(levels);
    return counter;
  }
};

// "ON", "OFF" and "+N" (counted, new count N) as console lines of DI c.
std::string Lines(int c, const std::vector<std::string>& tokens) {
  std::string out;
  for (const std::string& t : tokens) {
    if (t[0] == '+') {
      out += ">NO_DI(" + std::to_string(c) + ") Counter: " + t.substr(1) + "\r\n";
    } else {
      out += ">Counter: DI(" + std::to_string(c) + ")_" + t + "!!\r\n";
    }
  }
  return out;
}

TEST_F(PulseCounterTest, EdgesAndTheMinimumPulseLength) {
  struct Sample {
    uint8_t level;
    uint32_t ms;
  };
  struct Row {
    const char* what;
    uint8_t type, start;
    std::vector<Sample> samples;
    uint32_t count;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"NO_PULSE active at start counts when it ends", 2, 1, {{0, 1000}}, 1, {"OFF", "+1"}},
      {"one 30 ms pulse", 2, 0, {{1, 1000}, {1, 1010}, {0, 1030}, {0, 1040}}, 1, {"ON", "OFF", "+1"}},
      {"OFF at 24 ms waits; a bounce back does not count", 2, 0, {{1, 1000}, {0, 1024}, {1, 1026}}, 0,
       {"ON", "OFF"}},
      {"early OFF counted at the re-check", 2, 0, {{1, 1000}, {0, 1010}, {0, 1025}}, 1,
       {"ON", "OFF", "OFF", "+1"}},
      {"a bounce inside a pulse keeps its start", 2, 0, {{1, 1000}, {0, 1005}, {1, 1008}, {0, 1030}}, 1,
       {"ON", "OFF", "OFF", "+1"}},
      {"NC_PULSE counts a low pulse", 1, 1, {{0, 1000}, {1, 1040}, {0, 2000}, {1, 2040}}, 2,
       {"ON", "OFF", "+1", "ON", "OFF", "+2"}},
      {"failed reads are no level", 2, 0, {{255, 1000}, {1, 1010}, {255, 1050}, {0, 1060}}, 1, {"ON", "OFF", "+1"}},
      {"no start level: the first good read is it", 2, 255, {{0, 1000}, {1, 1010}, {0, 1040}}, 1,
       {"ON", "OFF", "+1"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Count(7, 3, row.type);
    sys_config.counter_status[3] = 0;
    PulseCounter counter = Started(row.start);
    testsupport::ConsoleCapture console;
    for (const Sample& s : row.samples) counter.Sample(3, s.level, s.ms);
    EXPECT_EQ(sys_config.counter_status[3].load(), row.count);
    EXPECT_EQ(console.Text(), Lines(3, row.lines));
  }
}

TEST_F(PulseCounterTest, AlarmAtThePresetFiresOnceAndQueuesTheSms) {
  orvel_event[4].di[1].cIsCounter = 1;  // neither enabled nor a counting type:
  orvel_event[9].di[1].cIsCounter = 1;  // the alarm check does not ask
  orvel_event[4].phone_n_now = 1;
  std::strcpy(orvel_event[4].phone[0], "0912345678");
  sys_config.uiCounter[1] = 0;
  PulseCounter counter([](int e) { FireEvent(e, nullptr); });
  testsupport::ConsoleCapture console;
  counter.CheckAlarmsAndWrap();
  counter.CheckAlarmsAndWrap();
  sys_config.counter_status[1] = 50;  // a preset by command does not re-arm
  counter.CheckAlarmsAndWrap();
  EXPECT_EQ(sys_config.cIsCounterTriggered[1].load(), 1);
  EXPECT_EQ(sms_event_is_n(), 1);
  const std::string& text = console.Text();
  ASSERT_NE(text.find(">Counter(1) Alarm: Event(4)!!\r\n"), std::string::npos);
  EXPECT_EQ(text.find(">Counter(1) Alarm: Event(4)!!\r\n"), text.rfind(">Counter(1) Alarm:"));
  EXPECT_EQ(text.find("Event(9)"), std::string::npos);

  // The latch is in config.ini at once: after a restart it is still set
  // and, without a new pulse, no alarm comes again.
  EXPECT_NE(dir_.Read("APP/config.ini").find("\r\ncIsCounterTriggered=0,1,0,0,0\r\n"), std::string::npos);
  init_orvel_config();
  ASSERT_EQ(read_orvel_config(), 1);
  EXPECT_EQ(sys_config.cIsCounterTriggered[1].load(), 1);
  int fired = 0;
  PulseCounter restarted([&](int) { ++fired; });
  restarted.CheckAlarmsAndWrap();
  EXPECT_EQ(fired, 0);
}

// A latch that config.ini could not take is saved with the next counts.
TEST_F(PulseCounterTest, LatchNotSavedIsSavedAtTheNextPeriod) {
  orvel_event[0].di[2].cIsCounter = 1;
  sys_config.uiCounter[2] = 0;
  dir_.Write("APP/config.ini/in-the-way", "");  // a folder the save cannot replace
  PulseCounter counter([](int) {});
  testsupport::ConsoleCapture console;
  counter.StartSaveTimer(0);
  counter.CheckAlarmsAndWrap();
  EXPECT_NE(console.Text().find(">Save config.ini failed.\r\n"), std::string::npos);
  std::remove((dir_.path() + "/APP/config.ini/in-the-way").c_str());
  std::remove((dir_.path() + "/APP/config.ini").c_str());
  counter.SaveIfDue(30001);
  EXPECT_NE(dir_.Read("APP/config.ini").find("\r\ncIsCounterTriggered=0,0,1,0,0\r\n"), std::string::npos);
}

TEST_F(PulseCounterTest, CountsPastTheMaximumWrapToZero) {
  Count(0, 0, 2);
  sys_config.counter_status[0] = kCounterMax;
  sys_config.counter_status[2] = kCounterMax;
  PulseCounter counter = Started(0);
  testsupport::ConsoleCapture console;
  counter.Sample(0, 1, 1000);
  counter.Sample(0, 0, 1050);
  counter.CheckAlarmsAndWrap();
  EXPECT_EQ(sys_config.counter_status[0].load(), 0u);
  EXPECT_EQ(sys_config.counter_status[2].load(), kCounterMax);
  const std::string& text = console.Text();
  EXPECT_NE(text.find(">NO_DI(0) Counter: 1000000000\r\n"), std::string::npos);
  // Past the default preset (CounterMax): the alarm check comes before the wrap.
  const size_t alarm = text.find(">Counter(0) Alarm: Event(0)!!\r\n");
  ASSERT_NE(alarm, std::string::npos);
  EXPECT_NE(text.find("Counter[0] is over than CounterMax(999999999) value, set as 0.\r\n", alarm), std::string::npos);
}

TEST_F(PulseCounterTest, SavesEveryThirtySecondsOnlyAfterAChange) {
  PulseCounter counter([](int) {});
  counter.StartSaveTimer(0);
  testsupport::ConsoleCapture quiet;
  counter.SaveIfDue(30001);
  EXPECT_FALSE(dir_.Exists("APP/CTStatus.ini"));  // nothing changed

  sys_config.counter_status[2] = 7;
  counter.SaveIfDue(60001);
  EXPECT_FALSE(dir_.Exists("APP/CTStatus.ini"));  // 30000 ms are not more than 30 s
  counter.SaveIfDue(60002);
  EXPECT_EQ(dir_.Read("APP/CTStatus.ini"), "counter_status=0,0,7,0,0\r\n");
  EXPECT_EQ(Compare_Counter_value(), 1);

  // A save that fails is tried again at the next period.
  sys_config.counter_status[2] = 8;
  std::remove((dir_.path() + "/APP/CTStatus.ini").c_str());
  dir_.Write("APP/CTStatus.ini/in-the-way", "");  // a folder the save cannot replace
  counter.SaveIfDue(90003);
  EXPECT_EQ(Compare_Counter_value(), 0);
  std::remove((dir_.path() + "/APP/CTStatus.ini/in-the-way").c_str());
  std::remove((dir_.path() + "/APP/CTStatus.ini").c_str());
  counter.SaveIfDue(120004);
  EXPECT_EQ(dir_.Read("APP/CTStatus.ini"), "counter_status=0,0,8,0,0\r\n");
}

// Only enabled inputs of a counting type count. The thread sleeps until the
// re-check of an early OFF, the save or the alarm check.
TEST_F(PulseCounterTest, ScanAndSleep) {
  orvel_event[1].di[1] = DiConfig{0, 2, 0, 0, 1};  // not enabled
  orvel_event[2].di[2] = DiConfig{1, 4, 0, 0, 1};  // an alarm type
  orvel_event[3].di[3] = DiConfig{1, 2, 0, 0, 0};  // not a counter
  Count(0, 0, 2);
  Count(4, 4, 2);
  Count(9, 4, 1);  // a later event overrides
  PulseCounter counter = Started(0);
  EXPECT_EQ(counter.type(4), PulseCounter::kNcPulse);
  for (int c : {1, 2, 3}) EXPECT_EQ(counter.type(c), PulseCounter::kNotCounted) << c;

  testsupport::ConsoleCapture quiet;
  counter.StartSaveTimer(0);
  EXPECT_EQ(counter.SleepMs(1000), PulseCounter::kAlarmCheckMs);
  EXPECT_EQ(counter.SleepMs(29950), 51);  // the save is due first
  counter.Sample(0, 1, 1000);
  counter.Sample(0, 0, 1010);
  EXPECT_EQ(counter.SleepMs(1010), 15);
  EXPECT_EQ(counter.SleepMs(1030), 0);
  counter.Sample(0, 1, 1030);  // back ON: no re-check
  EXPECT_EQ(counter.SleepMs(1030), PulseCounter::kAlarmCheckMs);
}

}  // namespace
