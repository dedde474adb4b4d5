// @EVNT: sets read back as their definition text; refused sets change
// nothing; what a set keeps, clears or leaves alone.
#include <cstring>

#include "cmd_test_env.h"

namespace cmdtest {

TEST_F(CmdTest, EventSetsReadBackAsTheirDefinition) {
  const struct {
    const char* set;
    const char* definition;  // "": the set itself
  } rows[] = {  // (an input event, and @EVNT16 refused: the configuration session end to end)
      {"COUNTER4;NC_PULSE;50;86400000;DO_ALL_ON;86400000;VOICE_ON;SMSDBS_OFF", ""},
      {"AI3;HIGH;300;400;10;DO1_ON;0;VOICE_OFF;SMSDBS_OFF", "AI3;HIGH;300;400;10.000000;DO1_ON;0;VOICE_OFF;SMSDBS_OFF"},
      {"AI0;LOW;300;400;-10;DO0_ON;9;VOICE_OFF;SMSDBS_OFF", "AI0;LOW;300;400;-10.000000;DO0_ON;9;VOICE_OFF;SMSDBS_OFF"},
      {"AI0;HL;200;50;10;-10;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
       "AI0;HL;200;50;10.000000;-10.000000;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF"},
      {"REPORT;31;235959;SMSDBS_ON", "REPORT;31;235959;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_ON"},
      {"REPORT;0;000000;SMSDBS_OFF", "REPORT;0;000000;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF"},
      // Keywords count on their own length within a limit, numbers are read
      // like strtoul, and a trailing ";" carries no field.
      {"DI0;NC;+200;50abc;DO1_ONx;7;VOICE_ONx;SMSDBS_ONx;", "DI0;NC;200;50;DO1_ON;7;VOICE_ON;SMSDBS_ON"},
      {"DAI_NO_USE", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.set);
    EXPECT_EQ(Send(std::string("@EVNT2;") + row.set), Ok("EVNT2"));
    EXPECT_EQ(Send("@EVNT2"), Shows("EVNT2", *row.definition ? row.definition : row.set));
  }
  EXPECT_EQ(Send("@EVNT"), Shows("EVNT", "DAI_NO_USE"));  // no number: event 0
  orvel_event[3].ai[1] = {1, 3, 200, 50, 1e60, -1e60};    // no set stores this: cut at 100 bytes
  EXPECT_EQ(Send("@EVNT3").size(), std::strlen("!QRV-806XK;EVNT3;OK;\r\n") + 99);
  orvel_event[3].iIs_do_on = 4;
  EXPECT_EQ(Send("@EVNT3"), Er("EVNT3"));
}

TEST_F(CmdTest, RefusedEventSetsChangeNothing) {
  ASSERT_EQ(Send("@EVNT2;DI1;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON"), Ok("EVNT2"));
  OrvelEvent before;
  std::memcpy(&before, &orvel_event[2], sizeof before);
  const char* const rows[] = {
      "DI1;NO;49;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "DI1;NO;200;86400001;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "DI1;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON;x",
      "DI1;NO;200;50;DO0_ON;86400001;VOICE_OFF;SMSDBS_ON",
      "DI1;NO;4294967496;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",  // 2^32 + 200 does not wrap to 200
      "DI5;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      // The channel behind the keyword is read as any number behind a name
      // (its rows: NumberBehindTheNameIsPlainDigits).
      "DI+1;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "COUNTER1x;NC_PULSE;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "AI+1;HIGH;200;50;5;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "DI1;NOx;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "DI1;NO;200;50;DO_ALL_OFFX;1;VOICE_OFF;SMSDBS_ON",
      "DI1;NO;200;50;DO2_ON;1000;VOICE_OFF;SMSDBS_ON",
      "DI1;NO;200;50;DO0_ON;1000;SMSDBS_ON;VOICE_OFF",
      "AI4;HIGH;200;50;5;DO0_ON;1000;VOICE_OFF;SMSDBS_ON",
      "AI0;HL;200;50;5;5;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "AI0;HL;200;50;10.5;-10;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "AI0;HIGH;200;50;-10;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "AI0;LOW;200;50;10;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "AI0;HIGH;200;50;nan;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      // Limits are stored with four decimals: checked as they will be kept.
      "AI0;HL;200;50;0.00004;0.00001;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "AI0;LOW;200;50;9.99996;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "REPORT;32;083000;SMSDBS_ON",
      "REPORT;1;235960;SMSDBS_ON",  // the time of day as a report reads it (its rows: TimeTexts)
      "REPORT;1;083000",
      "DAI_NO_USE;x",
      ";",
  };
  for (const char* row : rows) {
    SCOPED_TRACE(row);
    EXPECT_EQ(Send(std::string("@EVNT2;") + row), Er("EVNT2"));
    EXPECT_EQ(std::memcmp(&orvel_event[2], &before, sizeof before), 0);
  }
  std::string line = "@EVNT2;DI1;NO;" + std::string(900, '9');  // a 1000-byte line overruns nothing
  EXPECT_EQ(Send(line + std::string(1000 - line.size(), ';')), Er("EVNT2"));
  EXPECT_EQ(Send("@EVNT18446744073709551618;DAI_NO_USE"), Er("EVNT18446744073709551618"));
}

TEST_F(CmdTest, TriggerSetsKeepPhonesAndDaiNoUseClearsThem) {
  ExpectReplies({
      {"@PHONE5;2;111;222", Ok("PHONE5")},
      {"@MSG5;7BIT;5;Hello", Ok("MSG5")},
      {"@EVNT5;AI2;HIGH;200;50;3;DO1_ON;10;VOICE_ON;SMSDBS_ON", Ok("EVNT5")},
      {"@EVNT5;DI0;NC;300;60;DO0_ON;20;VOICE_OFF;SMSDBS_OFF", Ok("EVNT5")},
      {"@PHONE5", Shows("PHONE5", "2;111;222")},
      {"@MSG5", Shows("MSG5", "7BIT;5;Hello")},
  });
  const OrvelEvent& ev = orvel_event[5];
  EXPECT_EQ(ev.ai[2].cIsEnable + ev.ai[2].cType, 0);  // the AI trigger is gone whole
  EXPECT_EQ(ev.ai[2].fAI_high, 10.0);
  ExpectReplies({{"@EVNT5;DAI_NO_USE", Ok("EVNT5")}});
  OrvelEvent cleared{};
  std::memcpy(&cleared, &orvel_event[6], sizeof cleared);  // an untouched factory event
  EXPECT_EQ(std::memcmp(&ev, &cleared, sizeof ev), 0);
  EXPECT_EQ(event_status[5].ulNextReportTimeSt, static_cast<uint32_t>(cmdtest::kNowSeconds));
}

// Sent again unchanged, a report keeps its schedule (cIsNewUtilitySet as it
// was); any change asks for a fresh one.
TEST_F(CmdTest, RepeatedReportKeepsItsSchedule) {
  const OrvelEvent& ev = orvel_event[7];
  // A free event holds the report defaults (daily at 000000): asking for
  // exactly those must still make it a report.
  ExpectReplies({{"@EVNT7;REPORT;1;000000;SMSDBS_OFF", Ok("EVNT7")},
                 {"@EVNT7", Shows("EVNT7", "REPORT;1;000000;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF")}});
  orvel_event[7].cIsNewUtilitySet = 0;  // as after the start-up used it
  std::string console;
  EXPECT_EQ(Send("@EVNT7;REPORT;1;000000;SMSDBS_OFF", &console), Ok("EVNT7"));
  EXPECT_NE(console.find("Report Parameters not change.\r\n"), std::string::npos);
  EXPECT_EQ(ev.cIsNewUtilitySet, 0);
  for (const char* change : {"2;000000;SMSDBS_OFF", "2;000001;SMSDBS_OFF", "2;000001;SMSDBS_ON"}) {
    SCOPED_TRACE(change);
    orvel_event[7].cIsNewUtilitySet = 0;
    EXPECT_EQ(Send(std::string("@EVNT7;REPORT;") + change), Ok("EVNT7"));
    EXPECT_EQ(ev.cIsNewUtilitySet, 1);
  }
}

}  // namespace cmdtest
