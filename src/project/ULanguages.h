// The viewer's languages: one file "<name>.lng" per language in the folder "Languages"
// beside the program, or "Default", which selects no file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vlm {

inline constexpr const char* LanguagesFolderName = "Languages";
inline constexpr const char* LanguageFileExt = ".lng";
inline constexpr const char* DefaultLanguage = "Default";

// The program folder's "Languages" folder, ending in the delimiter.
std::string LanguagesFolder();

// The choices for the project's Language entry: every entry of folder whose name ends in
// ".lng" (folders too), without its last extension, and "Default", sorted without regard to
// letter case. Nothing is dropped as a duplicate, so a "Default.lng" lists "Default" twice.
// A missing or unreadable folder gives "Default" alone.
std::vector<std::string> LanguageNames(std::string_view folder);

} // namespace vlm
