// libFuzzer target: the mask lists of parse mode. The input holds an include list, an
// exclude list and paths (cut at NUL bytes); the lists are split, converted and compiled,
// and both matchers test every path. Any list may be refused with an ERegExprError (a mask
// is copied into the expression as it is), but nothing else may happen, and a matcher that
// compiled once must answer the same way twice.
#include "FuzzSupport.h"
#include "pipeline/UMasks.h"

#include <string>

namespace {

bool Test(vlm::TRegExpr& matcher, const std::string& path, bool& answered) {
    try {
        answered = true;
        return matcher.Exec(path);
    } catch (const vlm::ERegExprError&) {
        answered = false;
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts =
        vlm::fuzz::SplitAtNul({reinterpret_cast<const char*>(data), size});
    vlm::TRegExpr include("MaskInclude");
    vlm::TRegExpr exclude("MaskExclude");
    const std::string& includeList = parts[0];
    const std::string excludeList = parts.size() > 1 ? parts[1] : std::string();
    for (const std::string& item : vlm::SplitMaskList(includeList))
        (void)vlm::MaskToExpression(item);
    (void)vlm::ConvertMasks(excludeList, "/site/");
    vlm::SetMaskList(include, vlm::ConvertMasks(includeList));
    vlm::SetMaskList(exclude, vlm::ConvertMasks(excludeList));
    for (size_t i = 2; i < parts.size() || i == 2; ++i) {
        const std::string path = i < parts.size() ? parts[i] : "/site/index.htm";
        for (vlm::TRegExpr* matcher : {&include, &exclude}) {
            if (!matcher->HasExpression())
                continue;
            bool first = false, second = false;
            const bool a = Test(*matcher, path, first);
            const bool b = Test(*matcher, path, second);
            if (first && second && a != b)
                vlm::fuzz::Finding();
        }
    }
    return 0;
}
