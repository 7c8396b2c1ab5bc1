// Advanced Find: a full-text search over every page of the site in an archive. Pages are
// read, decrypted, inflated and searched on worker threads, and the pages found come back
// in archive order as they are found, so the first result shows at once and a search can
// be stopped at any page.
#pragma once

#include "site/UArchiveSite.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

struct TSearchHit {
    std::string Path;    // the page's address ("/srv/site/docs/a.htm")
    std::string Title;   // the page's <title> as shown, or its file name when it has none
    std::string Excerpt; // a few words around the first match, cut at word boundaries
};

// The text of a page as a reader sees it: tags left out (block elements part words,
// inline ones do not), scripts, styles and the title left out, character references
// decoded to UTF-8, runs of white space made one blank.
std::string PageText(std::string_view html);
// The page's title as shown, or the empty text.
std::string PageTitle(std::string_view html);
// "&ndash;" as "–", "&#233;" as "é"; an unknown reference stays as it is.
std::string DecodeCharacterReferences(std::string_view text);

class TSiteSearch {
public:
    // words: the text to find; letter case (ASCII) and the white space between words do
    // not count. threads: 0 as many as the machine runs at once.
    TSiteSearch(TArchiveSite& site, std::string_view words, unsigned threads = 0);

    // Searches the site's pages (".htm"/".html" in any letter case) in archive order and
    // calls onHit for each page that holds the words, in that order, on the calling thread.
    // Stops after the page in hand when stop becomes true. Returns the pages found. A page
    // that cannot be read is passed over (it is reported when it is opened).
    size_t Run(const std::function<void(TSearchHit&&)>& onHit,
               const std::atomic<bool>* stop = nullptr);

private:
    TArchiveSite& FSite;
    std::string FNeedle;
    unsigned FThreads;
};

// The whole search at once (tests and small sites).
std::vector<TSearchHit> SearchSite(TArchiveSite& site, std::string_view words);

} // namespace vlm
