#include "platform/UText.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace vlm {

namespace {
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = Upper(c);
    return result;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = Lower(c);
    return result;
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
        if (Upper(a[i]) != Upper(b[i]))
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

} // namespace vlm
