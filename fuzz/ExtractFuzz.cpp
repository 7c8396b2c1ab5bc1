// libFuzzer target: member-name cleaning and extraction. The input is an archive (read with
// the build's password); every member is extracted into a new folder, and nothing may
// appear outside it, nor any path that a cleaned name does not account for (a member that
// fails may leave its folders, never a file).
#include "FuzzSupport.h"
#include "archive/arcExtract.h"

#include <set>
#include <string>

namespace {

// A cleaned name is a relative path without "." or ".." components; its text, or the
// empty text for a refused name.
std::string CheckCleaning(const std::string& name) {
    vlm::TMemberPath path;
    std::string reason;
    if (!vlm::MakeMemberPath(name, path, reason)) {
        if (reason.empty())
            vlm::fuzz::Finding();
        return {};
    }
    if (path.Components.empty())
        vlm::fuzz::Finding();
    for (const std::string& part : path.Components)
        if (part.empty() || part == "." || part == ".." ||
            part.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
            vlm::fuzz::Finding();
    return path.Text();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckCleaning(std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 300)));
    const vlm::fuzz::TMemoryFile file(data, size);
    const vlm::fuzz::TScratchFolder outside;
    const std::string folder = outside.Path() + "out/";
    try {
        vlm::TArchiveReader reader(file.Path());
        vlm::TArchiveExtractor extractor(reader, folder);
        extractor.Password = "Qm42Tx7150";
        std::set<std::string> named;
        for (size_t i = 0; i < reader.Members().size(); ++i) {
            if (const std::string text = CheckCleaning(reader.Members()[i].Name); !text.empty())
                named.insert(text);
            try {
                extractor.ExtractMember(i);
            } catch (const vlm::EVlmError&) {
            }
        }
        // Only the extraction folder, and below it only what the members name.
        for (const std::string& path : outside.Contents()) {
            if (path.compare(0, folder.size(), folder) != 0) {
                if (path + "/" != folder)
                    vlm::fuzz::Finding();
                continue;
            }
            const std::string relative = path.substr(folder.size());
            bool accounted = false;
            for (const std::string& member : named)
                accounted = accounted || member == relative || member.rfind(relative + "/", 0) == 0;
            if (!accounted)
                vlm::fuzz::Finding();
        }
    } catch (const vlm::EVlmError&) {
    }
    return 0;
}
