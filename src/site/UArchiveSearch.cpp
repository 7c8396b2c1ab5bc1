// Advanced Find: a full-text search over every page of the site in the archive. A page's
// text is its HTML with tags, scripts and styles left out and the common entities decoded.
#include "site/UArchiveSite.h"

#include "platform/UPaths.h"
#include "platform/UText.h"

namespace vlm {

namespace {

// Pages larger than this are left out of a search rather than held in memory.
constexpr uint64_t MaxSearchedPage = 16u << 20;
constexpr size_t ExcerptContext = 40;

bool IsPageName(std::string_view name) {
    const std::string ext = LowerCase(ExtractFileExt(name));
    return ext == ".htm" || ext == ".html";
}

// Skips from an element's start tag to the end of its closing tag ("</script>").
size_t SkipElement(std::string_view html, size_t tagEnd, std::string_view closing) {
    const size_t end = FindText(html, closing, tagEnd);
    return end == std::string_view::npos ? html.size() : end + closing.size();
}

void AppendEntity(std::string_view html, size_t& i, std::string& text) {
    static const std::pair<std::string_view, char> entities[] = {{"&amp;", '&'},  {"&lt;", '<'},
                                                                 {"&gt;", '>'},   {"&quot;", '"'},
                                                                 {"&nbsp;", ' '}, {"&#39;", '\''}};
    for (const auto& [name, c] : entities) {
        if (html.compare(i, name.size(), name) == 0) {
            text += c;
            i += name.size();
            return;
        }
    }
    text += html[i++];
}

// The visible text of a page, runs of white space made one blank.
std::string PageText(std::string_view html) {
    std::string text;
    text.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const size_t close = html.find('>', i);
            const size_t tagEnd = close == std::string_view::npos ? html.size() : close + 1;
            const std::string_view tag = html.substr(i, tagEnd - i);
            if (StartsText("<script", tag))
                i = SkipElement(html, tagEnd, "</script>");
            else if (StartsText("<style", tag))
                i = SkipElement(html, tagEnd, "</style>");
            else if (StartsText("<title", tag))
                i = SkipElement(html, tagEnd, "</title>");
            else
                i = tagEnd;
            text += ' ';
        } else if (c == '&') {
            AppendEntity(html, i, text);
        } else {
            text += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
            ++i;
        }
        if (text.size() >= 2 && text.back() == ' ' && text[text.size() - 2] == ' ')
            text.pop_back();
    }
    return text;
}

std::string PageTitle(std::string_view html) {
    const size_t open = FindText(html, "<title");
    if (open == std::string_view::npos)
        return {};
    const size_t start = html.find('>', open);
    const size_t end = FindText(html, "</title>", open);
    if (start == std::string_view::npos || end == std::string_view::npos || end < start)
        return {};
    return PageText(html.substr(start + 1, end - start - 1));
}

std::string Trimmed(std::string text) {
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

} // namespace

std::vector<TSearchHit> TArchiveSite::Search(std::string_view text) {
    std::vector<TSearchHit> hits;
    const std::string needle = Trimmed(std::string(text));
    if (needle.empty())
        return hits;
    const auto& members = FReader->Members();
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string& name = members[i].Name;
        if (!IsPageName(name) || members[i].UncompressedSize > MaxSearchedPage ||
            Find(Address(i)) != i)
            continue;
        std::string html;
        try {
            html = ReadAll(i);
        } catch (const EArchiveError&) {
            continue; // a damaged page is reported when it is opened, not by every search
        }
        const std::string body = PageText(html);
        const size_t at = FindText(body, needle);
        if (at == std::string::npos)
            continue;
        const size_t from = at > ExcerptContext ? at - ExcerptContext : 0;
        TSearchHit hit{Address(i), Trimmed(PageTitle(html)),
                       Trimmed(body.substr(from, needle.size() + 2 * ExcerptContext))};
        if (hit.Title.empty())
            hit.Title = ExtractFileName(hit.Path);
        hits.push_back(std::move(hit));
    }
    return hits;
}

} // namespace vlm
