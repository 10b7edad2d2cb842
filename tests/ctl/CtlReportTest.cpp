// ostrelctl's JSON: ASCII alone, whatever text the adapter or a path holds.

#include "ctl/CtlReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JsonText, EveryTextBecomesAnAsciiString) {
  const struct {
    std::string text;
    const char* json;
  } cases[] = {
      {"", R"("")"},
      {"INT7420-MAC-1.1.3", R"("INT7420-MAC-1.1.3")"},
      {"say \"2.3\\1\"", R"("say \"2.3\\1\"")"},
      {"a\tb\r\n", R"("a\u0009b\u000d\u000a")"},
      {"\x7f", R"("\u007f")"},
      {"caf\xc3\xa9", R"("caf\u00e9")"},
      {"\xf0\x9f\x98\x80", R"("\ud83d\ude00")"},
      // A byte that is no UTF-8 stands for the code point of its value.
      {"fw\xff", R"("fw\u00ff")"},
      {std::string("a\0b", 3), R"("a\u0000b")"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(JsonText(c.text).text, c.json) << c.text;
}

} // namespace
