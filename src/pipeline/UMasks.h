// File masks: the project's MaskInclude and MaskExclude lists, turned into file
// specifications for the archive writer (mask mode) or into the two regular expressions
// that link discovery tests every reference against (parse mode).
//
// Masks name folders with "/" or "\" alike ("temp/*.*" and "temp\*.*" are one mask):
// both become the platform's path delimiter before anything else is done with a mask. In
// an expression the Windows delimiter "\" has to be escaped while "/" is an ordinary
// character, so the fragment is "/temp/" here and "\\temp\\" on Windows, and matches the
// same folder in a full path.
#pragma once

#include "platform/UErrors.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// Splits a mask list at ",", ";", blanks and control characters; a double-quoted item
// keeps its blanks ("" inside stands for one quote). Empty items (a leading, doubled or
// trailing comma, empty quotes) are left out; an empty text gives no items.
std::vector<std::string> SplitMaskList(std::string_view list);

// One line (followed by CR LF) per item of the list. With a root (mask mode) each line is
// root + item. Without one (parse mode) an item that starts with "*" or "?" stays as it
// is, one that starts with the path delimiter gets "*" in front (Windows: one with a
// drive stays too), and every other item gets "*" and the delimiter in front, so that it
// names a file in any folder.
std::string ConvertMasks(std::string_view list);
std::string ConvertMasks(std::string_view list, std::string_view root);
// The line of one item with a root (mask mode).
std::string MaskLine(std::string_view item, std::string_view root);

// The expression fragment of one mask: "*" any run, "?" at most one character ("(^.)" as
// the first character), "." escaped, a folder delimiter ("/" or "\") the platform's
// (escaped on Windows), other characters copied as they are (so expression syntax typed
// into a mask acts as syntax). A mask that does not start with a wildcard must start the
// path: C:\site\*.bak gives ((^[C]):/site/.*\.bak) here, ((^[C]):\\site\\.*\.bak) on Windows.
std::string MaskToExpression(std::string_view mask);

// An invalid expression, or a matcher used without one.
class ERegExprError : public EVlmError {
public:
    using EVlmError::EVlmError;
};

// A case-insensitive, unanchored regular-expression test, compiled when first used.
class TRegExpr {
public:
    // listName names the mask list the expression comes from, for the error texts.
    explicit TRegExpr(std::string listName = {});
    ~TRegExpr();
    TRegExpr(const TRegExpr&) = delete;
    TRegExpr& operator=(const TRegExpr&) = delete;

    // An empty expression leaves the matcher without one.
    void SetExpression(std::string_view expression);
    const std::string& Expression() const { return FExpression; }
    bool HasExpression() const { return FHasExpression; }

    // Whether the expression matches anywhere in text. Raises ERegExprError when there is
    // no expression or it does not compile (the engine's reason and the offending place).
    bool Exec(std::string_view text);

private:
    struct TCompiled;
    void Compile();
    std::string ListText() const;

    std::string FListName;
    std::string FExpression;
    bool FHasExpression = false;
    std::unique_ptr<TCompiled> FCompiled;
};

// Gives the matcher the expression of a mask list: the list is split (CR and LF separate
// like blanks, so every line of a ConvertMasks result is one item), each item becomes a
// fragment and the fragments are joined with "|". No items leave it without an expression.
void SetMaskList(TRegExpr& matcher, std::string_view list);

} // namespace vlm
