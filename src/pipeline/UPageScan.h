// Scanning one document of link discovery (a page, a stylesheet, an SVG picture): it is
// read in pieces, a page's tags found with memchr, and each reference turned into a full
// path. The scan raises no event: it hands over the references in page order, each with
// the bytes read when it was found, so that it can run on the calling thread or on a
// worker that reads pages ahead while the calling thread takes what it found.
#pragma once

#include "pipeline/UReferences.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
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

// A document as it was scanned.
struct TScannedPage {
    std::string Page;
    uint64_t Size = 0;
    std::vector<TPageReference> References;
    uint64_t LastAdvance = 0;
    // The document could not be opened (nothing of it happened), or reading it failed (or
    // was stopped: EAbort) after the references before were found.
    bool OpenFailed = false;
    std::exception_ptr Error;
};

// Opens and scans one document, on whatever thread: a page, or by its extension a
// stylesheet or SVG picture. homeRoot as TScanPlace's. stop is asked now and then while a
// long document is read; when it says yes the scan ends with EAbort. Never raises: what
// went wrong is in the result.
TScannedPage ScanDocument(const std::string& fileName, bool countLines, const std::string& homeRoot,
                          const std::function<bool()>& stop = {});

} // namespace vlm
