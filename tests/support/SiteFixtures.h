// A small site that uses every form of reference a browser loads and the build follows,
// and the forms it leaves out on purpose; for the build's tests and the viewer's alike.
#pragma once

#include <string>
#include <vector>

namespace vlm::test {

// Writes the site under dir (ending in "/"): the pages under dir + "site/", one picture
// under dir + "shared/" that a page reaches with "../". Returns the home page's path.
std::string WriteBrowserSite(const std::string& dir);

// The files a parse-mode build of that site must take, relative to dir, sorted (the
// settings member and language files not among them).
std::vector<std::string> BrowserSiteMembers();

// Files of the site that exist but that no browser loads from it (a decoy attribute,
// metadata, an address a script builds, a comment, a string), relative to dir, sorted.
std::vector<std::string> BrowserSiteLeftOut();

// The one reference of the site that names no file: a font its style sheet asks for.
inline constexpr const char* BrowserSiteMissingFont = "../fonts/Missing.woff2";

} // namespace vlm::test
