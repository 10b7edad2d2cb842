#include "files/Utf8.h"

std::size_t Utf8Sequence(std::string_view text, std::size_t at, uint32_t& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || text.size() - at < length)
    return 0;
  uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80)
      return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
      (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
    return 0;
  codePoint = value;
  return length;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    uint32_t codePoint = 0;
    const std::size_t length = Utf8Sequence(text, end, codePoint);
    const std::size_t step = length == 0 ? 1 : length;
    if (step > maxBytes - end)
      break;
    end += step;
  }
  return text.substr(0, end);
}
