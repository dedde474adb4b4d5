#include "sim/json.h"

#include <gtest/gtest.h>

namespace {

using sim::Json;

TEST(Json, PrettyAndCompact) {
  Json led = Json::Object();
  led.Set("on", true).Set("on_ms", Json(int64_t{900})).Set("off_ms", Json());
  Json s = Json::Object();
  s.Set("di", Json::Array().Add(0).Add(1));
  s.Set("led", led);
  s.Set("ai", Json::Array().Add(2.5).Add(-0.125));
  s.Set("empty", Json::Object());
  s.Set("qmi", "up");
  s.Set("di", Json::Array().Add(1).Add(1));  // set again: replaced in place

  EXPECT_EQ(s.Dump(false),
            R"({"di":[1,1],"led":{"on":true,"on_ms":900,"off_ms":null},"ai":[2.5,-0.125],"empty":{},"qmi":"up"})");
  EXPECT_EQ(s.Dump(),
            "{\n"
            "  \"di\": [1, 1],\n"
            "  \"led\": {\n"
            "    \"on\": true,\n"
            "    \"on_ms\": 900,\n"
            "    \"off_ms\": null\n"
            "  },\n"
            "  \"ai\": [2.5, -0.125],\n"
            "  \"empty\": {},\n"
            "  \"qmi\": \"up\"\n"
            "}");
}

TEST(Json, StringsAreEscaped) {
  struct Row {
    std::string in;
    const char* out;
  };
  const Row rows[] = {
      {"plain", R"("plain")"},
      {"say \"hi\"", R"("say \"hi\"")"},
      {"back\\slash", R"("back\\slash")"},
      {"line\r\nend\t", R"("line\r\nend\t")"},
      {std::string("nul\0bell\a", 9), R"("nul\u0000bell\u0007")"},
      {"\x1b[0m", R"("\u001b[0m")"},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},  // UTF-8 passes through
  };
  for (const auto& r : rows) EXPECT_EQ(Json(r.in).Dump(), r.out);
}

}  // namespace
