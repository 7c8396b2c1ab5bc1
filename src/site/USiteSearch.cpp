#include "site/USiteSearch.h"

#include "archive/arcPipeline.h"
#include "platform/UOrderedWork.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>
#include <optional>

namespace vlm {

namespace {

// Pages larger than this are left out of a search rather than held in memory.
constexpr uint64_t MaxSearchedPage = 16u << 20;
// Words shown on each side of a match.
constexpr int ExcerptWords = 8;
// Pages searched ahead of the one the caller takes, for each worker.
constexpr size_t AheadPerWorker = 16;

bool IsPageName(std::string_view name) {
    const std::string ext = LowerCase(ExtractFileExt(name));
    return ext == ".htm" || ext == ".html";
}

void AppendUtf8(std::string& text, uint32_t c) {
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

struct TEntity {
    std::string_view Name;
    uint32_t Code;
};

// The named references pages use for punctuation, symbols and the Latin letters; a
// non-breaking space is a blank here, so that words around it are found.
constexpr TEntity Entities[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"nbsp", ' '},      {"ensp", ' '},      {"emsp", ' '},
    {"thinsp", ' '},    {"ndash", 0x2013},  {"mdash", 0x2014},  {"hellip", 0x2026},
    {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},
    {"rdquo", 0x201D},  {"bdquo", 0x201E},  {"laquo", 0xAB},    {"raquo", 0xBB},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"bull", 0x2022},   {"middot", 0xB7},
    {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030}, {"prime", 0x2032},
    {"Prime", 0x2033},  {"trade", 0x2122},  {"copy", 0xA9},     {"reg", 0xAE},
    {"deg", 0xB0},      {"plusmn", 0xB1},   {"times", 0xD7},    {"divide", 0xF7},
    {"minus", 0x2212},  {"le", 0x2264},     {"ge", 0x2265},     {"ne", 0x2260},
    {"larr", 0x2190},   {"uarr", 0x2191},   {"rarr", 0x2192},   {"darr", 0x2193},
    {"harr", 0x2194},   {"lArr", 0x21D0},   {"rArr", 0x21D2},   {"hArr", 0x21D4},
    {"para", 0xB6},     {"sect", 0xA7},     {"euro", 0x20AC},   {"pound", 0xA3},
    {"yen", 0xA5},      {"cent", 0xA2},     {"curren", 0xA4},   {"shy", 0xAD},
    {"iexcl", 0xA1},    {"iquest", 0xBF},   {"brvbar", 0xA6},   {"uml", 0xA8},
    {"ordf", 0xAA},     {"ordm", 0xBA},     {"not", 0xAC},      {"macr", 0xAF},
    {"acute", 0xB4},    {"micro", 0xB5},    {"cedil", 0xB8},    {"sup1", 0xB9},
    {"sup2", 0xB2},     {"sup3", 0xB3},     {"frac14", 0xBC},   {"frac12", 0xBD},
    {"frac34", 0xBE},   {"Agrave", 0xC0},   {"Aacute", 0xC1},   {"Acirc", 0xC2},
    {"Atilde", 0xC3},   {"Auml", 0xC4},     {"Aring", 0xC5},    {"AElig", 0xC6},
    {"Ccedil", 0xC7},   {"Egrave", 0xC8},   {"Eacute", 0xC9},   {"Ecirc", 0xCA},
    {"Euml", 0xCB},     {"Igrave", 0xCC},   {"Iacute", 0xCD},   {"Icirc", 0xCE},
    {"Iuml", 0xCF},     {"ETH", 0xD0},      {"Ntilde", 0xD1},   {"Ograve", 0xD2},
    {"Oacute", 0xD3},   {"Ocirc", 0xD4},    {"Otilde", 0xD5},   {"Ouml", 0xD6},
    {"Oslash", 0xD8},   {"Ugrave", 0xD9},   {"Uacute", 0xDA},   {"Ucirc", 0xDB},
    {"Uuml", 0xDC},     {"Yacute", 0xDD},   {"THORN", 0xDE},    {"szlig", 0xDF},
    {"agrave", 0xE0},   {"aacute", 0xE1},   {"acirc", 0xE2},    {"atilde", 0xE3},
    {"auml", 0xE4},     {"aring", 0xE5},    {"aelig", 0xE6},    {"ccedil", 0xE7},
    {"egrave", 0xE8},   {"eacute", 0xE9},   {"ecirc", 0xEA},    {"euml", 0xEB},
    {"igrave", 0xEC},   {"iacute", 0xED},   {"icirc", 0xEE},    {"iuml", 0xEF},
    {"eth", 0xF0},      {"ntilde", 0xF1},   {"ograve", 0xF2},   {"oacute", 0xF3},
    {"ocirc", 0xF4},    {"otilde", 0xF5},   {"ouml", 0xF6},     {"oslash", 0xF8},
    {"ugrave", 0xF9},   {"uacute", 0xFA},   {"ucirc", 0xFB},    {"uuml", 0xFC},
    {"yacute", 0xFD},   {"thorn", 0xFE},    {"yuml", 0xFF},     {"OElig", 0x152},
    {"oelig", 0x153},
};

// Decodes the reference at text[i] ("&...;") into out and moves i past it; false (and
// nothing done) when it is none we know.
bool DecodeReference(std::string_view text, size_t& i, std::string& out) {
    const size_t end = text.find(';', i + 1);
    if (end == std::string_view::npos || end - i > 12 || end == i + 1)
        return false;
    const std::string_view body = text.substr(i + 1, end - i - 1);
    uint32_t code = 0;
    if (body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty())
            return false;
        for (const char c : digits) {
            const int value = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
            if (value < 0)
                return false;
            code =
                std::min<uint32_t>(code * (hex ? 16 : 10) + static_cast<uint32_t>(value), 0x110000);
        }
    } else {
        const auto it = std::find_if(std::begin(Entities), std::end(Entities),
                                     [&](const TEntity& e) { return e.Name == body; });
        if (it == std::end(Entities))
            return false;
        code = it->Code;
    }
    AppendUtf8(out, code);
    i = end + 1;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The lower-case name of the tag that starts at html[i] ("<p class=...>" gives "p"), with
// whether it is an end tag.
std::string TagName(std::string_view html, size_t i, bool& closing) {
    size_t k = i + 1;
    closing = k < html.size() && html[k] == '/';
    if (closing)
        ++k;
    std::string name;
    for (; k < html.size() && name.size() < 12; ++k) {
        const char c = html[k];
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c))
            break;
        name += AsciiLower(c);
    }
    return name;
}

// Elements that part the words around them; inline ones (b, a, span, code...) do not.
bool IsBlockElement(std::string_view name) {
    static constexpr std::string_view Blocks[] = {
        "address", "article", "aside",    "blockquote", "br",      "caption", "dd",    "div",
        "dl",      "dt",      "fieldset", "figure",     "footer",  "form",    "h1",    "h2",
        "h3",      "h4",      "h5",       "h6",         "header",  "hr",      "li",    "main",
        "nav",     "ol",      "p",        "pre",        "section", "table",   "tbody", "td",
        "tfoot",   "th",      "thead",    "tr",         "ul",      "option",  "img"};
    return std::find(std::begin(Blocks), std::end(Blocks), name) != std::end(Blocks);
}

void AppendBlank(std::string& text) {
    if (!text.empty() && text.back() != ' ')
        text += ' ';
}

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

// Where the word that holds text[at] begins, going back count words further.
size_t WordsBefore(const std::string& text, size_t at, int count) {
    while (at > 0 && count >= 0) {
        --at;
        if (text[at] == ' ' && --count < 0)
            return at + 1;
    }
    return 0;
}

size_t WordsAfter(const std::string& text, size_t at, int count) {
    for (; at < text.size(); ++at)
        if (text[at] == ' ' && --count < 0)
            return at;
    return text.size();
}

std::string Excerpt(const std::string& text, size_t at, size_t length) {
    const size_t from = WordsBefore(text, at, ExcerptWords);
    const size_t to = WordsAfter(text, at + length, ExcerptWords);
    return (from > 0 ? "\xE2\x80\xA6" : "") + Trimmed(text.substr(from, to - from)) +
           (to < text.size() ? "\xE2\x80\xA6" : "");
}

std::string Normalised(std::string_view words) {
    std::string text;
    for (const char c : words) {
        if (IsBlank(c))
            AppendBlank(text);
        else
            text += c;
    }
    return Trimmed(text);
}

} // namespace

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '&' && DecodeReference(text, i, out))
            continue;
        out += text[i++];
    }
    return out;
}

std::string PageText(std::string_view html) {
    std::string text;
    text.reserve(html.size());
    for (size_t i = 0; i < html.size();) {
        const char c = html[i];
        if (c == '<') {
            bool closing = false;
            const std::string name = TagName(html, i, closing);
            const size_t close = html.find('>', i);
            size_t next = close == std::string_view::npos ? html.size() : close + 1;
            if (!closing && (name == "script" || name == "style" || name == "title")) {
                const size_t end = FindText(html, "</" + name, next);
                next = end == std::string_view::npos
                           ? html.size()
                           : std::min(html.size(), html.find('>', end) + 1);
                AppendBlank(text);
            } else if (IsBlockElement(name)) {
                AppendBlank(text);
            }
            i = next;
        } else if (c == '&' && DecodeReference(html, i, text)) {
            if (text.back() == ' ' && text.size() >= 2 && text[text.size() - 2] == ' ')
                text.pop_back();
        } else if (IsBlank(c)) {
            AppendBlank(text);
            ++i;
        } else {
            text += c;
            ++i;
        }
    }
    return Trimmed(text);
}

std::string PageTitle(std::string_view html) {
    const size_t open = FindText(html, "<title");
    if (open == std::string_view::npos)
        return {};
    const size_t start = html.find('>', open);
    const size_t end = FindText(html, "</title", open);
    if (start == std::string_view::npos || end == std::string_view::npos || end < start)
        return {};
    return Normalised(DecodeCharacterReferences(html.substr(start + 1, end - start - 1)));
}

TSiteSearch::TSiteSearch(TArchiveSite& site, std::string_view words, unsigned threads)
    : FSite(site), FNeedle(Normalised(words)), FThreads(WorkerCount(static_cast<int>(threads))) {}

size_t TSiteSearch::Run(const std::function<void(TSearchHit&&)>& onHit,
                        const std::atomic<bool>* stop) {
    if (FNeedle.empty())
        return 0;
    const auto& members = FSite.Reader().Members();
    const auto searchPage = [this](size_t& index) -> std::optional<TSearchHit> {
        // Each page through a reader of its own: the archive's own stream is not shared
        // between threads.
        std::string html;
        try {
            const std::unique_ptr<TMemberReader> member = FSite.Open(index);
            html.resize(static_cast<size_t>(member->Size()));
            size_t got = 0;
            while (got < html.size()) {
                const size_t n = member->Read(html.data() + got, html.size() - got);
                if (n == 0)
                    break;
                got += n;
            }
            char end;
            member->Read(&end, 1); // the end of the data, where its CRC is checked
        } catch (const EVlmError&) {
            return std::nullopt; // a damaged page is reported when it is opened
        }
        const std::string text = PageText(html);
        const size_t at = FindText(text, FNeedle);
        if (at == std::string::npos)
            return std::nullopt;
        TSearchHit hit{FSite.Address(index), PageTitle(html), Excerpt(text, at, FNeedle.size())};
        if (hit.Title.empty())
            hit.Title = ExtractFileName(hit.Path);
        return hit;
    };
    TOrderedWork<size_t, std::optional<TSearchHit>> work(FThreads, AheadPerWorker * FThreads,
                                                         [&] { return searchPage; });
    size_t next = 0; // the next member to look at
    const auto feed = [&] {
        for (; next < members.size() && work.Pending() < 2 * AheadPerWorker * FThreads; ++next)
            if (IsPageName(members[next].Name) &&
                members[next].UncompressedSize <= MaxSearchedPage && FSite.IsSiteMember(next))
                work.Add(next);
    };
    size_t found = 0;
    for (feed(); work.Pending() > 0; feed()) {
        if (stop && stop->load())
            break;
        if (std::optional<TSearchHit> hit = work.Take()) {
            ++found;
            onHit(std::move(*hit));
        }
    }
    return found;
}

std::vector<TSearchHit> SearchSite(TArchiveSite& site, std::string_view words) {
    std::vector<TSearchHit> hits;
    TSiteSearch(site, words).Run([&](TSearchHit&& hit) { hits.push_back(std::move(hit)); });
    return hits;
}

} // namespace vlm
