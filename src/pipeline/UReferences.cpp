#include "pipeline/UReferences.h"

#include "pipeline/UCssScan.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>
#include <cstddef>

namespace vlm {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// name (lower case) equals text without regard to ASCII letter case.
bool IsName(std::string_view text, std::string_view name) {
    if (text.size() != name.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (AsciiLower(text[i]) != name[i])
            return false;
    return true;
}

struct TAttribute {
    std::string_view Name;
    std::string_view Value;
    bool HasValue = false; // written with "="
};

// The tag's name: its first word ("/style" for a closing tag; empty when the tag starts
// with a blank).
std::string_view TagName(std::string_view tag) {
    size_t end = 0;
    while (end < tag.size() && !IsBlank(tag[end]) && (tag[end] != '/' || end == 0))
        ++end;
    return tag.substr(0, end);
}

// Calls visit for every attribute after the tag's name, in order, until it returns false.
// Values are double-quoted, single-quoted (an unterminated quote gives the empty value)
// or run to the next blank; blanks around "=" are allowed.
template <typename F> void ForEachAttribute(std::string_view tag, F visit) {
    size_t p = TagName(tag).size();
    const size_t n = tag.size();
    while (p < n) {
        while (p < n && (IsBlank(tag[p]) || tag[p] == '/'))
            ++p;
        if (p >= n)
            return;
        const size_t nameStart = p++; // a name may start with "=" but holds none after it
        while (p < n && !IsBlank(tag[p]) && tag[p] != '=' && tag[p] != '/')
            ++p;
        TAttribute attribute;
        attribute.Name = tag.substr(nameStart, p - nameStart);
        size_t q = p;
        while (q < n && IsBlank(tag[q]))
            ++q;
        if (q < n && tag[q] == '=') {
            attribute.HasValue = true;
            p = q + 1;
            while (p < n && IsBlank(tag[p]))
                ++p;
            if (p + 1 < n && tag[p] == '\\' && (tag[p + 1] == '"' || tag[p + 1] == '\'')) {
                // Markup inside a script's string (href=\"a.htm\"): the page's script puts
                // it in place with the value unescaped.
                const char quote[2] = {'\\', tag[p + 1]};
                const size_t close = tag.find(std::string_view(quote, 2), p + 2);
                attribute.Value =
                    tag.substr(p + 2, close == std::string_view::npos ? 0 : close - p - 2);
                p = close == std::string_view::npos ? n : close + 2;
            } else if (p < n && (tag[p] == '"' || tag[p] == '\'')) {
                const size_t close = tag.find(tag[p], p + 1);
                if (close == std::string_view::npos) {
                    p = n;
                } else {
                    attribute.Value = tag.substr(p + 1, close - p - 1);
                    p = close + 1;
                }
            } else {
                const size_t start = p;
                while (p < n && !IsBlank(tag[p]))
                    ++p;
                attribute.Value = tag.substr(start, p - start);
            }
        }
        if (!visit(attribute))
            return;
    }
}

// The slot of the tag's own reference an attribute fills: 0 src, 1 href, 2 background.
int DescribedSlot(std::string_view name) {
    if (IsName(name, "src"))
        return 0;
    if (IsName(name, "href") || IsName(name, "xlink:href"))
        return 1;
    if (IsName(name, "background"))
        return 2;
    return -1;
}

void Push(std::vector<std::string>& references, std::string_view value) {
    const std::string_view clean = CleanReference(value);
    if (!clean.empty())
        references.emplace_back(clean);
}

// A style attribute's value with the entities a stylesheet in an attribute needs decoded
// ("url(&quot;a.png&quot;)").
std::string DecodeAttributeEntities(std::string_view value) {
    if (value.find('&') == std::string_view::npos)
        return std::string(value);
    static constexpr std::pair<std::string_view, char> Entities[] = {
        {"&quot;", '"'}, {"&apos;", '\''}, {"&#39;", '\''}, {"&#34;", '"'},
        {"&amp;", '&'},  {"&lt;", '<'},    {"&gt;", '>'}};
    std::string out;
    for (size_t i = 0; i < value.size();) {
        bool decoded = false;
        for (const auto& [entity, c] : Entities)
            if (value.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size();
                decoded = true;
                break;
            }
        if (!decoded)
            out += value[i++];
    }
    return out;
}

// One pass over a tag: the values of the three names of its own reference (the first of
// each), and, when added is given, the other references in the order they stand.
struct TTagReferences {
    std::string_view Described[3];
    bool Found[3] = {false, false, false};
    bool Metadata = false; // a link element without rel

    TTagReferences(std::string_view tag, TDocumentKind kind, std::vector<std::string>* added) {
        const std::string_view name = TagName(tag);
        const bool html = kind == TDocumentKind::Html;
        const bool srcset = html && (IsName(name, "img") || IsName(name, "source"));
        const bool object = html && IsName(name, "object");
        const bool link = html && IsName(name, "link");
        bool rel = false;
        ForEachAttribute(tag, [&](const TAttribute& a) {
            rel = rel || IsName(a.Name, "rel");
            if (!a.HasValue)
                return true;
            if (html) {
                const int slot = DescribedSlot(a.Name);
                if (slot >= 0 && !Found[slot]) {
                    Found[slot] = true;
                    Described[slot] = a.Value;
                }
            }
            if (added == nullptr)
                return !Found[0] || link;
            if (!html && (IsName(a.Name, "href") || IsName(a.Name, "xlink:href")))
                Push(*added, a.Value);
            else if (srcset && IsName(a.Name, "srcset"))
                SrcsetUrls(a.Value, *added);
            else if (html && ((object && IsName(a.Name, "data")) || IsName(a.Name, "poster")))
                Push(*added, a.Value);
            else if (IsName(a.Name, "style"))
                CssReferences(DecodeAttributeEntities(a.Value), *added);
            return true;
        });
        Metadata = link && !rel;
    }

    // The first of the names in their order, whatever their place in the tag.
    std::string_view Own() const {
        for (int slot = 0; slot < 3; ++slot)
            if (Found[slot])
                return CleanReference(Described[slot]);
        return {};
    }
};

} // namespace

TDocumentKind DocumentKindOf(std::string_view path) {
    const std::string ext = ExtractFileExt(path);
    if (ext == ".htm" || ext == ".html")
        return TDocumentKind::Html;
    if (SameText(ext, ".css"))
        return TDocumentKind::Css;
    if (SameText(ext, ".svg"))
        return TDocumentKind::Svg;
    return TDocumentKind::None;
}

std::string_view CleanReference(std::string_view value) {
    size_t begin = 0;
    size_t end = value.size();
    while (begin < end && IsBlank(value[begin]))
        ++begin;
    while (end > begin && IsBlank(value[end - 1]))
        --end;
    value = value.substr(begin, end - begin);
    // A script's template ("static.files/${f}") is filled in at run time: it names no file.
    if (value.find("${") != std::string_view::npos)
        return {};
    return value.substr(0, value.find_first_of("?#"));
}

std::string FindReference(std::string_view tag) {
    if (tag.find('=') == std::string_view::npos)
        return {};
    const TTagReferences found(tag, TDocumentKind::Html, nullptr);
    return found.Metadata ? std::string() : std::string(found.Own());
}

void FindReferences(std::string_view tag, TDocumentKind kind,
                    std::vector<std::string>& references) {
    if (tag.find('=') == std::string_view::npos)
        return; // every reference is an attribute's value
    const size_t first = references.size();
    const TTagReferences found(tag, kind, &references);
    if (found.Metadata) {
        references.resize(first);
        return;
    }
    // The tag's own reference comes before the ones it adds.
    if (const std::string_view own = found.Own(); !own.empty())
        references.emplace(references.begin() + static_cast<ptrdiff_t>(first), own);
}

bool OpensStyleElement(std::string_view tag) {
    return IsName(TagName(tag), "style") && (tag.empty() || tag.back() != '/');
}

void SrcsetUrls(std::string_view value, std::vector<std::string>& urls) {
    // Candidates are "URL [descriptor]" separated by commas; a URL runs to the next blank
    // (commas at its end belong to the separator), a descriptor to the next comma outside
    // parentheses.
    size_t p = 0;
    const size_t n = value.size();
    while (p < n) {
        while (p < n && (IsBlank(value[p]) || value[p] == ','))
            ++p;
        const size_t start = p;
        while (p < n && !IsBlank(value[p]))
            ++p;
        std::string_view url = value.substr(start, p - start);
        bool ended = false;
        while (!url.empty() && url.back() == ',') {
            url.remove_suffix(1);
            ended = true;
        }
        Push(urls, url);
        if (ended)
            continue;
        int depth = 0;
        while (p < n && (value[p] != ',' || depth > 0)) {
            depth += value[p] == '(' ? 1 : value[p] == ')' && depth > 0 ? -1 : 0;
            ++p;
        }
    }
}

std::string ReferenceToPath(std::string_view reference) {
    std::string path = reference.find('%') == std::string_view::npos ? std::string(reference)
                                                                     : PercentDecode(reference);
    if (path.find('\0') != std::string::npos)
        return {};
    if (path.find('/') == std::string::npos)
        return path;
    if constexpr (PathDelim == '\\') {
        if (const size_t pos = FindText(path, "file:///"); pos != std::string::npos)
            path.erase(pos, 8);
        else if (const size_t pos7 = FindText(path, "file://"); pos7 != std::string::npos)
            path.erase(pos7, 7);
        std::replace(path.begin(), path.end(), '|', ':');
        std::replace(path.begin(), path.end(), '/', '\\');
    } else {
        // "file:///home/a.htm" keeps the slash that starts the absolute path.
        if (path.find(':') == std::string::npos)
            return path;
        if (const size_t pos = FindText(path, "file://"); pos != std::string::npos)
            path.erase(pos, 7);
    }
    return path;
}

namespace {} // namespace

bool IsExternalReference(std::string_view reference) {
    if (reference.size() >= 2 && reference[0] == '/' && reference[1] == '/')
        return true;
    const size_t colon = reference.find(':');
    if (colon == std::string_view::npos || colon < 2 || !IsAsciiLetter(reference[0]))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const char c = reference[i];
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return !SameText(reference.substr(0, colon), "file");
}

bool IsRootReference(std::string_view reference) {
    return !reference.empty() && reference[0] == '/' &&
           (reference.size() == 1 || reference[1] != '/');
}

} // namespace vlm
