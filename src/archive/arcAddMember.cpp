// The add loop of the compress run: each listed file becomes a member, encoded on the
// calling thread or taken from the workers that encode ahead of it.
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

namespace {
// Workers hold at most about this many bytes of encoded members ahead of the writer
// (plus the one member each is working on), which keeps memory flat on any site.
constexpr size_t BytesInFlight = size_t{8} << 20;

// The workers end with the add loop, however it ends.
struct TQueueScope {
    std::unique_ptr<TMemberQueue>& Queue;
    ~TQueueScope() { Queue.reset(); }
};
} // namespace

void TCompBase::StartQueue() {
    const unsigned workers = WorkerCount(Jobs);
    const TCompHeaderObj& list = *FList;
    if (workers <= 1 || list.Count() <= 1)
        return;
    if (FCompressMethod == cmStore)
        DeflateType = dtDeflateS;
    std::vector<TMemberJob> jobs(list.Count());
    for (size_t i = 0; i < list.Count(); ++i) {
        const std::string& full = list.Members[i].Name;
        const std::string stored =
            StoredNameOf(StoredDirNames, full,
                         std::string_view(full).substr(0, list.Members[i].RootLength), DefaultDir);
        jobs[i].Path = &full;
        jobs[i].Deflate = DeflateType != dtDeflateS && !HasExtensionIn(stored, StoreFilesOfType);
        jobs[i].Skip = !FTempFileName.empty() && SameFileName(full, FTempFileName);
    }
    FQueue = std::make_unique<TMemberQueue>(std::move(jobs), Password, DeflateLevelOf(DeflateType),
                                            workers, BytesInFlight);
}

TBufferDeflater& TCompBase::Deflater(int level) {
    if (!FDeflater || FDeflater->Level() != level)
        FDeflater = std::make_unique<TBufferDeflater>(level);
    return *FDeflater;
}

void TCompBase::AddLoop(TFileStream& out) {
    TCompHeaderObj& list = *FList;
    const TQueueScope scope{FQueue};
    StartQueue();
    for (size_t i = 0; i < list.Count(); ++i) {
        if (FCancel) {
            for (size_t j = i; j < list.Count(); ++j)
                list.Members[j].Info.State = TCompFileInfo::LeftOut;
            break;
        }
        FMemberNumber = static_cast<int>(i + 1);
        const int64_t mark = out.Position();
        std::unique_ptr<TPreparedMember> prepared;
        if (FQueue)
            prepared = std::make_unique<TPreparedMember>(FQueue->Take(i));
        if (AddFile(i, out, prepared.get())) {
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

bool TCompBase::AddFile(size_t index, TFileStream& out, TPreparedMember* prepared) {
    TCompMember& member = FList->Members[index];
    BeginLocalHeader(index);
    if (FCompressMethod == cmStore)
        DeflateType = dtDeflateS;
    const std::string full = member.Name;
    if (!FTempFileName.empty() && SameFileName(full, FTempFileName))
        return false;
    FCurrentFileName = full;
    FCurrentRoot = full.substr(0, member.RootLength);
    if (OnBegin) {
        bool extract = true;
        OnBegin(*this, full, FMemberNumber, extract);
        if (!extract)
            return false;
    }
    FCurrentFileName = MakeStoredName(full);
    member.Info.LocalHeaderOffset = static_cast<uint64_t>(out.Position());
    if (!WriteMember(index, out, prepared))
        return false;
    if (OnEnd)
        OnEnd(*this, FCurrentFileName, true);
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
} // namespace

TChunkHooks TCompBase::MemberHooks(bool countsRemaining) {
    // The CRC pass of an encrypted member, and the second read of a small file that is
    // stored after all, leave the bytes still to read as they were.
    return {[this] { return KeepGoing(); },
            [this, countsRemaining](uint64_t position, size_t count) {
                if (countsRemaining)
                    FBytesRemaining -= std::min<uint64_t>(count, FBytesRemaining);
                Progress(Percent(FCurrentFileSize, static_cast<int64_t>(position)),
                         Percent(static_cast<int64_t>(FTotalBytes),
                                 static_cast<int64_t>(FTotalBytes - FBytesRemaining)));
            }};
}

// Writes a member encoded in memory, then raises the events of its chunk steps.
bool TCompBase::WriteEncoded(const std::string& full, TPreparedMember& member, TFileStream& out,
                             TMemberOutcome& outcome) {
    out.WriteBuffer(member.Encoded.Data.data(), member.Encoded.Data.size());
    outcome = member.Encoded.Outcome;
    outcome.Status = ReplayPasses(member.Encoded.Passes, MemberHooks(false), MemberHooks(true));
    if (outcome.Status == TStreamStatus::Short && member.Encoded.ReadErrorNumber != 0) {
        // A source that cannot be read to its end ends the run.
        RaiseError(
            full, member.Encoded.ReadError + ": " + SysErrorMessage(member.Encoded.ReadErrorNumber),
            errOpenFile);
        return false;
    }
    return true;
}

bool TCompBase::WriteMember(size_t index, TFileStream& out, TPreparedMember* prepared) {
    const std::string full = FList->Members[index].Name;
    const TRestoreName restore{FCurrentFileName, FCurrentFileName};
    const std::string& stored = restore.Value;
    TMemberPlan plan;
    plan.Password = Password;
    plan.Deflate = DeflateType != dtDeflateS && !HasExtensionIn(stored, StoreFilesOfType);
    plan.Level = DeflateLevelOf(DeflateType);
    TPreparedMember local;
    std::unique_ptr<TFileStream> source;
    if (prepared == nullptr || prepared->Inline) {
        prepared = &local;
        try {
            source = std::make_unique<TFileStream>(full, TFileMode::OpenRead);
        } catch (const EStreamError& e) {
            local.OpenErrorNumber = e.ErrorNumber;
        }
        if (source) {
            local.Size = static_cast<uint64_t>(std::max<int64_t>(source->Size(), 0));
            local.Inline = local.Size > WholeBufferLimit;
        }
    }
    if (prepared->OpenErrorNumber != 0) {
        ReportError(full, SysErrorMessage(prepared->OpenErrorNumber), errOpenFile);
        return false;
    }
    plan.Size = prepared->Size;
    if (source && !prepared->Inline) {
        local.Encoded = EncodeMemberContent(ReadMemberContent(*source, plan.Size), plan,
                                            Deflater(plan.Level), Cipher());
        local.Grew = source->Size() > static_cast<int64_t>(plan.Size);
    }
    FCurrentFileSize = static_cast<int64_t>(plan.Size);
    const uint64_t size = plan.Size;
    const uint64_t pos = static_cast<uint64_t>(out.Position());
    const std::string written = WrittenNameOf(stored);
    FCurrentFileName = written;
    WritePlaceholder(out, written, size);

    TMemberOutcome outcome;
    if (!prepared->Inline) {
        if (!WriteEncoded(full, *prepared, out, outcome))
            return false;
    } else {
        try {
            outcome = EncodeMemberData(*source, out, plan, Cipher(), MemberHooks(false),
                                       MemberHooks(true));
        } catch (const EReadError& e) {
            RaiseError(full, std::string(e.what()) + ": " + SysErrorMessage(e.ErrorNumber),
                       errOpenFile);
            return false;
        }
    }
    if (outcome.Status == TStreamStatus::Cancelled)
        return false;
    // Only the size taken at the open is read: a file that grew meanwhile would be cut.
    if (outcome.Status == TStreamStatus::Done &&
        (prepared->Inline ? source->Size() != FCurrentFileSize : prepared->Grew))
        outcome.Status = TStreamStatus::Short;
    if (outcome.Status == TStreamStatus::Short) {
        ReportError(full, "The file changed while it was being read", errOpenFile);
        return false;
    }
    uint16_t flags = outcome.Encrypted ? FlagEncrypted : 0;
    if (outcome.Method == MethodDeflated)
        flags |= DeflateFlags(DeflateType);
    if (NeedsUtf8Flag(written))
        flags |= FlagUtf8Name;
    FinishLocalHeader(out, index, pos, written, outcome.Method, flags, outcome.Crc, size);
    BuildCentralRecord(index);
    return true;
}

} // namespace vlm
