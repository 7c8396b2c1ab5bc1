// libFuzzer target: the project loader and vlm set's writing. The input is a project file,
// then NAME=VALUE assignments (cut at NUL bytes). The file is loaded, the assignments are
// written with vlm set, and the saved file is loaded again: a line-free value must read
// back as set, and loading what was saved must give the same lines.
#include "FuzzSupport.h"
#include "platform/UErrors.h"
#include "project/UProject.h"
#include "vlm/vlmProjectCommands.h"

#include <memory>
#include <sstream>

namespace {

bool IsPlainText(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string NameOf(const std::string& line) {
    return Lower(line.substr(0, line.find('=')));
}

// Entries are looked up by name without regard to letter case; a file may hold one name
// twice, and then only the first is set.
size_t Occurrences(const vlm::TProject& project, const std::string& name) {
    size_t count = 0;
    for (const std::string& line : project.Lines())
        count += NameOf(line) == Lower(name) ? 1 : 0;
    return count;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts =
        vlm::fuzz::SplitAtNul({reinterpret_cast<const char*>(data), size});
    const vlm::fuzz::TScratchFolder folder;
    const std::string file = folder.Path() + "site.vlp";
    WriteBytes(file, parts[0]);
    std::unique_ptr<vlm::TProject> loaded;
    try {
        loaded = std::make_unique<vlm::TProject>(file);
        (void)loaded->HasHomePage();
        (void)loaded->Flag(vlm::entry::ParsingEnabled);
    } catch (const vlm::EVlmError&) {
        return 0;
    }
    vlm::cli::TArgs args{file};
    args.insert(args.end(), parts.begin() + 1, parts.end());
    std::istringstream in;
    std::ostringstream out, err;
    try {
        vlm::cli::RunSet(args, in, out, err);
    } catch (const vlm::cli::EUsage&) {
        return 0;
    } catch (const vlm::EVlmError&) {
        return 0;
    }
    const vlm::TProject saved(file);
    for (size_t i = 1; i < parts.size(); ++i) {
        const size_t eq = parts[i].find('=');
        const std::string name = parts[i].substr(0, eq);
        const std::string value = parts[i].substr(eq + 1);
        bool last = true; // a later assignment of the same name wins
        for (size_t j = i + 1; j < parts.size(); ++j)
            last = last && NameOf(parts[j]) != Lower(name);
        if (last && Occurrences(*loaded, name) <= 1 && IsPlainText(name) && IsPlainText(value) &&
            name.find_first_of(" ") == std::string::npos && saved.Value(name) != value)
            vlm::fuzz::Finding();
    }
    const std::string again = folder.Path() + "again.vlp";
    vlm::TProject copy(file);
    copy.SetFileName(again);
    copy.Save();
    if (vlm::TProject(again).Text() != saved.Text())
        vlm::fuzz::Finding();
    return 0;
}
