// Scanning one document of link discovery (a page, a stylesheet, an SVG picture): it is
// read in pieces, a page's tags found with memchr, and each reference turned into a full
// path. The scan raises no event: it reports the byte counts the progress bar goes by and
// the references in page order, so that it can run on the calling thread with the bar
// following it, or on a worker that reads pages ahead while the calling thread replays
// what it found.
#pragma once

#include "pipeline/UReferences.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vlm {

class TFileStream;

// One reference of a page, as written and as a full path (both never empty).
struct TPageReference {
    uint64_t Advance = 0; // the bytes the bar has counted when the reference is taken
    uint64_t Line = 0;    // line of the tag's "<"; counted only when asked for
    std::string Written;
    std::string Path;
};

// Where a document lies: its folder (a full path ending in the delimiter), against which
// its relative references are taken, and the home page's folder, against which a
// reference from the site's root ("/license.html") is taken when no file is at that
// absolute path.
struct TScanPlace {
    std::string Folder;
    std::string HomeRoot;
};

// Scans the document in, of the given kind, which is size bytes long and lies at place.
// advance(n) is called, with growing n, wherever the bar is to have counted n bytes;
// reference(r) for every reference, in the order they stand, after the advance to the end
// of its tag (or, in a stylesheet, of its address). A read error raises an EVlmError
// naming the file and the reason.
void ScanPage(TFileStream& in, uint64_t size, TDocumentKind kind, const TScanPlace& place,
              bool countLines, const std::function<void(uint64_t)>& advance,
              const std::function<void(TPageReference&&)>& reference);

// A page as a worker scanned it.
struct TScannedPage {
    std::string Page;
    uint64_t Size = 0;
    std::vector<TPageReference> References;
    uint64_t LastAdvance = 0;
    // The page could not be opened (nothing of it happened), or reading it failed after
    // its references were found.
    bool OpenFailed = false;
    std::exception_ptr Error;
};

// Worker threads that scan pages in the order they are asked for, a bounded number ahead
// of the caller, who takes the results in the same order.
class TPageReader {
public:
    // homeRoot: as TScanPlace's.
    TPageReader(unsigned threads, bool countLines, std::string homeRoot);
    ~TPageReader();
    TPageReader(const TPageReader&) = delete;
    TPageReader& operator=(const TPageReader&) = delete;

    // How many more pages may be asked for now.
    size_t Room() const;
    void Ask(const std::string& page);
    // Waits for the oldest page asked for and hands it over. The wait is for one page at
    // most: the workers begin pages in the order they were asked for. The caller's events
    // (and Cancel) wait with it, as they would for the page on the calling thread.
    TScannedPage Take();

private:
    struct TSlot {
        TScannedPage Result;
        bool Done = false;
    };
    void Work();

    const bool FCountLines;
    const std::string FHomeRoot;
    mutable std::mutex FLock;
    std::condition_variable FWake;               // for the workers: a page was asked for, or stop
    std::condition_variable FDone;               // for the caller: a page is scanned
    std::deque<std::shared_ptr<TSlot>> FAsked;   // in order, until taken
    std::deque<std::shared_ptr<TSlot>> FPending; // not yet begun by a worker
    std::atomic<bool> FStop = false;
    std::vector<std::thread> FWorkers;
};

} // namespace vlm
