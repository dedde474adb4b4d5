// The host tools' reading of answers and of backup files, and the restore's
// stop at the first refused line, against a unit played by a table.
#include <gtest/gtest.h>

#include <map>

#include "tools/unit/settings_backup.h"
#include "tools/unit/unit_reply.h"

namespace unitlink {
namespace {

TEST(UnitReply, TakesAnswersApart) {
  struct Case {
    const char* request;
    const char* raw;
    ReplyKind kind;
    const char* values;  // joined by ";"
  };
  const Case cases[] = {
      {"@STAN", "!SITE-7;STAN;OK;SITE-7\r\n", ReplyKind::kOk, "SITE-7"},
      {"@EVNT3;DI1;NO;200;50;DO0_ON;0;VOICE_OFF;SMSDBS_OFF", "!X;EVNT3;OK\r\n", ReplyKind::kOk, ""},
      {"@EVNT3", "!X;EVNT3;ER\r\n", ReplyKind::kEr, ""},
      {"@MSG0", "!X;MSG0;OK;7BIT;5;a;b;c\r\n", ReplyKind::kOk, "7BIT;5;a;b;c"},
      {"@EVNT3", "!X;EVNT4;OK\r\n", ReplyKind::kForeign, ""},  // an answer to another request
      {"@STAN", "Err02\r\n", ReplyKind::kForeign, ""},         // the bridge of normal mode
      {"@STAN", "!X;STAN;OK", ReplyKind::kForeign, ""},        // cut short
      {"@STAN", "", ReplyKind::kNone, ""},
  };
  for (const Case& c : cases) {
    const UnitReply r = ParseReply(c.request, c.raw);
    EXPECT_EQ(r.kind, c.kind) << c.request << " " << c.raw;
    EXPECT_EQ(r.ValuesFrom(0), c.values) << c.raw;
  }
}

TEST(BackupFile, RefusesWhatARestoreMustNotSend) {
  struct Case {
    const char* text;
    bool keep_name;
    const char* requests_or_error;  // requests joined by "|", or the error's start
  };
  const Case cases[] = {
      {"# c\n\n@STAN;A\r\n  # indented comment\n@PHONE0;0\n", false, "@STAN;A|@PHONE0;0"},
      {"@STAN;A\n@PHONE0;0\n", true, "@PHONE0;0"},
      {"@STAN;A\nSTAN;B\n", false, "line 2: a request starts with \"@\""},
      {"@STAN;A\n@SAVE\n", false, "line 2: @SAVE does not belong"},
      {"@REBOOT\n", false, "line 1: @REBOOT does not belong"},
      {"@MSG0;7BIT;3;a\tb\n", false, "line 1: holds a control character"},
      {"# only comments\n", false, "the file holds no request"},
  };
  for (const Case& c : cases) {
    std::vector<RestoreLine> lines;
    std::string error;
    const bool ok = ParseBackup(c.text, c.keep_name, &lines, &error);
    std::string got;
    for (const RestoreLine& l : lines) got += (got.empty() ? "" : "|") + l.request;
    EXPECT_EQ(ok ? got : error.substr(0, std::string(c.requests_or_error).size()), c.requests_or_error) << c.text;
  }
  std::vector<RestoreLine> lines;
  std::string error;
  EXPECT_FALSE(ParseBackup("@MSG0;7BIT;1;" + std::string(1000, 'a') + "\n", false, &lines, &error));
}

// A unit that answers OK to everything but the requests in `refuse`.
AskFn FakeUnit(std::vector<std::string>* sent, const std::string& refuse) {
  return [sent, refuse](const std::string& request) {
    sent->push_back(request);
    const std::string cmd = request.substr(1, request.find(';') - 1);
    return ParseReply(request, "!U;" + cmd + (request == refuse ? ";ER\r\n" : ";OK\r\n"));
  };
}

TEST(Restore, StopsAtTheFirstRefusedLineAndSavesOnlyWhenAllPassed) {
  const std::vector<RestoreLine> lines = {{2, "@STAN;A"}, {4, "@EVNT3;DI9"}, {5, "@PHONE3;0"}};
  std::vector<std::string> sent;
  RestoreResult r = Restore(FakeUnit(&sent, "@EVNT3;DI9"), lines);
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(sent, (std::vector<std::string>{"@STAN;A", "@EVNT3;DI9"}));
  EXPECT_EQ(r.error.rfind("line 4 (@EVNT3;DI9): the unit answered ER", 0), 0u) << r.error;

  sent.clear();
  r = Restore(FakeUnit(&sent, ""), lines);
  EXPECT_TRUE(r.saved);
  EXPECT_EQ(sent.back(), "@SAVE");
  EXPECT_EQ(sent.size(), 4u);
}

// What the protocol cannot set as the unit holds it goes into the file as a
// comment, so that the restore of the file still passes.
TEST(BackupFile, WritesWhatCannotBeCarriedAsComments) {
  UnitSettings s;
  s.model = "QRV-806XK";
  s.bridge_port = "115200;N;8;1;OFF";
  s.counters[0] = {999999995, 999999999};  // within 10 of its preset
  s.counters[1] = {0, 5};                  // a preset below 10
  s.events[4].coding = "7BIT";
  s.events[4].length = 3;
  s.events[4].message = "a;b";
  const std::string text = BackupText(s, "2026-12-07 10:00:00");
  std::vector<RestoreLine> lines;
  std::string error;
  ASSERT_TRUE(ParseBackup(text, false, &lines, &error)) << error;
  std::string requests;
  for (const RestoreLine& l : lines) requests += l.request + "\n";
  for (const char* carried : {"@ACTV0;0;999999999\n", "@MSG4;(CLR)\n" /* absent */, "@UARTSET;115200;N;8;1;OFF\n"}) {
    EXPECT_EQ(requests.find(carried) != std::string::npos, std::string(carried) != "@MSG4;(CLR)\n") << carried;
  }
  for (const char* comment : {"# not carried: @STAN;\n", "# not carried: @ACTV1;0;5\n",
                              "# not carried: @MSG4;7BIT;3;a;b\n", "# date: 2026-12-07 10:00:00\n"}) {
    EXPECT_NE(text.find(comment), std::string::npos) << comment << text;
  }
}

}  // namespace
}  // namespace unitlink
