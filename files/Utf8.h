#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The length of the well-formed UTF-8 sequence at `at`, with its code point in
// `codePoint`; 0 when the bytes there are not one (a stray byte, a cut
// sequence, an overlong form, a surrogate, or past U+10FFFF).
std::size_t Utf8Sequence(std::string_view text, std::size_t at, uint32_t& codePoint);

// The longest start of `text` of at most `maxBytes` bytes that ends between
// two characters; a byte that begins no sequence counts as one.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);
