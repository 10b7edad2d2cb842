// Text cut to a size: never inside a character.

#include "files/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8Prefix, CutsBetweenCharactersOnly) {
  const struct {
    const char* text;
    std::size_t maxBytes;
    const char* kept;
  } cases[] = {
      {"abc", 5, "abc"},
      {"abc", 2, "ab"},
      {"abc", 0, ""},
      {"J\xC3\xB6s\xC3\xA9", 6, "J\xC3\xB6s\xC3\xA9"},
      {"J\xC3\xB6s\xC3\xA9", 5, "J\xC3\xB6s"},
      {"a\xE6\x97\xA5", 3, "a"},
      {"a\xF0\x9F\x92\xBE", 4, "a"},
      {"a\xF0\x9F\x92\xBE", 5, "a\xF0\x9F\x92\xBE"},
      {"a\xFF\xFF", 2, "a\xFF"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(std::string(Utf8Prefix(c.text, c.maxBytes)), c.kept) << c.text << " " << c.maxBytes;
}

} // namespace
