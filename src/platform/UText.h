// Small text helpers: ASCII letter case and comparison without regard to it.
#pragma once

#include <string>
#include <string_view>

namespace vlm {

// ASCII letter case: every letter-case rule of the program (masks, file names that differ
// only in case, tag and attribute names) is ASCII's; other bytes are left as they are.
inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
// The value of a hexadecimal digit (either letter case), or -1.
int HexDigitValue(char c);
// Every "%XX" escape of two hexadecimal digits decoded once, left to right, as a browser
// reads an address; a "%" that starts no such escape stays as it is.
std::string PercentDecode(std::string_view text);
bool StartsText(std::string_view prefix, std::string_view text);
// Position of the first occurrence of needle in text without regard to ASCII case, or npos.
size_t FindText(std::string_view text, std::string_view needle, size_t from = 0);

// Whether text[i...] starts a valid UTF-8 sequence; its length, or 0. Overlong forms,
// surrogates and code points above U+10FFFF are not valid: strict parsers refuse them.
size_t Utf8SequenceLength(std::string_view text, size_t i);
// Whether text is valid UTF-8; with cut, a sequence that the end of text cuts short counts
// as valid (text is the start of something longer).
bool IsUtf8(std::string_view text, bool cut = false);

// The decimal and thousands separators of the user's numeric locale (from the
// environment), read without changing the locale of the process. Without a usable locale:
// "." and no thousands separator.
void LocaleNumberSeparators(std::string& decimalSeparator, std::string& thousandSeparator);

} // namespace vlm
