// What a browser loads from a document's text: the references a tag holds (the attribute
// values that name files, by whole attribute names), the URLs of a srcset, the kinds of
// documents link discovery reads, and a reference turned into a path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// The files link discovery reads for references.
enum class TDocumentKind : uint8_t { None, Html, Css, Svg };

// Html for the extensions ".htm" and ".html" exactly as written (".HTM" is not read);
// Css and Svg for ".css" and ".svg" in any letter case; None for every other file.
TDocumentKind DocumentKindOf(std::string_view path);

// A value as a browser takes it for an address: blanks around it trimmed, cut before the
// first "?" (the query) or "#" (the fragment). A script's template ("${...}") is no
// address: empty.
std::string_view CleanReference(std::string_view value);

// The reference a tag's text holds: the value of the first of the attributes "src",
// "href" ("xlink:href" counts as "href") and "background" that the tag has with a value,
// names matched whole and without regard to letter case; double- or single-quoted (also
// quoted as in a script's string, \"...\"), or up to the next blank; cleaned as above. Empty when
// there is none, and when the first of them found has an empty value. A "<link>" without "rel" is
// metadata: none.
std::string FindReference(std::string_view tag);

// Every reference of a tag, in order. Html: the one FindReference gives, then in the
// order they stand in the tag: each URL of "srcset" (img, source), "data" (object),
// "poster", and each url() and @import of a "style" attribute. Svg: every "href" and
// "xlink:href" in the order they stand, then the style attribute's. Empty references are
// left out.
void FindReferences(std::string_view tag, TDocumentKind kind, std::vector<std::string>& references);

// Whether the tag opens a style element: the text up to "</style" is a stylesheet.
bool OpensStyleElement(std::string_view tag);

// The URLs of a srcset value in order (descriptors such as "2x" or "480w" left out).
void SrcsetUrls(std::string_view value, std::vector<std::string>& urls);

// A reference as a path: every valid percent escape decoded once, the "file://" of a file
// URL removed, and on Windows "|" made ":" and "/" made "\". The empty text when the
// decoded reference holds a NUL character, which no file name can.
std::string ReferenceToPath(std::string_view reference);

// Whether a reference is left out on purpose: an address with a scheme ("http:",
// "mailto:", "data:", "javascript:"...) other than "file:" (two or more letters, digits,
// "+", "-" or "." before the first ":", the first a letter: a Windows drive letter is one
// letter and so not a scheme), or a protocol-relative "//host/..." address.
bool IsExternalReference(std::string_view reference);

// Whether a reference (as written) names a path from the site's root: it starts with one
// "/" (not "//") and is no file URL.
bool IsRootReference(std::string_view reference);

} // namespace vlm
