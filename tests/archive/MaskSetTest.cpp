#include "archive/arcFileScan.h"

#include <gtest/gtest.h>
#include <random>

using namespace vlm;

namespace {

// Folding as the scanner describes it, one mask against the next, in order.
struct TReferenceSet {
    std::vector<std::string> Texts;
    void Fold(const std::string& mask) {
        for (std::string& existing : Texts) {
            if (MatchesMask(mask, existing))
                return;
            if (MatchesMask(existing, mask)) {
                existing = mask;
                return;
            }
        }
        Texts.push_back(mask);
    }
    bool Matches(const std::string& name) const {
        for (const std::string& text : Texts)
            if (MatchesMask(name, text.empty() || text == "*.*" ? "*" : text))
                return true;
        return false;
    }
};

TEST(MaskSet, FoldsLikeTheMaskByMaskRule) {
    const struct {
        std::vector<std::string> Lines;
        std::vector<std::string> Texts;
    } cases[] = {
        {{"index.htm", "*.htm"}, {"*.htm"}},
        {{"*.htm", "index.htm", "INDEX.HTM"}, {"*.htm"}},
        {{"a.gif", "A.GIF", "b.gif"}, {"a.gif", "b.gif"}},
        {{"a.gif", "b.htm", "*.gif"}, {"*.gif", "b.htm"}}, // the first accepted one is replaced
        {{"*.gif", "*"}, {"*"}},
        {{"abc.", "abc"}, {"abc."}}, // a final "." also accepts the name without a dot
        {{"", "x"}, {"", "x"}},
    };
    for (const auto& c : cases) {
        TMaskSet set;
        for (const std::string& line : c.Lines)
            set.Fold(line);
        EXPECT_EQ(set.Texts(), c.Texts) << c.Lines.front();
    }
}

TEST(MaskSet, AgreesWithTheReferenceOnRandomMasks) {
    // Short masks over a small alphabet meet every case: equal names in other letter
    // case, wildcards that accept plain names and each other, final dots, empty masks.
    const std::string alphabet = "aAb.*?";
    std::mt19937 random(42);
    const auto text = [&](size_t maxLength) {
        std::string s;
        const size_t length = random() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        TMaskSet set;
        TReferenceSet reference;
        const int lines = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < lines; ++i) {
            const std::string mask = text(4);
            set.Fold(mask);
            reference.Fold(mask);
        }
        ASSERT_EQ(set.Texts(), reference.Texts) << "round " << round;
        for (int i = 0; i < 20; ++i) {
            std::string name = text(5);
            std::erase_if(name, [](char c) { return c == '*' || c == '?'; });
            ASSERT_EQ(set.Matches(name), reference.Matches(name))
                << "round " << round << " name [" << name << "]";
        }
    }
}

} // namespace
