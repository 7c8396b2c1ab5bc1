// The broken references of a site report. A documentation tree can hold hundreds of
// thousands of them, far more than the files it takes, so they are not kept in memory:
// each one goes, as it is found, into a spool file in the private temporary folder, and
// whoever lists them reads them back in order, a chunk at a time. Only the count stays in
// memory. The spool file goes when the list ends, on every path out of a report.
#pragma once

#include "pipeline/ULinks.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

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

class TBrokenReferences {
    struct TState;
    struct TCursor;

public:
    static constexpr size_t DefaultChunkBytes = 64 * 1024;

    // chunkBytes: how much is written or read at a time.
    explicit TBrokenReferences(size_t chunkBytes = DefaultChunkBytes);
    ~TBrokenReferences();
    TBrokenReferences(TBrokenReferences&&) noexcept;
    TBrokenReferences& operator=(TBrokenReferences&&) noexcept;

    // Appends a reference. The spool file is made in the private temporary folder on the
    // first one. Raises EVlmError naming the spool file (or the temporary folder) and the
    // reason when it cannot be made or written.
    void Add(std::string_view page, uint64_t line, std::string_view written, std::string_view path,
             TReferenceOutcome why, bool untaken);
    void push_back(const TBrokenReference& b) {
        Add(b.Page, b.Line, b.Written, b.Path, b.Why, b.Untaken);
    }
    // Writes what is still buffered; reading does so first.
    void Flush() const;

    size_t size() const;
    bool empty() const { return size() == 0; }
    // The spool file's path; empty before the first reference.
    std::string FileName() const;

    // Reads the references back in the order they were added. Iterators that are copied
    // share one position (an input iterator); each begin() starts a reading of its own.
    // Raises EVlmError naming the spool file when it cannot be read.
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = TBrokenReference;
        using difference_type = std::ptrdiff_t;
        using pointer = const TBrokenReference*;
        using reference = const TBrokenReference&;

        const_iterator() = default;
        reference operator*() const;
        pointer operator->() const { return &**this; }
        const_iterator& operator++();
        void operator++(int) { ++*this; }
        bool operator==(const const_iterator& other) const { return Index() == other.Index(); }

    private:
        friend class TBrokenReferences;
        const_iterator(std::shared_ptr<TCursor> cursor, size_t end)
            : FCursor(std::move(cursor)), FEnd(end) {}
        size_t Index() const;

        std::shared_ptr<TCursor> FCursor;
        size_t FEnd = 0;
    };

    const_iterator begin() const;
    const_iterator end() const { return const_iterator(nullptr, size()); }

private:
    std::unique_ptr<TState> F;
};

} // namespace vlm
