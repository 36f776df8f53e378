#pragma once

#include <cstddef>
#include <string>

// Conversion between GBK (the bytes of every text below the user interface and in every file)
// and UTF-8 (the user interface, the host's output). glibc iconv reports bad bytes, so they
// can be handled instead of turning silently into other characters.
namespace TextCodec {

// GBK to UTF-8. A double-byte character cut off at the end of the text is dropped; any other
// byte that is not GBK becomes U+FFFD.
std::string GbkToUtf8(const std::string& gbk);
// UTF-8 to GBK; a character without a GBK form becomes '?'.
std::string Utf8ToGbk(const std::string& utf8);
// True when the text is well-formed GBK (no cut character at the end).
bool IsValidGbk(const std::string& gbk);
// The longest prefix of at most maxBytes bytes that does not end inside a double-byte
// character.
std::string CutGbk(const std::string& gbk, std::size_t maxBytes);

} // namespace TextCodec
