// What a stylesheet loads: the addresses of url(...) (quoted or not) and of @import
// ("..." or url(...)), with comments and other strings skipped. The scan takes its text in
// pieces, so a stylesheet is never held whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

class TCssScanner {
public:
    // reference: the address as written (cleaned: blanks trimmed, cut before "?" and "#";
    // never empty), the line it stands on, and the offset just past it in the piece fed.
    using TFound = std::function<void(std::string&& reference, uint64_t line, size_t end)>;

    // line: the line the text starts on.
    explicit TCssScanner(uint64_t line = 1) : FLine(line) {}

    void Feed(std::string_view text, const TFound& found);
    // The text ended: an address cut off by its end is taken as it stands.
    void Finish(const TFound& found);

private:
    enum class TState : uint8_t {
        Normal,
        Slash,       // a "/" that may open a comment
        Comment,     // inside /* */
        CommentStar, // a "*" inside a comment
        String,      // a string that is no address
        UrlStart,    // after "url(", blanks skipped
        UrlBare,     // an unquoted address
        UrlQuoted,   // a quoted address inside url()
        ImportStart, // after "@import", blanks skipped
        ImportQuoted // the quoted address of an @import
    };
    void Step(char c, size_t at, const TFound& found);
    void Normal(char c);
    void Emit(size_t end, const TFound& found);

    TState FState = TState::Normal;
    char FQuote = 0;
    bool FEscape = false; // the character before was an escaping backslash
    std::string FWord;    // the identifier being read, lower case (bounded)
    bool FWordLong = false;
    std::string FValue;
    uint64_t FLine;
    uint64_t FValueLine = 0;
};

// The addresses a whole stylesheet text holds (a style attribute's value), in order.
void CssReferences(std::string_view text, std::vector<std::string>& references);

} // namespace vlm
