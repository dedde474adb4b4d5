// The layout of the report is checked with the board's state report
// (compact) and end to end (pretty, as `ctl state` prints it).
#include "sim/json.h"

#include <gtest/gtest.h>

namespace {

using sim::Json;

TEST(Json, MembersAndEscapes) {
  Json s = Json::Object();
  s.Set("di", Json::Array().Add(0)).Set("qmi", "up").Set("di", Json::Array().Add(1).Add(1));
  EXPECT_EQ(s.Dump(false), R"({"di":[1,1],"qmi":"up"})");  // set again: replaced in place
  EXPECT_EQ(Json::Object().Set("empty", Json::Object()).Dump(), "{\n  \"empty\": {}\n}");

  const std::pair<std::string, const char*> rows[] = {
      {"say \"hi\"", R"("say \"hi\"")"},
      {"back\\slash", R"("back\\slash")"},
      {"line\r\nend\t", R"("line\r\nend\t")"},
      {std::string("nul\0bell\a", 9), R"("nul\u0000bell\u0007")"},
      {"\x1b[0m", R"("\u001b[0m")"},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},  // UTF-8 passes through
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(Json(in).Dump(), out);
}

}  // namespace
