// Path texts. Folder parts formed by the system end in the path delimiter ("/" here,
// "\" on Windows). Nothing in this module touches the file system except the current
// folder that ExpandFileName falls back to.
#pragma once

#include <string>
#include <string_view>

namespace vlm {

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
inline constexpr bool FileNamesIgnoreCase = true;
#else
inline constexpr char PathDelim = '/';
inline constexpr bool FileNamesIgnoreCase = false;
#endif

// True for the characters that end a folder part: "/" here; "\" and ":" on Windows.
bool IsFolderDelimiter(char c);

// Everything up to and including the last folder delimiter; empty when there is none.
std::string ExtractFilePath(std::string_view path);
// Everything after the last folder delimiter.
std::string ExtractFileName(std::string_view path);
// From the last "." of the name part, the dot included; empty when the name has none.
std::string ExtractFileExt(std::string_view path);
// The drive ("C:") of a path; always empty on POSIX.
std::string ExtractFileDrive(std::string_view path);
// The path with its extension replaced by ext (which carries its dot), or ext appended.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

std::string IncludeTrailingPathDelimiter(std::string_view folder);
std::string ExcludeTrailingPathDelimiter(std::string_view folder);
// folder + name, with exactly one delimiter between them (folder may be empty).
std::string JoinPath(std::string_view folder, std::string_view name);

// Turns "/" into the native delimiter (a no-op on POSIX, where "/" is the delimiter).
std::string ToNativeDelimiters(std::string_view path);

// The full path of path against base (the current folder when base is empty): "." and
// ".." are resolved as text, links are not followed, a trailing delimiter is kept.
std::string ExpandFileName(std::string_view path, std::string_view base = {});
bool IsAbsolutePath(std::string_view path);

// File-name identity: exact here (the file system tells letter case apart), without
// regard to letter case on Windows.
bool SameFileName(std::string_view a, std::string_view b);
bool StartsWithFileName(std::string_view prefix, std::string_view path);
// A key under which equal file names hash equally.
std::string FileNameKey(std::string_view path);

// The current folder with a trailing delimiter.
std::string GetCurrentFolder();

} // namespace vlm
