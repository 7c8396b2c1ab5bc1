// libFuzzer target: link discovery over one page. The input is the page; its references are
// resolved against the page's folder and taken when they name an existing file. The scan
// may only end normally or with an EVlmError, and the list it makes holds each file once.
#include "FuzzSupport.h"
#include "pipeline/ULinks.h"

#include <cstdio>
#include <set>

namespace {

// Build events that show nothing and check the bar: within a page it starts at 0 and
// only moves forward, up to 100.
class TQuietHost : public vlm::TSilentBuildEvents {
public:
    void Bar(int position, uint64_t done, uint64_t known) override {
        if ((position != 0 && position < FBar) || position > 100 || done > known)
            vlm::fuzz::Finding();
        FBar = position;
    }

private:
    int FBar = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const vlm::fuzz::TScratchFolder site;
    static const bool made = [] {
        // A few files that references can find, inside and outside the page's folder.
        for (const char* name : {"index.htm", "a.gif", "b c.htm", "sub%20x.css"}) {
            FILE* f = std::fopen((site.Path() + name).c_str(), "w");
            if (f)
                std::fclose(f);
        }
        return true;
    }();
    (void)made;
    const std::string page = site.Path() + "page.htm";
    FILE* f = std::fopen(page.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)vlm::FindReference(text);
    (void)vlm::ReferenceToPath(text);

    TQuietHost host;
    vlm::TDecliningQuestions questions;
    vlm::TCancelToken cancel;
    vlm::TProgress progress({host, questions, cancel});
    vlm::TRegExpr include("MaskInclude");
    vlm::TRegExpr exclude("MaskExclude");
    vlm::TLinkParser parser(progress, include, exclude);
    vlm::TFileList list;
    try {
        parser.ParseLinks(page, list);
    } catch (const vlm::EVlmError&) {
    }
    std::set<std::string> seen(list.Items().begin(), list.Items().end());
    if (seen.size() != list.Count())
        vlm::fuzz::Finding();
    return 0;
}
