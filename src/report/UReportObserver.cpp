#include "report/UReportObserver.h"

#include "platform/UPaths.h"

#include <algorithm>

namespace vlm {

bool TFirstReferences::Names(const TReferenceEvent& e, const std::string& file) {
    return std::find(e.Files.begin(), e.Files.end(), file) != e.Files.end();
}

void TFirstReferences::Set(TEntry& entry, const TReferenceEvent& e, bool byCase) {
    // A page's references come one after another: its name is kept once.
    if (FPages.empty() || FPages.back() != e.Page)
        FPages.push_back(e.Page);
    entry.Page = static_cast<uint32_t>(FPages.size() - 1);
    entry.Known = true;
    entry.ByCase = byCase;
    entry.Line = e.Line;
    entry.Written = e.Written;
}

void TFirstReferences::Note(const TReferenceEvent& e, bool byCase) {
    for (size_t i = FEntries.size(); i < FList.Count(); ++i) {
        FEntries.emplace_back();
        if (Names(e, FList[i]))
            Set(FEntries.back(), e, byCase);
        else
            FWaiting.push_back(i);
    }
    for (auto it = FWaiting.begin(); it != FWaiting.end();) {
        if (!FEntries[*it].Known && Names(e, FList[*it])) {
            Set(FEntries[*it], e, byCase);
            it = FWaiting.erase(it);
        } else {
            ++it;
        }
    }
}

void TFirstReferences::Index() {
    const std::hash<std::string> hash;
    FByHash.reserve(FEntries.size());
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const auto [it, added] = FByHash.emplace(hash(FList[i]), static_cast<uint32_t>(i));
        if (added)
            continue;
        if (it->second != Collided)
            FCollided.emplace(FList[it->second], it->second);
        it->second = Collided;
        FCollided.emplace(FList[i], static_cast<uint32_t>(i));
    }
}

bool TFirstReferences::Take(const std::string& path, TReportFile& file) {
    const auto it = FByHash.find(std::hash<std::string>{}(path));
    if (it == FByHash.end())
        return false;
    uint32_t index = it->second;
    if (index == Collided) {
        const auto named = FCollided.find(path);
        if (named == FCollided.end())
            return false;
        index = named->second;
    }
    TEntry& entry = FEntries[index];
    if (!entry.Known)
        return false;
    file.Page = FPages[entry.Page];
    file.Line = entry.Line;
    file.Written = std::move(entry.Written);
    file.ByLetterCase = entry.ByCase;
    entry.Known = false;
    return true;
}

void TFirstReferences::Clear() {
    FEntries = {};
    FPages = {};
    FWaiting = {};
    FByHash = {};
    FCollided = {};
}

void AddSkippedLink(TSiteReport& report, std::string_view link, bool aboveHome) {
    while (link.size() > 1 && link.back() == PathDelim)
        link.remove_suffix(1);
    for (const TSkippedLink& known : report.SkippedLinks)
        if (known.Path == link)
            return;
    report.SkippedLinks.push_back({std::string(link), SkippedLinkReason(aboveHome)});
}

void TReportObserver::OnReference(const TReferenceEvent& e) {
    switch (e.Outcome) {
    case TReferenceOutcome::External:
        ++FReport.ExternalReferences;
        return;
    case TReferenceOutcome::Taken:
    case TReferenceOutcome::TakenByCase:
    case TReferenceOutcome::AlreadyListed:
        Found(e);
        return;
    case TReferenceOutcome::ThroughLink:
        AddSkippedLink(FReport, e.Link, e.Refusal == TFolderLookup::TRefusal::AboveHome);
        FReport.Broken.Add(e.Page, e.Line, e.Written, e.Path, e.Outcome, false);
        return;
    case TReferenceOutcome::Excluded:
        if (FObserved != nullptr)
            FObserved->Excluded.insert(e.Path);
        [[fallthrough]];
    case TReferenceOutcome::NotIncluded:
    case TReferenceOutcome::NotAFile:
    case TReferenceOutcome::Missing:
        FReport.Broken.Add(e.Page, e.Line, e.Written, e.Path, e.Outcome, false);
        return;
    case TReferenceOutcome::NotInOutput:
        FReport.Broken.Add(e.Page, e.Line, e.Written, e.Path, e.Outcome, true);
        return;
    case TReferenceOutcome::OwnOutput:
        // Left out on purpose (a page may offer the packed site for download): named with
        // the files left out, never broken.
        if (FObserved != nullptr)
            for (const std::string& file : e.Files)
                if (std::find(FObserved->OwnOutputs.begin(), FObserved->OwnOutputs.end(), file) ==
                    FObserved->OwnOutputs.end())
                    FObserved->OwnOutputs.push_back(file);
        return;
    }
}

void TReportObserver::Found(const TReferenceEvent& e) {
    const bool byCase = e.Files.size() != 1 || e.Files[0] != e.Path;
    if (byCase)
        FReport.CaseReferences.Add(e.Page, e.Line, e.Written, e.Files);
    if (FFirst != nullptr)
        FFirst->Note(e, byCase);
}

} // namespace vlm
