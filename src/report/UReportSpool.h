// The lists of a site report that grow with every reference rather than with every file:
// the references that lead nowhere and the ones that found their file only by letter
// case. A documentation tree can hold hundreds of thousands of them, so they are not kept
// in memory: each one goes, as it is found, into a spool file in the private temporary
// folder, and whoever lists them reads them back in order, a chunk at a time. Only the
// count stays in memory. The spool file goes when the list ends, on every path out of a
// report.
#pragma once

#include "pipeline/ULinks.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// A reference that took no file.
struct TBrokenReference {
    std::string Page;
    uint64_t Line = 0;
    std::string Written;
    std::string Path;
    TReferenceOutcome Why = TReferenceOutcome::Missing; // or NotIncluded, Excluded, NotAFile
    bool Untaken = false; // a file is there, but the output does not hold it (mask mode)
};

// A reference that found its files only by letter case.
struct TCaseReference {
    std::string Page;
    uint64_t Line = 0;
    std::string Written;
    std::vector<std::string> Files;
};

// Records of bytes, appended to a file and read back in order.
class TSpool {
public:
    static constexpr size_t DefaultChunkBytes = 64 * 1024;

    // chunkBytes: how much is written or read at a time.
    explicit TSpool(size_t chunkBytes = DefaultChunkBytes);
    ~TSpool();
    TSpool(TSpool&&) noexcept;
    TSpool& operator=(TSpool&&) noexcept;

    // Appends a record. The spool file is made in the private temporary folder on the first.
    // Raises EVlmError naming the spool file (or the temporary folder) and the reason when
    // it cannot be made or written.
    void Append(std::string_view record);
    // Writes what is still buffered; reading does so first.
    void Flush() const;
    size_t Count() const;
    // The spool file's path; empty before the first record.
    std::string FileName() const;

    // One reading from the first record on. Raises EVlmError naming the spool file when it
    // cannot be read.
    class TReader {
    public:
        explicit TReader(const TSpool& spool);
        ~TReader();
        // The next record, valid until the next call; false after the last.
        bool Next(std::string_view& record);

    private:
        struct TState;
        std::unique_ptr<TState> F;
    };

private:
    struct TState;
    std::unique_ptr<TState> F;
};

// The record forms of the two lists. A record leaves out its page when it is lastPage, the
// page of the record before it (a page's references come one after another; first: there
// is none), and sets lastPage; decoding keeps the page of item then.
void EncodeBroken(std::string& record, std::string& lastPage, bool first, std::string_view page,
                  uint64_t line, std::string_view written, std::string_view path,
                  TReferenceOutcome why, bool untaken);
void EncodeCase(std::string& record, std::string& lastPage, bool first, std::string_view page,
                uint64_t line, std::string_view written, const std::vector<std::string>& files);
void Decode(std::string_view record, TBrokenReference& item);
void Decode(std::string_view record, TCaseReference& item);

// A list of T kept in a spool: appended to, counted and read back in order.
template <typename T> class TSpooledList {
    struct TCursor {
        TCursor(const TSpool& spool, size_t count) : Reader(spool), Count(count) {}
        void Load() {
            std::string_view record;
            if (Reader.Next(record))
                Decode(record, Current);
        }
        TSpool::TReader Reader;
        const size_t Count;
        size_t Index = 0;
        T Current;
    };

public:
    static constexpr size_t DefaultChunkBytes = TSpool::DefaultChunkBytes;

    explicit TSpooledList(size_t chunkBytes = DefaultChunkBytes) : FSpool(chunkBytes) {}

    size_t size() const { return FSpool.Count(); }
    bool empty() const { return size() == 0; }
    void Flush() const { FSpool.Flush(); }
    std::string FileName() const { return FSpool.FileName(); }

    // Reads the items back in the order they were added. Iterators that are copied share
    // one position (an input iterator); each begin() starts a reading of its own.
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        reference operator*() const { return FCursor->Current; }
        pointer operator->() const { return &FCursor->Current; }
        const_iterator& operator++() {
            if (++FCursor->Index < FCursor->Count)
                FCursor->Load();
            return *this;
        }
        void operator++(int) { ++*this; }
        bool operator==(const const_iterator& other) const { return Index() == other.Index(); }

    private:
        friend class TSpooledList;
        const_iterator(std::shared_ptr<TCursor> cursor, size_t end)
            : FCursor(std::move(cursor)), FEnd(end) {}
        size_t Index() const { return FCursor ? FCursor->Index : FEnd; }

        std::shared_ptr<TCursor> FCursor;
        size_t FEnd = 0;
    };

    const_iterator begin() const {
        if (empty())
            return end();
        auto cursor = std::make_shared<TCursor>(FSpool, size());
        cursor->Load();
        return const_iterator(std::move(cursor), size());
    }
    const_iterator end() const { return const_iterator(nullptr, size()); }

protected:
    void Append(std::string_view record) { FSpool.Append(record); }
    std::string FRecord;   // the record being made
    std::string FLastPage; // the page of the last record

private:
    TSpool FSpool;
};

class TBrokenReferences : public TSpooledList<TBrokenReference> {
public:
    using TSpooledList::TSpooledList;
    void Add(std::string_view page, uint64_t line, std::string_view written, std::string_view path,
             TReferenceOutcome why, bool untaken) {
        EncodeBroken(FRecord, FLastPage, empty(), page, line, written, path, why, untaken);
        Append(FRecord);
    }
    void push_back(const TBrokenReference& b) {
        Add(b.Page, b.Line, b.Written, b.Path, b.Why, b.Untaken);
    }
};

class TCaseReferences : public TSpooledList<TCaseReference> {
public:
    using TSpooledList::TSpooledList;
    void Add(std::string_view page, uint64_t line, std::string_view written,
             const std::vector<std::string>& files) {
        EncodeCase(FRecord, FLastPage, empty(), page, line, written, files);
        Append(FRecord);
    }
    void push_back(const TCaseReference& c) { Add(c.Page, c.Line, c.Written, c.Files); }
};

} // namespace vlm
