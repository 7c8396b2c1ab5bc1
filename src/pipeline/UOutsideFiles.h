// Files taken from outside the home page's folder. Link discovery follows references
// wherever they lead, and real sites rely on files beside their folder; but a hostile page
// can name any readable file of the machine ("/etc/passwd", "../../../etc/hostname",
// "file:///etc/os-release"), so a build says which files it took from outside.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// Whether path lies inside folder once "." and ".." are resolved (the letter-case rule of
// the platform's file names).
bool IsInsideFolder(std::string_view path, std::string_view folder);

// The files that lie outside folder, in their order.
std::vector<std::string> FilesOutsideFolder(const std::vector<std::string>& files,
                                            std::string_view folder);

// One line for the user: the number of files taken from outside folder and the first
// `shown` of them. Empty when there are none.
std::string OutsideFilesWarning(const std::vector<std::string>& outside, std::string_view folder,
                                size_t shown = 3);

// What a build took from outside: the home page's folder and the files.
struct TOutsideFiles {
    std::string Folder;
    std::vector<std::string> Files;
    std::string Warning() const { return OutsideFilesWarning(Files, Folder); }
};

} // namespace vlm
