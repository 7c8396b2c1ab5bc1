#include "pipeline/UCssScan.h"

#include "pipeline/UReferences.h"
#include "platform/UText.h"

namespace vlm {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Characters of a CSS identifier ("@" too, so that "@import" reads as one word).
bool IsWordChar(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' || c == '@' || c == '\\' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Longer words are none of the ones looked for.
constexpr size_t WordLimit = 8;

} // namespace

void TCssScanner::Feed(std::string_view text, const TFound& found) {
    for (size_t i = 0; i < text.size(); ++i)
        Step(text[i], i + 1, found);
}

void TCssScanner::Finish(const TFound& found) {
    if (FState == TState::UrlBare || FState == TState::UrlQuoted || FState == TState::ImportQuoted)
        Emit(0, found);
    FState = TState::Normal;
}

void TCssScanner::Emit(size_t end, const TFound& found) {
    const std::string_view value = CleanReference(FValue);
    if (!value.empty())
        found(std::string(value), FValueLine, end);
    FValue.clear();
}

void TCssScanner::Normal(char c) {
    if (IsWordChar(c)) {
        if (FWord.size() < WordLimit)
            FWord += AsciiLower(c);
        else
            FWordLong = true;
        return;
    }
    const bool url = !FWordLong && FWord == "url";
    const bool import = !FWordLong && FWord == "@import";
    FWord.clear();
    FWordLong = false;
    if (url && c == '(') {
        FState = TState::UrlStart;
    } else if (import && (IsBlank(c) || c == '"' || c == '\'')) {
        FState = TState::ImportStart;
        if (!IsBlank(c))
            Step(c, 0, {});
    } else if (c == '/') {
        FState = TState::Slash;
    } else if (c == '"' || c == '\'') {
        FQuote = c;
        FEscape = false;
        FState = TState::String;
    }
}

void TCssScanner::Step(char c, size_t at, const TFound& found) {
    if (c == '\n' && at != 0)
        ++FLine;
    switch (FState) {
    case TState::Normal:
        Normal(c);
        return;
    case TState::Slash:
        FState = TState::Normal;
        if (c == '*')
            FState = TState::Comment;
        else
            Normal(c);
        return;
    case TState::Comment:
    case TState::CommentStar:
        FState = c == '/' && FState == TState::CommentStar ? TState::Normal
                 : c == '*'                                ? TState::CommentStar
                                                           : TState::Comment;
        return;
    case TState::String:
        if (FEscape)
            FEscape = false;
        else if (c == '\\')
            FEscape = true;
        else if (c == FQuote || c == '\n')
            FState = TState::Normal;
        return;
    case TState::UrlStart:
        if (IsBlank(c))
            return;
        FValue.clear();
        FValueLine = FLine;
        FEscape = false;
        if (c == ')') {
            FState = TState::Normal;
            return;
        }
        if (c == '"' || c == '\'') {
            FQuote = c;
            FState = TState::UrlQuoted;
            return;
        }
        FState = TState::UrlBare;
        break;
    case TState::ImportStart:
        if (IsBlank(c))
            return;
        if (c == '"' || c == '\'') {
            FValue.clear();
            FValueLine = FLine;
            FEscape = false;
            FQuote = c;
            FState = TState::ImportQuoted;
            return;
        }
        FState = TState::Normal;
        Normal(c);
        return;
    case TState::UrlBare:
    case TState::UrlQuoted:
    case TState::ImportQuoted:
        break;
    }
    // Inside an address: a backslash takes the next character as it is.
    if (FEscape) {
        FEscape = false;
        if (c != '\n')
            FValue += c;
        return;
    }
    if (c == '\\') {
        FEscape = true;
        return;
    }
    const bool quoted = FState != TState::UrlBare;
    if ((quoted && c == FQuote) || (!quoted && c == ')')) {
        FState = TState::Normal;
        Emit(at, found);
        return;
    }
    if (quoted && c == '\n') { // a string cut by its line end holds no address
        FState = TState::Normal;
        FValue.clear();
        return;
    }
    FValue += c;
}

void CssReferences(std::string_view text, std::vector<std::string>& references) {
    TCssScanner scanner;
    const TCssScanner::TFound found = [&](std::string&& reference, uint64_t, size_t) {
        references.push_back(std::move(reference));
    };
    scanner.Feed(text, found);
    scanner.Finish(found);
}

} // namespace vlm
