// What the site report keeps of link discovery: the first reference of every file taken,
// the references that took nothing and the ones that found their file by letter case.
#pragma once

#include "pipeline/ULinks.h"
#include "report/UReport.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vlm {

// The first reference of every file of a discovered list, kept by the file's position in
// the list and found again by the hash of its name (the list holds the name, until the
// writer takes it), with each referring page kept once: a documentation tree takes tens of
// thousands of files from a few hundred pages.
class TFirstReferences {
public:
    explicit TFirstReferences(const TFileList& list) : FList(list) {}

    // A reference that names files: the files the list gained since the last one are its
    // own (the home page, listed before any reference, waits for the first that names it).
    void Note(const TReferenceEvent& e, bool byCase);
    // Indexes the entries by their files' names, once discovery is done and before the
    // list is handed on (the writer takes it).
    void Index();
    // Moves the first reference of path into file; false when there is none.
    bool Take(const std::string& path, TReportFile& file);
    void Clear();

private:
    struct TEntry {
        uint32_t Page = 0; // in FPages
        bool Known = false;
        bool ByCase = false;
        uint64_t Line = 0;
        std::string Written;
    };
    static bool Names(const TReferenceEvent& e, const std::string& file);
    void Set(TEntry& entry, const TReferenceEvent& e, bool byCase);

    const TFileList& FList;
    std::vector<TEntry> FEntries; // by position in FList
    std::vector<std::string> FPages;
    std::vector<size_t> FWaiting; // listed without a reference so far
    // The entries by the hash of their file's name; the names whose hashes collide are
    // kept whole.
    static constexpr uint32_t Collided = UINT32_MAX;
    std::unordered_map<size_t, uint32_t> FByHash;
    std::unordered_map<std::string, uint32_t> FCollided;
};

// Names a folder link not followed in the report, once (the walks of both modes and the
// references through it may each meet it).
void AddSkippedLink(TSiteReport& report, std::string_view link, bool aboveHome);

// What references found beside the files taken.
struct TObserved {
    std::vector<std::string> OwnOutputs;      // files of the build's own output
    std::unordered_set<std::string> Excluded; // paths the exclude masks refused
};

// Repeated references to listed files cost little and nothing is kept for them.
class TReportObserver : public TLinkObserver {
public:
    // first: where the first references go (parse mode); none in a check of mask mode.
    // observed, when given, gets what the references found beside the files taken.
    TReportObserver(TSiteReport& report, TFirstReferences* first, TObserved* observed = nullptr)
        : FReport(report), FFirst(first), FObserved(observed) {}

    void OnReference(const TReferenceEvent& e) override;

private:
    void Found(const TReferenceEvent& e);

    TSiteReport& FReport;
    TFirstReferences* const FFirst;
    TObserved* const FObserved;
};

} // namespace vlm
