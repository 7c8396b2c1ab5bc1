#include "pipeline/UMasks.h"

#include <gtest/gtest.h>

using namespace vlm;

namespace {

using Items = std::vector<std::string>;

TEST(Masks, SplittingLists) {
    const struct {
        const char* List;
        Items Expected;
    } cases[] = {
        {"*.tmp,*.bak", {"*.tmp", "*.bak"}},
        {"*.tmp;*.bak", {"*.tmp", "*.bak"}},
        {"*.tmp, *.bak", {"*.tmp", "*.bak"}},
        {"  *.tmp ,\t*.bak  ", {"*.tmp", "*.bak"}},
        {"*.tmp *.bak", {"*.tmp", "*.bak"}},
        {"*.a\r\n*.b\r\n", {"*.a", "*.b"}},
        // Empty items are ignored: a comma too many names no mask.
        {",*.htm", {"*.htm"}},
        {"*.htm,", {"*.htm"}},
        {"a,,b", {"a", "b"}},
        {", ,", {}},
        {"", {}},
        {"   ", {}},
        {"\"My Docs/*.htm\",*.gif", {"My Docs/*.htm", "*.gif"}},
        {"\"say \"\"hi\"\".htm\"", {"say \"hi\".htm"}},
        {"\"open ended", {"open ended"}},
        {"\"\",x", {"x"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitMaskList(c.List), c.Expected) << "[" << c.List << "]";
}

TEST(Masks, ConvertingLists) {
    const struct {
        const char* List;
        const char* Root; // nullptr: parse mode
        const char* Lines;
    } cases[] = {
        {"*.*", nullptr, "*.*\r\n"},
        {"?x.htm", nullptr, "?x.htm\r\n"},
        {"/site/*.bak", nullptr, "*/site/*.bak\r\n"},
        {"temp/*.*", nullptr, "*/temp/*.*\r\n"},
        {"page.htm", nullptr, "*/page.htm\r\n"},
        // No drive letters here: such an item is a name like any other.
        {"C:/site/*.bak", nullptr, "*/C:/site/*.bak\r\n"},
        {",*.htm,", nullptr, "*.htm\r\n"},
        // "\\" separates folders as "/" does.
        {"temp\\*.*", nullptr, "*/temp/*.*\r\n"},
        {"\\site\\*.bak", nullptr, "*/site/*.bak\r\n"},
        {"images\\*.gif,", "/site/", "/site/images/*.gif\r\n"},
        {"*.tmp;*.bak", nullptr, "*.tmp\r\n*.bak\r\n"},
        {"\"My Docs/*.htm\"", nullptr, "*/My Docs/*.htm\r\n"},
        {"*.htm,images/*.gif", "/site/", "/site/*.htm\r\n/site/images/*.gif\r\n"},
        {"/abs/*.x", "/site/", "/site//abs/*.x\r\n"},
        {"", "/site/", ""},
        {"", nullptr, ""},
    };
    for (const auto& c : cases) {
        const std::string lines = c.Root ? ConvertMasks(c.List, c.Root) : ConvertMasks(c.List);
        EXPECT_EQ(lines, c.Lines) << "[" << c.List << "] root " << (c.Root ? c.Root : "none");
    }
}

TEST(Masks, MasksBecomeExpressions) {
    const struct {
        const char* Mask;
        const char* Expression;
    } cases[] = {
        {"*", "(.*)"},
        {"*.*", "(.*)"},
        {"*.tmp", "(.*\\.tmp)"},
        {"*\\temp\\*.*", "(.*/temp/.*\\..*)"},
        {"C:\\site\\*.bak", "((^[C]):/site/.*\\.bak)"},
        {"?x.htm", "((^.)x\\.htm)"},
        {"a", "((^[a]))"},
        {"*/temp/*.*", "(.*/temp/.*\\..*)"},
        {"/site/*.bak", "((^[/])site/.*\\.bak)"},
        {"*a?b", "(.*a.?b)"},
        {"*.(x|y)", "(.*\\.(x|y))"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskToExpression(c.Mask), c.Expression) << c.Mask;
}

TEST(Masks, ListsBecomeOneAlternation) {
    const struct {
        const char* List;
        const char* Expression;
        bool Has;
    } cases[] = {
        {"*.*", "(.*)", true},
        {"*.tmp,*.bak", "(.*\\.tmp)|(.*\\.bak)", true},
        // A converted quoted mask with a blank falls apart into two items here.
        {"*/My Docs/*.htm\r\n", "(.*/My)|((^[D])ocs/.*\\.htm)", true},
        {"", "", false},
        {" \r\n ", "", false},
    };
    for (const auto& c : cases) {
        TRegExpr matcher("MaskInclude");
        matcher.SetExpression("(stale)");
        SetMaskList(matcher, c.List);
        EXPECT_EQ(matcher.Expression(), c.Expression) << c.List;
        EXPECT_EQ(matcher.HasExpression(), c.Has) << c.List;
    }
}

TEST(Masks, MatchingIsUnanchoredAndIgnoresCase) {
    const struct {
        const char* List; // in parse mode
        const char* Path;
        bool Matches;
    } cases[] = {
        {"*.*", "/site/index.htm", true},
        {"*.*", "/site/README", true},
        {"*.tmp,*.bak", "/site/A.TMP", true},
        {"*.tmp,*.bak", "/site/a.tmpx", true},
        {"*.tmp,*.bak", "/site/x.tmp/page.htm", true},
        {"*.tmp,*.bak", "/site/notes.BAK", true},
        {"*.tmp,*.bak", "/site/page.htm", false},
        {"temp/*.*", "/site/temp/a.gif", true},
        {"temp/*.*", "/site/TEMP/sub/b.c", true},
        {"temp/*.*", "/site/temp/noext", false},
        {"temp/*.*", "/site/attemp/a.gif", false},
        {"/site/*.bak", "/site/old/x.bak", true},
        {"/site/*.bak", "/other/site/x.bak", true}, // "*" in front: anywhere in the path
        {"index.htm", "/site/INDEX.HTM", true},
        {"index.htm", "/site/myindex.htm", false},
        {"index.htm", "/site/indexXhtm", false}, // the point is escaped
        {"?.gif", "/a.gif", false},              // a leading "?" is the path's first character
        {"?.gif", "/.gif", true},
        {"\"My Docs/*.htm\"", "/home/My", true}, // the blank splits the converted line
        {"*.gif,", "/site/a.htm", false},        // no empty item that would match any path
        {"temp\\*.*", "/site/temp/a.gif", true},
    };
    for (const auto& c : cases) {
        TRegExpr matcher("MaskInclude");
        SetMaskList(matcher, ConvertMasks(c.List));
        EXPECT_EQ(matcher.Exec(c.Path), c.Matches) << c.List << " on " << c.Path;
    }
}

TEST(Masks, ErrorsNameTheListAndTheReason) {
    std::string thousands;
    for (int i = 0; i < 3000; ++i)
        thousands += "folder" + std::to_string(i) + "/page*.htm,";
    const struct {
        std::string List;
        const char* Name;
        const char* Reason;
    } cases[] = {
        {"a(b", "MaskInclude", "missing closing parenthesis"},
        {"[x", "MaskExclude", "missing terminating ]"},
        {"", "MaskExclude", "MaskExclude is empty"},
        {thousands, "MaskExclude", "too large"},
    };
    for (const auto& c : cases) {
        TRegExpr matcher(c.Name);
        // Nothing is compiled before the first use.
        ASSERT_NO_THROW(SetMaskList(matcher, ConvertMasks(c.List))) << c.List.substr(0, 20);
        try {
            matcher.Exec("/site/a.htm");
            ADD_FAILURE() << "no error for [" << c.List.substr(0, 20) << "]";
        } catch (const ERegExprError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.Name), std::string::npos) << message;
            EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
            // The expression is quoted, but never more than its first 200 characters.
            EXPECT_NE(message.find(matcher.Expression().substr(0, 200)), std::string::npos);
            EXPECT_LT(message.size(), 400u) << message;
        }
    }
}

TEST(Masks, ANewExpressionReplacesTheCompiledOne) {
    TRegExpr matcher("MaskInclude");
    SetMaskList(matcher, "*.htm");
    EXPECT_TRUE(matcher.Exec("/a/b.htm"));
    SetMaskList(matcher, "*.gif");
    EXPECT_FALSE(matcher.Exec("/a/b.htm"));
    EXPECT_TRUE(matcher.Exec("/a/b.gif"));
}

} // namespace
