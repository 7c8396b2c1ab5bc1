#include "platform/UText.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace vlm {

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = AsciiUpper(c);
    return result;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = AsciiLower(c);
    return result;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigitValue(text[i + 1]);
            const int low = HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

bool StartsText(std::string_view prefix, std::string_view text) {
    return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

size_t FindText(std::string_view text, std::string_view needle, size_t from) {
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i)
        if (SameText(text.substr(i, needle.size()), needle))
            return i;
    return std::string_view::npos;
}

void LocaleNumberSeparators(std::string& decimalSeparator, std::string& thousandSeparator) {
    decimalSeparator = ".";
    thousandSeparator.clear();
    const locale_t numeric = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (numeric == static_cast<locale_t>(0))
        return;
    if (const char* radix = ::nl_langinfo_l(RADIXCHAR, numeric); radix && *radix)
        decimalSeparator = radix;
    if (const char* thousands = ::nl_langinfo_l(THOUSEP, numeric); thousands)
        thousandSeparator = thousands;
    ::freelocale(numeric);
}

namespace {

// The length a UTF-8 lead byte announces (1 for ASCII), or 0 for a byte no sequence starts with.
size_t Utf8LeadLength(unsigned char c) {
    if (c < 0x80)
        return 1;
    if (c < 0xC2 || c > 0xF4)
        return 0;
    return c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

// Whether the byte after lead c may be second: continuation bytes, narrowed where overlong
// forms, surrogates and code points above U+10FFFF would begin.
bool Utf8SecondFits(unsigned char c, unsigned char second) {
    if ((second & 0xC0) != 0x80)
        return false;
    return !((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
             (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F));
}

// How many bytes of text[i...], at most length, fit a sequence that starts there.
size_t Utf8Fitting(std::string_view text, size_t i, size_t length) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    size_t k = 1;
    for (; k < length && i + k < text.size(); ++k)
        if (k == 1 ? !Utf8SecondFits(byte(i), byte(i + 1)) : (byte(i + k) & 0xC0) != 0x80)
            break;
    return k;
}

} // namespace

size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const size_t length = Utf8LeadLength(static_cast<unsigned char>(text[i]));
    return length != 0 && Utf8Fitting(text, i, length) == length ? length : 0;
}

bool IsUtf8(std::string_view text, bool cut) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8LeadLength(static_cast<unsigned char>(text[i]));
        if (length == 0)
            return false;
        const size_t fitting = Utf8Fitting(text, i, length);
        if (fitting != length)
            // A sequence the end of a cut text stops short may be whole in what follows.
            return cut && i + fitting == text.size();
        i += length;
    }
    return true;
}

} // namespace vlm
