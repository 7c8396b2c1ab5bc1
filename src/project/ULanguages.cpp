#include "project/ULanguages.h"

#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>

namespace vlm {

namespace {

bool HasLanguageExt(const std::string& name) {
    const std::string_view ext = LanguageFileExt;
    if (name.size() < ext.size())
        return false;
    const std::string_view tail = std::string_view(name).substr(name.size() - ext.size());
    // The same identity as the build's look-up of "<name>.lng", so that every listed name is
    // one the build finds.
    return FileNamesIgnoreCase ? SameText(tail, ext) : tail == ext;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::string la = LowerCase(a);
    const std::string lb = LowerCase(b);
    return la != lb ? la < lb : a < b;
}

} // namespace

std::string LanguagesFolder() {
    return ProgramFolder() + LanguagesFolderName + PathDelim;
}

std::vector<std::string> LanguageNames(std::string_view folder) {
    std::vector<std::string> names;
    ListFolder(folder, [&](const TSearchRec& rec) {
        if (HasLanguageExt(rec.Name))
            names.push_back(ChangeFileExt(rec.Name, ""));
        return true;
    });
    names.emplace_back(DefaultLanguage);
    std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

} // namespace vlm
