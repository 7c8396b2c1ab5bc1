#include "pipeline/UMasks.h"

#include "platform/UPaths.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace vlm {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return pos;
}

// A quoted item starting at the quote; pos ends after the closing quote (or at the end of
// an unterminated one).
std::string QuotedItem(std::string_view text, size_t& pos) {
    std::string item;
    ++pos;
    while (pos < text.size()) {
        if (text[pos] == '"') {
            if (pos + 1 < text.size() && text[pos + 1] == '"') {
                item += '"';
                pos += 2;
                continue;
            }
            ++pos;
            return item;
        }
        item += text[pos++];
    }
    return item;
}

// Masks name folders with "/" or "\" alike (the options dialog's own example is
// "temp\*.*"): both become the platform's delimiter.
std::string WithPathDelims(std::string_view mask) {
    std::string text(mask);
    for (char& c : text)
        if (c == '\\' || c == '/')
            c = PathDelim;
    return text;
}

std::string ConvertItem(const std::string& mask) {
    const std::string item = WithPathDelims(mask);
    if (!item.empty() && (item[0] == '*' || item[0] == '?'))
        return item;
    if (!item.empty() && item[0] == PathDelim)
        return "*" + item;
    if (!ExtractFileDrive(item).empty())
        return item;
    return std::string("*") + PathDelim + item;
}

std::string EngineMessage(int code) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0)
        return "error " + std::to_string(code);
    return reinterpret_cast<const char*>(buffer);
}

// A message quotes at most the start of a long expression: thousands of masks make one
// of many kilobytes.
std::string Quoted(std::string_view text) {
    constexpr size_t Shown = 200;
    if (text.size() <= Shown)
        return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, Shown)) + "...\" (" + std::to_string(text.size()) +
           " characters)";
}

} // namespace

std::vector<std::string> SplitMaskList(std::string_view list) {
    std::string text(list);
    for (char& c : text)
        if (c == ';')
            c = ',';
    std::vector<std::string> items;
    // An empty item (a comma too many, empty quotes) names no file: as a mask it would be
    // the folder delimiter alone and match every path, so a trailing comma in an exclude
    // list would leave out the whole site. Empty items are dropped.
    const auto add = [&items](std::string item) {
        if (!item.empty())
            items.push_back(std::move(item));
    };
    size_t pos = SkipBlanks(text, 0);
    while (pos < text.size()) {
        if (text[pos] == '"') {
            add(QuotedItem(text, pos));
        } else {
            const size_t start = pos;
            while (pos < text.size() && text[pos] != ',' && !IsBlank(text[pos]))
                ++pos;
            add(text.substr(start, pos - start));
        }
        pos = SkipBlanks(text, pos);
        if (pos < text.size() && text[pos] == ',')
            pos = SkipBlanks(text, pos + 1);
    }
    return items;
}

std::string ConvertMasks(std::string_view list) {
    std::string lines;
    for (const std::string& item : SplitMaskList(list))
        lines += ConvertItem(item) + "\r\n";
    return lines;
}

std::string ConvertMasks(std::string_view list, std::string_view root) {
    std::string lines;
    for (const std::string& item : SplitMaskList(list))
        lines += MaskLine(item, root) + "\r\n";
    return lines;
}

std::string MaskLine(std::string_view item, std::string_view root) {
    return std::string(root) + WithPathDelims(item);
}

std::string MaskToExpression(std::string_view text) {
    const std::string mask = WithPathDelims(text);
    if (mask == "*" || mask == "*.*")
        return "(.*)";
    std::string t;
    size_t i = 0;
    if (mask.empty() || mask[0] == '*' || mask[0] == '?') {
        t = "(";
    } else {
        t = std::string("((^[") + mask[0] + "])";
        i = 1;
    }
    for (; i < mask.size(); ++i) {
        const char c = mask[i];
        if (c == '*')
            t += ".*";
        else if (c == '?')
            t += i == 0 ? "(^.)" : ".?";
        else if (c == '.' || c == '\\')
            t += std::string("\\") + c;
        else
            t += c;
    }
    return t + ")";
}

struct TRegExpr::TCompiled {
    pcre2_code* Code = nullptr;
    pcre2_match_data* MatchData = nullptr;
    ~TCompiled() {
        pcre2_match_data_free(MatchData);
        pcre2_code_free(Code);
    }
};

TRegExpr::TRegExpr(std::string listName) : FListName(std::move(listName)) {}

TRegExpr::~TRegExpr() = default;

void TRegExpr::SetExpression(std::string_view expression) {
    FExpression = std::string(expression);
    FHasExpression = !FExpression.empty();
    FCompiled.reset();
}

std::string TRegExpr::ListText() const {
    return FListName.empty() ? "The mask list" : "The mask list " + FListName;
}

void TRegExpr::Compile() {
    const std::string list = ListText();
    if (!FHasExpression)
        throw ERegExprError(list + " is empty: every file that link discovery finds is "
                                   "tested against it, so it needs at least one mask");
    int code = 0;
    PCRE2_SIZE offset = 0;
    auto compiled = std::make_unique<TCompiled>();
    compiled->Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(FExpression.data()),
                                   FExpression.size(), PCRE2_CASELESS, &code, &offset, nullptr);
    if (!compiled->Code)
        throw ERegExprError(list + " makes an expression that cannot be used (" +
                            EngineMessage(code) + " at offset " + std::to_string(offset) +
                            "): " + Quoted(FExpression));
    // JIT is only a speed-up; the interpreter gives the same answers without it.
    (void)pcre2_jit_compile(compiled->Code, PCRE2_JIT_COMPLETE);
    compiled->MatchData = pcre2_match_data_create_from_pattern(compiled->Code, nullptr);
    if (!compiled->MatchData)
        throw ERegExprError(list + ": out of memory for the expression " + Quoted(FExpression));
    FCompiled = std::move(compiled);
}

bool TRegExpr::Exec(std::string_view text) {
    if (!FCompiled)
        Compile();
    const int rc = pcre2_match(FCompiled->Code, reinterpret_cast<PCRE2_SPTR>(text.data()),
                               text.size(), 0, 0, FCompiled->MatchData, nullptr);
    if (rc >= 0)
        return true;
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    throw ERegExprError(ListText() + " cannot be matched against " + Quoted(text) + ": " +
                        EngineMessage(rc));
}

void SetMaskList(TRegExpr& matcher, std::string_view list) {
    std::string expression;
    for (const std::string& item : SplitMaskList(list)) {
        if (!expression.empty())
            expression += '|';
        expression += MaskToExpression(item);
    }
    matcher.SetExpression(expression);
}

} // namespace vlm
