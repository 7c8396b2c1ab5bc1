#include "pipeline/UPageScan.h"

#include "pipeline/ULinks.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UPaths.h"

#include <algorithm>
#include <cstring>

namespace vlm {

namespace {

// Pages are read in pieces of this size; nearly every page is one piece.
constexpr size_t ReadChunk = size_t{1} << 20;
// Pages scanned ahead of the caller, for each worker.
constexpr size_t AheadPerWorker = 8;

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

// Raised inside a worker's scan when the reader stops.
struct TStopped {};

} // namespace

void ScanPage(TFileStream& in, uint64_t size, const std::string& folder, bool countLines,
              const std::function<void(uint64_t)>& advance,
              const std::function<void(TPageReference&&)>& reference) {
    // Not zeroed: every byte looked at was read first.
    const size_t capacity = static_cast<size_t>(std::min<uint64_t>(ReadChunk, size));
    const std::unique_ptr<char[]> buffer(new char[capacity]);
    std::string tag;
    bool inTag = false;
    uint64_t read = 0; // the bytes before buffer[0]
    uint64_t line = 1;
    uint64_t tagLine = 1;
    const auto take = [&] {
        std::string written = FindReference(tag);
        if (written.empty())
            return;
        const std::string relative = ReferenceToPath(written);
        if (relative.empty())
            return;
        // folder is a full path already: joining is all ExpandFileName would do to it.
        reference({0, tagLine, std::move(written),
                   ExpandFileName(IsAbsolutePath(relative) ? relative : folder + relative)});
    };
    // A tag is the text between "<" and the next ">"; a "<" inside it is part of it. The
    // bar goes as if bytes were counted one by one: before each byte, and after each ">".
    while (read < size) {
        const size_t got = ReadChunkOf(in, buffer.get(), std::min<uint64_t>(capacity, size - read));
        if (got == 0)
            break; // the file became shorter while it was read
        const char* const begin = buffer.get();
        const char* const end = begin + got;
        const char* p = begin;
        while (p < end) {
            const char wanted = inTag ? '>' : '<';
            const auto* hit = static_cast<const char*>(std::memchr(p, wanted, end - p));
            const char* const stop = hit ? hit : end;
            if (inTag)
                tag.append(p, stop);
            if (countLines)
                line += CountLineEnds(p, stop);
            advance(read + static_cast<uint64_t>((hit ? hit : end - 1) - begin));
            if (!hit)
                break;
            p = hit + 1;
            if (!inTag) {
                inTag = true;
                tag.clear();
                tagLine = line;
                continue;
            }
            inTag = false;
            advance(read + static_cast<uint64_t>(p - begin));
            take();
        }
        read += got;
    }
    if (inTag) { // the file ended inside a tag, which ends the tag
        advance(read);
        take();
    }
}

TPageReader::TPageReader(unsigned threads, bool countLines) : FCountLines(countLines) {
    try {
        for (unsigned i = 0; i < threads; ++i)
            FWorkers.emplace_back([this] { Work(); });
    } catch (...) {
        FStop = true;
        FWake.notify_all();
        for (std::thread& worker : FWorkers)
            worker.join();
        throw;
    }
}

TPageReader::~TPageReader() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FWake.notify_all();
    for (std::thread& worker : FWorkers)
        worker.join();
}

size_t TPageReader::Room() const {
    const std::lock_guard<std::mutex> lock(FLock);
    const size_t limit = AheadPerWorker * FWorkers.size();
    return FAsked.size() < limit ? limit - FAsked.size() : 0;
}

void TPageReader::Ask(const std::string& page) {
    auto slot = std::make_shared<TSlot>();
    slot->Result.Page = page;
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FAsked.push_back(slot);
        FPending.push_back(std::move(slot));
    }
    FWake.notify_one();
}

TScannedPage TPageReader::Take() {
    std::unique_lock<std::mutex> lock(FLock);
    const std::shared_ptr<TSlot> slot = FAsked.front();
    FDone.wait(lock, [&] { return slot->Done; });
    FAsked.pop_front();
    return std::move(slot->Result);
}

void TPageReader::Work() {
    for (;;) {
        std::shared_ptr<TSlot> slot;
        {
            std::unique_lock<std::mutex> lock(FLock);
            FWake.wait(lock, [this] { return FStop || !FPending.empty(); });
            if (FStop)
                return;
            slot = std::move(FPending.front());
            FPending.pop_front();
        }
        TScannedPage& page = slot->Result;
        try {
            std::unique_ptr<TFileStream> in;
            try {
                in = std::make_unique<TFileStream>(page.Page, TFileMode::OpenRead);
            } catch (...) {
                page.OpenFailed = true;
                throw;
            }
            page.Size = static_cast<uint64_t>(std::max<int64_t>(in->Size(), 0));
            const std::string folder = ExtractFilePath(ExpandFileName(page.Page));
            ScanPage(
                *in, page.Size, folder, FCountLines,
                [&](uint64_t n) {
                    page.LastAdvance = n;
                    if (FStop)
                        throw TStopped();
                },
                [&](TPageReference&& r) {
                    r.Advance = page.LastAdvance;
                    page.References.push_back(std::move(r));
                });
        } catch (const TStopped&) {
            return;
        } catch (...) {
            page.Error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(FLock);
            slot->Done = true;
        }
        FDone.notify_all();
    }
}

} // namespace vlm
