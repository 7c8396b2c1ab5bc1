#include "archive/arcBase.h"

#include "archive/arcDeflate.h"
#include "archive/arcFileIo.h"
#include "archive/arcMember.h"
#include "archive/arcStreams.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <algorithm>
#include <cerrno>

namespace vlm {

int Percent(int64_t whole, int64_t part) {
    if (whole <= 0 || part <= 0)
        return 0;
    if (part >= whole)
        return 100;
    // Halving both keeps part * 100 inside 64 bits; below 2^56 bytes the result is exact.
    uint64_t w = static_cast<uint64_t>(whole);
    uint64_t p = static_cast<uint64_t>(part);
    while (w > (uint64_t{1} << 56)) {
        w >>= 1;
        p >>= 1;
    }
    const uint64_t scaled = p * 100;
    uint64_t quotient = scaled / w;
    const uint64_t twiceRest = (scaled % w) * 2;
    if (twiceRest > w || (twiceRest == w && (quotient & 1) != 0))
        ++quotient;
    return static_cast<int>(quotient);
}

void TCompHeaderObj::Clear() {
    Members.clear();
    Comment.clear();
    Changed = false;
    DirectoryOffset = 0;
}

std::vector<std::string> DefaultStoreFilesOfType() {
    return {".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC", ".GZ",  ".HA",
            ".JAR", ".LHA", ".LZH", ".PAK", ".PK3", ".PK_", ".RAR", ".TAR",
            ".TGZ", ".UUE", ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"};
}

TCompBase::TCompBase() : FList(std::make_unique<TCompHeaderObj>()) {}

TCompBase::~TCompBase() = default;

void TCompBase::SetArchiveFile(std::string_view value) {
    FArchiveFile = ToNativeDelimiters(value);
    if (!FArchiveFile.empty() && ExtractFileExt(FArchiveFile).empty())
        FArchiveFile += DefaultExt;
    FCancel = false;
}

void TCompBase::SetCompressMethod(TCompressMethod value) {
    if (value == cmStore || value == cmDeflate)
        FCompressMethod = value;
}

void TCompBase::SetCancel(bool value) {
    FCancel = value;
    if (value)
        ReportError(FCurrentFileName, {}, errUserCanceled);
}

void TCompBase::ReportError(const std::string& fileName, const std::string& extendedMsg, int code) {
    if (FCancel)
        code = errUserCanceled;
    if (OnError)
        OnError(*this, fileName, extendedMsg, "0", code);
}

void TCompBase::RaiseError(const std::string& fileName, const std::string& extendedMsg, int code) {
    ReportError(fileName, extendedMsg, code);
    if (!FCancel)
        throw E_RAISE(code, ArcErrorText(code));
}

void TCompBase::ReportStreamError(const std::string& fileName, const std::exception& e, int code) {
    std::string message = e.what();
    const auto* stream = dynamic_cast<const EStreamError*>(&e);
    const int errorNumber = stream ? stream->ErrorNumber : 0;
    // The open and create errors name their file and reason already.
    if (errorNumber != 0 && !dynamic_cast<const EFOpenError*>(&e) &&
        !dynamic_cast<const EFCreateError*>(&e))
        message += ": " + SysErrorMessage(errorNumber);
    if (errorNumber == ENOSPC || errorNumber == EDQUOT)
        code = errDiskFull;
    ReportError(fileName, message, code);
}

void TCompBase::Progress(int byFile, int byArchive) {
    if (ProcessMessages)
        ProcessMessages();
    if (OnProgress)
        OnProgress(*this, static_cast<uint8_t>(byFile), static_cast<uint8_t>(byArchive));
}

bool TCompBase::KeepGoing() {
    if (ProcessMessages)
        ProcessMessages();
    return !FCancel;
}

std::string TCompBase::MakeStoredName(std::string_view fullPath) const {
    return StoredNameOf(StoredDirNames, fullPath, FCurrentRoot, DefaultDir);
}

int TCompBase::Compress() noexcept {
    FFilesAdded = 0;
    FMemberNumber = 0;
    FTotalBytes = 0;
    FBytesRemaining = 0;
    FFileListed = false;
    FCancel = false;
    try {
        if (FArchiveFile.empty()) {
            ReportError({}, "ArchiveFile", errPropertyNotAssigned);
            return 0;
        }
        const std::string path = ExtractFilePath(FArchiveFile);
        const std::string folder = path.empty() ? GetCurrentFolder() : path;
        std::string reason;
        if (const int code = CheckArchiveFolder(folder, reason); code != 0) {
            ReportError(folder, reason, code);
            return 0;
        }
        if (StoredDirNames == sdExplorer_Auto) {
            DefaultDir = CommonFolderOf(FileSpec);
        } else if (StoredDirNames == sdExplorer_UserDefineDefaultDir && DefaultDir.empty()) {
            ReportError({}, "DefaultDir", errPropertyNotAssigned);
            return 0;
        }
    } catch (...) {
        return 0;
    }

    int result = 0;
    try {
        if (OnActivate)
            OnActivate(*this);
        TTempOutput output(TempOutputFolder(TempDir));
        FTempFileName = output.FileName();
        result = CompressRun(output);
    } catch (const E_RAISE&) {
        // Reported where it was raised.
    } catch (const std::exception& e) {
        ReportStreamError(FArchiveFile, e, errWriteFile);
    } catch (...) {
        ReportError(FArchiveFile, {}, errWriteFile);
    }
    if (result == 0)
        FFilesAdded = 0;
    FList->Clear();
    FTempFileName.clear();
    try {
        if (OnDeactivate)
            OnDeactivate(*this);
    } catch (...) {
    }
    return result;
}

int TCompBase::CompressRun(TTempOutput& output) {
    ListFiles();
    if (FCancel || !FFileListed) {
        if (!FFileListed)
            ReportError({}, {}, errNothingToDo);
        FList->Clear();
        output.Discard();
        return 0;
    }
    AddLoop(output.Stream());
    if (FFilesAdded == 0) {
        output.Discard();
        return 0;
    }
    WriteDirectory(output.Stream(), *FList);
    return PutInPlace(output) ? FFilesAdded : 0;
}

void TCompBase::ListFiles() {
    FList->Clear();
    TArcFileScan scan;
    scan.FileSpec = FileSpec;
    scan.Attributes = Attributes;
    scan.AttributesEx = AttributesEx;
    scan.RecurseDirs = RecurseDirs;
    scan.IncludeHiddenDirs = IncludeHiddenDirs;
    scan.UpdateList = true;
    scan.SetCancelFlag(&FCancel);
    scan.ProcessMessages = ProcessMessages;
    scan.OnScanFile = [this](const std::string& name, int count, uint64_t size) {
        if (OnFileScanStatus)
            OnFileScanStatus(*this, name, count, size);
    };
    scan.OnRecurseDir = [this](const std::string& folder) {
        if (OnRecurseDir)
            OnRecurseDir(*this, folder);
    };
    scan.OnRootDirChange = [this](const std::string& folder) {
        FCurrentRoot = IncludeTrailingPathDelimiter(folder);
        RefreshExcludeLines();
    };
    scan.OnEntry = [this](const std::string& folder, const TSearchRec& rec) {
        ListEntry(folder, rec);
    };
    scan.Scan();
    FTotalBytes = scan.FilesSize();
    FBytesRemaining = FTotalBytes;
}

void TCompBase::RefreshExcludeLines() {
    // The lines are compared in stored-name form, which depends on the group's root.
    FExcludeLines.clear();
    for (const std::string& line : ExcludeSpec) {
        if (line.empty())
            continue;
        FExcludeLines.push_back({MakeStoredName(line), line.find(PathDelim) != std::string::npos});
    }
}

void TCompBase::ListEntry(const std::string& folder, const TSearchRec& rec) {
    if (rec.IsDirectory())
        return;
    std::string full = folder + rec.Name;
    if (IsExcluded(FExcludeLines, MakeStoredName(full), RecurseDirs))
        return;
    TCompFileInfo info;
    info.HeadersEnciphered = EncryptHeaders;
    info.UncompressedSize = rec.Size;
    TCentralHeader central;
    const uint32_t dosTime = DateTimeToDosDateTime(rec.Time);
    central.Time = static_cast<uint16_t>(dosTime);
    central.Date = static_cast<uint16_t>(dosTime >> 16);
    central.UncompressedSize = static_cast<uint32_t>(rec.Size);
    central.ExternalAttributes = rec.Attr;
    FList->Members.push_back({std::move(full), std::move(info), central, FCurrentRoot.size()});
    FFileListed = true;
}

void TCompBase::AddLoop(TFileStream& out) {
    TCompHeaderObj& list = *FList;
    for (size_t i = 0; i < list.Count(); ++i) {
        if (FCancel) {
            for (size_t j = i; j < list.Count(); ++j)
                list.Members[j].Info.State = TCompFileInfo::LeftOut;
            break;
        }
        FMemberNumber = static_cast<int>(i + 1);
        const int64_t mark = out.Position();
        if (AddFile(i, out)) {
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

bool TCompBase::AddFile(size_t index, TFileStream& out) {
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
    if (!WriteMember(index, out))
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

bool TCompBase::WriteMember(size_t index, TFileStream& out) {
    const std::string full = FList->Members[index].Name;
    const TRestoreName restore{FCurrentFileName, FCurrentFileName};
    const std::string& stored = restore.Value;
    std::unique_ptr<TFileStream> source;
    try {
        source = std::make_unique<TFileStream>(full, TFileMode::OpenRead);
    } catch (const EStreamError& e) {
        ReportError(full, SysErrorMessage(e.ErrorNumber), errOpenFile);
        return false;
    }
    FCurrentFileSize = source->Size();
    const uint64_t size = static_cast<uint64_t>(FCurrentFileSize);
    const uint64_t pos = static_cast<uint64_t>(out.Position());
    const std::string written = WrittenNameOf(stored);
    FCurrentFileName = written;
    WritePlaceholder(out, written, size);

    TMemberPlan plan;
    plan.Size = size;
    plan.Password = Password;
    plan.Deflate = DeflateType != dtDeflateS && !HasExtensionIn(stored, StoreFilesOfType);
    plan.Level = DeflateLevelOf(DeflateType);
    const TChunkHooks passHooks = MemberHooks(false);
    const TChunkHooks dataHooks = MemberHooks(true);
    TMemberOutcome outcome;
    try {
        outcome = EncodeMemberData(*source, out, plan, Cipher(), passHooks, dataHooks);
    } catch (const EReadError& e) {
        // A source that cannot be read to its end ends the run.
        RaiseError(full, std::string(e.what()) + ": " + SysErrorMessage(e.ErrorNumber),
                   errOpenFile);
        return false;
    }
    if (outcome.Status == TStreamStatus::Cancelled)
        return false;
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

bool TCompBase::PutInPlace(TTempOutput& output) {
    if (OnTmpFileMoveBegin)
        OnTmpFileMoveBegin(*this, FArchiveFile, output.FileName());
    bool placed = true;
    try {
        output.MoveTo(FArchiveFile, [this] {
            if (ProcessMessages)
                ProcessMessages();
        });
    } catch (const std::exception& e) {
        ReportStreamError(FArchiveFile, e, errWriteFile);
        placed = false;
    }
    if (OnTmpFileMoveEnd)
        OnTmpFileMoveEnd(*this);
    return placed;
}

} // namespace vlm
