// libFuzzer target: the archive writer's wildcard masks and the folding of a group's
// masks. The input holds masks and names (cut at NUL bytes). A mask without wildcards
// matches its own text; a folded set matches every name that one of its kept masks
// matches, and a name that no mask given matches is never matched by the set.
#include "FuzzSupport.h"
#include "archive/arcFileScan.h"

#include <string>

namespace {

bool HasWildcard(const std::string& mask) {
    return mask.find_first_of("*?") != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts =
        vlm::fuzz::SplitAtNul({reinterpret_cast<const char*>(data), size});
    const size_t masks = (parts.size() + 1) / 2;
    vlm::TMaskSet set;
    for (size_t i = 0; i < masks; ++i) {
        const vlm::TInternalMask compiled(parts[i]);
        if (!HasWildcard(parts[i]) && !compiled.Matches(parts[i]))
            vlm::fuzz::Finding();
        set.Fold(parts[i]);
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& name = parts[i];
        bool anyKept = false;
        for (const std::string& kept : set.Texts())
            anyKept = anyKept || kept.empty() || kept == "*.*" || vlm::MatchesMask(name, kept);
        if (set.Matches(name) != anyKept)
            vlm::fuzz::Finding();
        bool anyGiven = false;
        for (size_t m = 0; m < masks; ++m)
            anyGiven = anyGiven || parts[m].empty() || parts[m] == "*.*" ||
                       vlm::MatchesMask(name, parts[m]);
        if (!anyGiven && set.Matches(name))
            vlm::fuzz::Finding();
    }
    (void)vlm::IsScanCandidate(size > 0 ? data[0] : 0u, vlm::DefaultArcFileAttrs, {});
    return 0;
}
