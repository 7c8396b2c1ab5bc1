#include "pipeline/UPageScan.h"

#include "pipeline/UCssScan.h"
#include "pipeline/UReferences.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace vlm {

namespace {

// Pages are read in pieces of this size; nearly every page is one piece.
constexpr size_t ReadChunk = size_t{1} << 20;
// A long page looks at its stop request about this often (in bytes read).
constexpr uint64_t StopPollBytes = 4096;

size_t ReadChunkOf(TFileStream& in, char* buffer, size_t want) {
    try {
        size_t got = 0;
        while (got < want) {
            const size_t n = in.Read(buffer + got, want - got);
            if (n == 0)
                break;
            got += n;
        }
        return got;
    } catch (const EReadError& e) {
        throw EVlmError(FormatMessage("Cannot read file \"%s\". %s",
                                      {in.FileName(), SysErrorMessage(e.ErrorNumber)}));
    }
}

// Pages hold long lines (many are one line of tags): the line ends are found with memchr.
uint64_t CountLineEnds(const char* p, const char* end) {
    uint64_t count = 0;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
        ++count;
        ++p;
    }
    return count;
}

} // namespace

namespace {

bool IsNameChar(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-';
}

// The path a reference names. One from the site's root ("/license.html") names the file at
// that absolute path when there is one, and otherwise the file under the home page's
// folder, as the viewer, whose addresses are the members' full paths, will find it.
std::string PathOf(const std::string& written, const std::string& relative,
                   const TScanPlace& place) {
    // Folder is a full path already: joining is all ExpandFileName would do to it.
    std::string path =
        ExpandFileName(IsAbsolutePath(relative) ? relative : place.Folder + relative);
    if (IsRootReference(written) && !place.HomeRoot.empty() && !FileExists(path)) {
        size_t skip = 0;
        while (skip < relative.size() && IsFolderDelimiter(relative[skip]))
            ++skip;
        path = ExpandFileName(place.HomeRoot + relative.substr(skip));
    }
    return path;
}

// One document's scan, fed piece by piece. A page's (or SVG picture's) text is tags and
// what lies between them; after a <style> tag it is a stylesheet up to "</style".
class TDocumentScan {
public:
    TDocumentScan(TDocumentKind kind, const TScanPlace& place, bool countLines,
                  const std::function<void(uint64_t)>& advance,
                  const std::function<void(TPageReference&&)>& reference)
        : FKind(kind), FPlace(place), FCountLines(countLines), FAdvance(advance),
          FReference(reference) {}

    // The bytes [begin, end), which follow the first read bytes of the document.
    void Chunk(const char* begin, const char* end, uint64_t read);
    // The document ended after read bytes.
    void End(uint64_t read);

private:
    static constexpr std::string_view StyleEnd = "</style";

    void Advance(uint64_t n) {
        if (n < FAdvanced)
            return;
        FAdvanced = n;
        FAdvance(n);
    }
    void Markup(const char* begin, const char*& p, const char* end, uint64_t read);
    void Style(const char* begin, const char*& p, const char* end, uint64_t read);
    // Feeds [from, to) to the stylesheet scan; what it finds is taken at its end.
    void FeedCss(std::string_view text, uint64_t at);
    void TakeTag();
    void Take(std::string&& written, uint64_t line);

    const TDocumentKind FKind;
    const TScanPlace& FPlace;
    const bool FCountLines;
    const std::function<void(uint64_t)>& FAdvance;
    const std::function<void(TPageReference&&)>& FReference;
    uint64_t FAdvanced = 0;
    std::string FTag;
    bool FInTag = false;
    uint64_t FLine = 1;
    uint64_t FTagLine = 1;
    bool FInStyle = false;
    size_t FClose = 0; // the characters of "</style" met so far inside a style element
    TCssScanner FCss;
    std::vector<std::string> FFound;
};

void TDocumentScan::Take(std::string&& written, uint64_t line) {
    const std::string relative = ReferenceToPath(written);
    if (relative.empty())
        return;
    std::string path = PathOf(written, relative, FPlace);
    FReference({0, line, std::move(written), std::move(path)});
}

void TDocumentScan::TakeTag() {
    FFound.clear();
    FindReferences(FTag, FKind, FFound);
    for (std::string& written : FFound)
        Take(std::move(written), FTagLine);
}

void TDocumentScan::FeedCss(std::string_view text, uint64_t at) {
    FCss.Feed(text, [&](std::string&& written, uint64_t line, size_t end) {
        Advance(at + end);
        Take(std::move(written), line);
    });
}

// A tag is the text between "<" and the next ">"; a "<" inside it is part of it. The bar
// goes as if bytes were counted one by one: before each byte, and after each ">".
void TDocumentScan::Markup(const char* begin, const char*& p, const char* end, uint64_t read) {
    const char wanted = FInTag ? '>' : '<';
    const auto* hit = static_cast<const char*>(std::memchr(p, wanted, end - p));
    const char* const stop = hit ? hit : end;
    if (FInTag)
        FTag.append(p, stop);
    if (FCountLines)
        FLine += CountLineEnds(p, stop);
    Advance(read + static_cast<uint64_t>((hit ? hit : end - 1) - begin));
    if (!hit) {
        p = end;
        return;
    }
    p = hit + 1;
    if (!FInTag) {
        FInTag = true;
        FTag.clear();
        FTagLine = FLine;
        return;
    }
    FInTag = false;
    Advance(read + static_cast<uint64_t>(p - begin));
    TakeTag();
    if (OpensStyleElement(FTag)) {
        FInStyle = true;
        FClose = 0;
        FCss = TCssScanner(FLine);
    }
}

void TDocumentScan::Style(const char* begin, const char*& p, const char* end, uint64_t read) {
    while (p < end) {
        if (FClose == 0) {
            const auto* lt = static_cast<const char*>(std::memchr(p, '<', end - p));
            const char* const stop = lt ? lt : end;
            if (FCountLines)
                FLine += CountLineEnds(p, stop);
            FeedCss(std::string_view(p, static_cast<size_t>(stop - p)),
                    read + static_cast<uint64_t>(p - begin));
            p = stop;
            if (lt != nullptr) {
                FClose = 1;
                ++p;
            }
            continue;
        }
        const char c = *p;
        if (FClose < StyleEnd.size() && AsciiLower(c) == StyleEnd[FClose]) {
            ++FClose;
            ++p;
            continue;
        }
        if (FClose == StyleEnd.size() && !IsNameChar(c)) {
            // The element's end tag begins: the stylesheet ends, the tag is read as any.
            FCss.Finish([&](std::string&& written, uint64_t line, size_t) {
                Take(std::move(written), line);
            });
            FInStyle = false;
            FClose = 0;
            FInTag = true;
            FTag = StyleEnd.substr(1);
            FTagLine = FLine;
            return;
        }
        // Not the end tag: what looked like it is text of the stylesheet.
        FeedCss(StyleEnd.substr(0, FClose), read + static_cast<uint64_t>(p - begin));
        FClose = 0;
    }
    Advance(read + static_cast<uint64_t>(end - 1 - begin));
}

void TDocumentScan::Chunk(const char* begin, const char* end, uint64_t read) {
    if (FKind == TDocumentKind::Css) { // the style sheet's scan counts its own lines
        FeedCss(std::string_view(begin, static_cast<size_t>(end - begin)), read);
        Advance(read + static_cast<uint64_t>(end - begin));
        return;
    }
    const char* p = begin;
    while (p < end) {
        if (FInStyle)
            Style(begin, p, end, read);
        else
            Markup(begin, p, end, read);
    }
}

void TDocumentScan::End(uint64_t read) {
    const auto found = [&](std::string&& written, uint64_t line, size_t) {
        Take(std::move(written), line);
    };
    if (FKind == TDocumentKind::Css) {
        Advance(read);
        FCss.Finish(found);
    } else if (FInStyle) {
        Advance(read);
        if (FClose < StyleEnd.size())
            FCss.Feed(StyleEnd.substr(0, FClose), found);
        FCss.Finish(found);
    } else if (FInTag) { // the file ended inside a tag, which ends the tag
        Advance(read);
        TakeTag();
    }
}

} // namespace

void ScanPage(TFileStream& in, uint64_t size, TDocumentKind kind, const TScanPlace& place,
              bool countLines, const std::function<void(uint64_t)>& advance,
              const std::function<void(TPageReference&&)>& reference) {
    // Each thread reads page after page into one buffer of its own, grown to the largest
    // chunk it needed: a large page costs no fresh memory to fault in. Not zeroed: every
    // byte looked at was read first.
    thread_local std::unique_ptr<char[]> buffer;
    thread_local size_t held = 0;
    const size_t capacity = static_cast<size_t>(std::min<uint64_t>(ReadChunk, size));
    if (held < capacity) {
        buffer.reset(new char[capacity]);
        held = capacity;
    }
    char* const bytes = buffer.get();
    TDocumentScan scan(kind, place, countLines, advance, reference);
    uint64_t read = 0; // the bytes before bytes[0]
    while (read < size) {
        const size_t got = ReadChunkOf(in, bytes, std::min<uint64_t>(capacity, size - read));
        if (got == 0)
            break; // the file became shorter while it was read
        scan.Chunk(bytes, bytes + got, read);
        read += got;
    }
    scan.End(read);
}

TScannedPage ScanDocument(const std::string& fileName, bool countLines, const std::string& homeRoot,
                          const std::function<bool()>& stop) {
    TScannedPage page;
    page.Page = fileName;
    try {
        std::unique_ptr<TFileStream> in;
        try {
            in = std::make_unique<TFileStream>(fileName, TFileMode::OpenRead);
        } catch (...) {
            page.OpenFailed = true;
            throw;
        }
        page.Size = static_cast<uint64_t>(std::max<int64_t>(in->SizeAtOpen(), 0));
        const TScanPlace place{ExtractFilePath(ExpandFileName(fileName)), homeRoot};
        // A file given to scan is a page unless its name says it is a stylesheet or picture.
        const TDocumentKind kind = DocumentKindOf(fileName) == TDocumentKind::None
                                       ? TDocumentKind::Html
                                       : DocumentKindOf(fileName);
        uint64_t nextPoll = StopPollBytes;
        ScanPage(
            *in, page.Size, kind, place, countLines,
            [&](uint64_t n) {
                page.LastAdvance = n;
                if (stop && n >= nextPoll) {
                    nextPoll = n + StopPollBytes;
                    if (stop())
                        throw EAbort();
                }
            },
            [&](TPageReference&& r) {
                r.Advance = page.LastAdvance;
                page.References.push_back(std::move(r));
            });
    } catch (...) {
        page.Error = std::current_exception();
    }
    return page;
}

} // namespace vlm
