// The add loop of the compress run: each listed file becomes a member, prepared ahead by
// the workers or on the calling thread, and written in list order with its events.
#include "archive/arcBase.h"

#include "archive/arcDeflate.h"
#include "archive/arcMember.h"
#include "archive/arcMemberBuffer.h"
#include "archive/arcPipeline.h"
#include "archive/arcStreams.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <algorithm>

namespace vlm {

std::unique_ptr<TMemberPrefetch> TCompBase::StartPrefetch() {
    const TCompHeaderObj& list = *FList;
    const unsigned workers = WorkerCount(FOptions->Jobs);
    const bool deflate = FDeflateType != dtDeflateS;
    const auto jobOf = [this, &list, deflate](size_t i) {
        const TCompMember& member = list.Members[i];
        const std::string& full = member.Name;
        const std::string stored =
            StoredNameOf(FOptions->StoredDirNames, full,
                         std::string_view(full).substr(0, member.RootLength), FDefaultDir);
        TMemberJob job;
        job.Path = &full;
        job.Deflate = deflate && !HasExtensionIn(stored, FOptions->StoreFilesOfType);
        job.Skip = !FTempFileName.empty() && SameFileName(full, FTempFileName);
        return job;
    };
    const TMemberSettings settings{FOptions->Password, DeflateLevelOf(FDeflateType),
                                   FOptions->Cancel};
    return std::make_unique<TMemberPrefetch>(list.Count(), jobOf, settings,
                                             workers <= 1 || list.Count() <= 1 ? 0 : workers);
}

void TCompBase::AddLoop(TFileStream& out) {
    TCompHeaderObj& list = *FList;
    const std::unique_ptr<TMemberPrefetch> prefetch = StartPrefetch();
    for (size_t i = 0; i < list.Count(); ++i) {
        if (Cancelled()) {
            for (size_t j = i; j < list.Count(); ++j)
                list.Members[j].Info.State = TCompFileInfo::LeftOut;
            break;
        }
        FMemberNumber = static_cast<int>(i + 1);
        const int64_t mark = out.Position();
        if (AddFile(i, out, *prefetch)) {
            ++FFilesAdded;
            list.Members[i].Name = FCurrentFileName;
            continue;
        }
        // A member that failed leaves nothing behind: the output is cut back to where it
        // began, so the archive holds exactly the members its directory lists.
        list.Members[i].Info.State = TCompFileInfo::LeftOut;
        out.SetSize(mark);
        out.SetPosition(mark);
        if (FCancel) {
            --FMemberNumber;
            for (size_t j = i + 1; j < list.Count(); ++j)
                list.Members[j].Info.State = TCompFileInfo::LeftOut;
            break;
        }
    }
}

bool TCompBase::AddFile(size_t index, TFileStream& out, TMemberPrefetch& prefetch) {
    TCompMember& member = FList->Members[index];
    BeginLocalHeader(index);
    const std::string full = member.Name;
    if (!FTempFileName.empty() && SameFileName(full, FTempFileName)) {
        prefetch.Take(index, false);
        return false;
    }
    FCurrentFileName = full;
    FCurrentRoot = full.substr(0, member.RootLength);
    if (FEvents->OnBegin) {
        bool extract = true;
        FEvents->OnBegin(*this, full, FMemberNumber, extract);
        if (!extract) {
            prefetch.Take(index, false);
            return false;
        }
    }
    FCurrentFileName = MakeStoredName(full);
    member.Info.LocalHeaderOffset = static_cast<uint64_t>(out.Position());
    if (!WriteMember(index, out, prefetch.Take(index, true), prefetch))
        return false;
    if (FEvents->OnEnd)
        FEvents->OnEnd(*this, FCurrentFileName, true);
    return true;
}

namespace {
// Flag bits 1 and 2 of a deflated member, by deflate type.
uint16_t DeflateFlags(TDeflateType type) {
    switch (type) {
    case dtDeflateF:
        return 4;
    case dtDeflateX:
        return 2;
    default:
        return 0;
    }
}

// Sets a value back when the scope ends, whatever the outcome.
struct TRestoreName {
    std::string& Target;
    std::string Value;
    ~TRestoreName() { Target = Value; }
};

std::string ReadFailure(const std::string& what, int errorNumber) {
    return what + ": " + SysErrorMessage(errorNumber);
}
} // namespace

TChunkHooks TCompBase::MemberHooks(bool countsRemaining) {
    // The CRC pass of an encrypted member, and the second read of a small file that is
    // stored after all, leave the bytes still to read as they were.
    return {[this] { return KeepGoing(); },
            [this, countsRemaining](uint64_t position, size_t count) {
                if (countsRemaining)
                    FBytesRemaining -= std::min<uint64_t>(count, FBytesRemaining);
                MemberProgress(position);
            }};
}

// Writes a member encoded in memory, then raises the events of its chunk steps as the
// streams raise them while they read: the described bar values and Cancel checks fall on
// the chunks, and this one replay keeps them whichever thread encoded the member.
bool TCompBase::WriteEncoded(const std::string& full, TPreparedMember& member, TFileStream& out,
                             TMemberOutcome& outcome) {
    out.WriteBuffer(member.Encoded.Data.data(), member.Encoded.Data.size());
    outcome = member.Encoded.Outcome;
    outcome.Status = ReplayPasses(member.Encoded.Passes, MemberHooks(false), MemberHooks(true));
    if (outcome.Status == TStreamStatus::Short && member.Encoded.ReadErrorNumber != 0) {
        // A source that cannot be read to its end ends the run.
        RaiseError(full, ReadFailure(member.Encoded.ReadError, member.Encoded.ReadErrorNumber),
                   errOpenFile);
        return false;
    }
    if (outcome.Status == TStreamStatus::Done && member.Grew)
        outcome.Status = TStreamStatus::Short;
    return true;
}

// Streams a member too large to be held whole, with its events as it goes.
bool TCompBase::StreamMember(const std::string& full, TFileStream& source, TFileStream& out,
                             const TMemberPlan& plan, TMemberOutcome& outcome) {
    try {
        outcome =
            EncodeMemberData(source, out, plan, Cipher(), MemberHooks(false), MemberHooks(true));
    } catch (const EReadError& e) {
        RaiseError(full, ReadFailure(e.what(), e.ErrorNumber), errOpenFile);
        return false;
    }
    // Only the size taken at the open is read: a file that grew meanwhile would be cut.
    if (outcome.Status == TStreamStatus::Done && source.Size() != FCurrentFileSize)
        outcome.Status = TStreamStatus::Short;
    return true;
}

bool TCompBase::WriteMember(size_t index, TFileStream& out, TPreparedMember prepared,
                            TMemberPrefetch& prefetch) {
    const std::string full = FList->Members[index].Name;
    const TRestoreName restore{FCurrentFileName, FCurrentFileName};
    const std::string& stored = restore.Value;
    // A token set before the member was begun: the run ends here, as at a chunk.
    if (prepared.Kind == TPreparedMember::Stopped) {
        if (!KeepGoing())
            return false;
        prepared = prefetch.PrepareHere(index);
    }
    std::unique_ptr<TFileStream> source;
    if (prepared.Kind == TPreparedMember::Streamed) {
        try {
            source = std::make_unique<TFileStream>(full, TFileMode::OpenRead);
            prepared.Size = static_cast<uint64_t>(std::max<int64_t>(source->SizeAtOpen(), 0));
        } catch (const EStreamError& e) {
            prepared.Kind = TPreparedMember::OpenFailed;
            prepared.OpenErrorNumber = e.ErrorNumber;
        }
    }
    if (prepared.Kind == TPreparedMember::OpenFailed) {
        ReportError(full, SysErrorMessage(prepared.OpenErrorNumber), errOpenFile);
        return false;
    }
    TMemberPlan plan;
    plan.Size = prepared.Size;
    plan.Password = FOptions->Password;
    plan.Deflate =
        FDeflateType != dtDeflateS && !HasExtensionIn(stored, FOptions->StoreFilesOfType);
    plan.Level = DeflateLevelOf(FDeflateType);
    FCurrentFileSize = static_cast<int64_t>(plan.Size);
    const uint64_t pos = static_cast<uint64_t>(out.Position());
    const std::string written = WrittenNameOf(stored);
    FCurrentFileName = written;
    WritePlaceholder(out, written, plan.Size);

    TMemberOutcome outcome;
    const bool ended = source ? StreamMember(full, *source, out, plan, outcome)
                              : WriteEncoded(full, prepared, out, outcome);
    if (!ended || outcome.Status == TStreamStatus::Cancelled)
        return false;
    if (outcome.Status == TStreamStatus::Short) {
        ReportError(full, "The file changed while it was being read", errOpenFile);
        return false;
    }
    uint16_t flags = outcome.Encrypted ? FlagEncrypted : 0;
    if (outcome.Method == MethodDeflated)
        flags |= DeflateFlags(FDeflateType);
    if (NeedsUtf8Flag(written))
        flags |= FlagUtf8Name;
    FinishLocalHeader(out, index, pos, written, outcome.Method, flags, outcome.Crc, plan.Size);
    BuildCentralRecord(index);
    return true;
}

} // namespace vlm
