#include "archive/arcBase.h"

#include "archive/arcDeflate.h"
#include "archive/arcFileIo.h"
#include "archive/arcMember.h"
#include "archive/arcPipeline.h"
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
}

std::vector<std::string> DefaultStoreFilesOfType() {
    return {".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC", ".GZ",  ".HA",
            ".JAR", ".LHA", ".LZH", ".PAK", ".PK3", ".PK_", ".RAR", ".TAR",
            ".TGZ", ".UUE", ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"};
}

std::string ArchiveFileName(std::string_view value, std::string_view defaultExt) {
    std::string name = ToNativeDelimiters(value);
    if (!name.empty() && ExtractFileExt(name).empty())
        name += defaultExt;
    return name;
}

TCompBase::TCompBase() : FList(std::make_unique<TCompHeaderObj>()) {}

TCompBase::~TCompBase() = default;

TCompBase::TRunScope::TRunScope(TCompBase& owner, const TCompOptions* options,
                                const TCompEvents* events)
    : FOwner(owner) {
    FOwner.FOptions = options;
    FOwner.FEvents = events;
}

TCompBase::TRunScope::~TRunScope() {
    FOwner.FOptions = nullptr;
    FOwner.FEvents = nullptr;
}

void TCompBase::SetCancel(bool value) {
    FCancel = value;
    if (value)
        ReportError(FCurrentFileName, {}, errUserCanceled);
}

bool TCompBase::Cancelled() {
    if (!FCancel && FOptions != nullptr && FOptions->Cancel != nullptr &&
        FOptions->Cancel->Cancelled())
        SetCancel(true);
    return FCancel;
}

void TCompBase::ReportError(const std::string& fileName, const std::string& extendedMsg, int code) {
    if (FCancel)
        code = errUserCanceled;
    if (FEvents != nullptr && FEvents->OnError)
        FEvents->OnError(*this, fileName, extendedMsg, "0", code);
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

void TCompBase::Progress(const TProgressInfo& progress) {
    if (FEvents == nullptr)
        return;
    if (FEvents->ProcessMessages)
        FEvents->ProcessMessages();
    if (FEvents->OnProgress)
        FEvents->OnProgress(*this, progress);
}

void TCompBase::MemberProgress(uint64_t fileDone) {
    TProgressInfo progress;
    progress.FileDone = fileDone;
    progress.FileSize = static_cast<uint64_t>(std::max<int64_t>(FCurrentFileSize, 0));
    progress.ArchiveKnown = FTotalBytes;
    progress.ArchiveDone = FTotalBytes - FBytesRemaining;
    progress.ProgressByFile =
        static_cast<uint8_t>(Percent(FCurrentFileSize, static_cast<int64_t>(fileDone)));
    progress.ProgressByArchive = static_cast<uint8_t>(Percent(
        static_cast<int64_t>(progress.ArchiveKnown), static_cast<int64_t>(progress.ArchiveDone)));
    Progress(progress);
}

void TCompBase::DirectoryProgress() {
    TProgressInfo progress;
    progress.ArchiveKnown = FTotalBytes;
    progress.ArchiveDone = FTotalBytes - FBytesRemaining;
    Progress(progress);
}

bool TCompBase::KeepGoing() {
    if (FEvents != nullptr && FEvents->ProcessMessages)
        FEvents->ProcessMessages();
    return !Cancelled();
}

std::string TCompBase::MakeStoredName(std::string_view fullPath) const {
    return StoredNameOf(FOptions->StoredDirNames, fullPath, FCurrentRoot, FDefaultDir);
}

int TCompBase::Compress(TCompOptions options, const TCompEvents& events) noexcept {
    FFilesAdded = 0;
    FMemberNumber = 0;
    FTotalBytes = 0;
    FBytesRemaining = 0;
    FFileListed = false;
    FWroteComment = false;
    FCancel = false;
    const TRunScope scope(*this, &options, &events);
    int result = 0;
    try {
        FLiteralSpec = std::move(options.LiteralSpec);
        FArchiveFile = ArchiveFileName(options.ArchiveFile, options.DefaultExt);
        FDefaultDir = options.StoredDirNames == sdExplorer_Auto ? CommonFolderOf(options.FileSpec)
                                                                : options.DefaultDir;
        FDeflateType = options.CompressMethod == cmStore ? dtDeflateS : options.DeflateType;
        result = CompressChecked();
    } catch (...) {
        result = 0;
    }
    FLiteralSpec = {};
    FList->Clear();
    FTempFileName.clear();
    return result;
}

// The run once its options are taken: the checks that leave no trace, then the output.
int TCompBase::CompressChecked() {
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
    if (FOptions->StoredDirNames == sdExplorer_UserDefineDefaultDir && FDefaultDir.empty()) {
        ReportError({}, "DefaultDir", errPropertyNotAssigned);
        return 0;
    }
    int result = 0;
    try {
        if (FEvents->OnActivate)
            FEvents->OnActivate(*this);
        if (const std::unique_ptr<TTempOutput> output = OpenTempOutput(FOptions->TempDir)) {
            FTempFileName = output->FileName();
            result = CompressRun(*output);
        }
    } catch (const E_RAISE&) {
        // Reported where it was raised.
    } catch (const EWriteError& e) {
        // Everything before the move into place is written to the temporary output.
        ReportTempWriteError(FTempFileName, e);
    } catch (const std::exception& e) {
        ReportStreamError(FArchiveFile, e, errWriteFile);
    } catch (...) {
        ReportError(FArchiveFile, {}, errWriteFile);
    }
    if (result == 0) {
        FFilesAdded = 0;
        FWroteComment = false;
    }
    try {
        if (FEvents->OnDeactivate)
            FEvents->OnDeactivate(*this);
    } catch (...) {
    }
    return result;
}

namespace {
int WriteErrorCode(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == EDQUOT ? errDiskFull : errWriteFile;
}
} // namespace

std::unique_ptr<TTempOutput> TCompBase::OpenTempOutput(const std::string& tempDir) {
    // Problems of the temporary folder name it, never the archive.
    std::string folder;
    try {
        folder = TempOutputFolder(tempDir);
    } catch (const EVlmError& e) {
        ReportError({}, e.what(), errInvalidDirectory);
        return nullptr;
    }
    try {
        return std::make_unique<TTempOutput>(folder);
    } catch (const EStreamError& e) {
        ReportError(folder, e.what(), WriteErrorCode(e.ErrorNumber));
        return nullptr;
    }
}

void TCompBase::ReportTempWriteError(const std::string& tempFile, const EWriteError& e) {
    ReportError(tempFile,
                FormatMessage("Cannot write the temporary file \"%s\" in the temporary folder "
                              "\"%s\". %s",
                              {ExtractFileName(tempFile), ExtractFilePath(tempFile),
                               SysErrorMessage(e.ErrorNumber)}),
                WriteErrorCode(e.ErrorNumber));
}

bool TCompBase::ListOnly(TCompOptions options, const TCompEvents& events,
                         std::vector<TListedFile>& files,
                         std::vector<TExcludedFile>* excluded) noexcept {
    FCancel = false;
    files.clear();
    const TRunScope scope(*this, &options, &events);
    FListing = true;
    FListedSpecs.clear();
    FExcluded = excluded;
    try {
        FLiteralSpec = std::move(options.LiteralSpec);
        FDefaultDir = options.StoredDirNames == sdExplorer_Auto ? CommonFolderOf(options.FileSpec)
                                                                : options.DefaultDir;
        ListFiles();
        const TCompHeaderObj& list = *FList;
        files.reserve(list.Count());
        for (size_t i = 0; i < list.Count(); ++i) {
            const TCompMember& member = list.Members[i];
            FCurrentRoot = member.Name.substr(0, member.RootLength);
            files.push_back({member.Name, MakeStoredName(member.Name), member.Info.UncompressedSize,
                             std::move(FListedSpecs[i])});
        }
    } catch (...) {
        FCancel = true;
    }
    FLiteralSpec = {};
    FList->Clear();
    FCurrentRoot.clear();
    FListing = false;
    FListedSpecs = {};
    FExcluded = nullptr;
    return !FCancel;
}

int TCompBase::CompressRun(TTempOutput& output) {
    ListFiles();
    if (Cancelled() || !FFileListed) {
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
    const bool withComment = FOptions->ArchiveComment.size() <= 0x7FFF;
    if (withComment)
        FList->Comment = FOptions->ArchiveComment;
    WriteDirectory(output.Stream(), *FList);
    if (!PutInPlace(output, FArchiveFile))
        return 0;
    FWroteComment = withComment;
    return FFilesAdded;
}

void TCompBase::ListFiles() {
    FList->Clear();
    const TCompOptions& options = *FOptions;
    const TCompEvents& events = *FEvents;
    TArcFileScan scan;
    scan.FileSpec = options.FileSpec;
    scan.LiteralSpec = std::move(FLiteralSpec);
    FLiteralSpec = {};
    scan.Attributes = options.Attributes;
    scan.AttributesEx = options.AttributesEx;
    scan.RecurseDirs = options.RecurseDirs;
    scan.IncludeHiddenDirs = options.IncludeHiddenDirs;
    scan.UpdateList = true;
    scan.SetCancelFlag(&FCancel);
    scan.CancelToken = options.Cancel;
    // A cancel token set meanwhile sets the flag the scanner looks at before its next entry.
    scan.ProcessMessages = [this, &events] {
        if (events.ProcessMessages)
            events.ProcessMessages();
        Cancelled();
    };
    scan.OnScanFile = [this, &events](const std::string& name, int count, uint64_t size) {
        if (events.OnFileScanStatus)
            events.OnFileScanStatus(*this, name, count, size);
    };
    scan.OnRecurseDir = [this, &events](const std::string& folder) {
        if (events.OnRecurseDir)
            events.OnRecurseDir(*this, folder);
    };
    scan.OnRootDirChange = [this](const std::string& folder) {
        FCurrentRoot = IncludeTrailingPathDelimiter(folder);
        RefreshExcludeLines();
    };
    scan.OnEntry = [this, &scan](const std::string& folder, const TSearchRec& rec) {
        ListEntry(folder, rec, scan.MatchedMask());
    };
    // A folder that cannot be read is reported like a file that cannot: its files are missing.
    scan.OnFolderError = [this](const std::string& folder, int errorNumber) {
        ReportError(folder, "The folder cannot be read: " + SysErrorMessage(errorNumber),
                    errNotAccessible);
    };
    scan.OnFolderSkipped = [this, &events](const std::string& folder, bool aboveTop) {
        if (events.OnFolderSkipped)
            events.OnFolderSkipped(*this, folder, aboveTop);
    };
    Cancelled();
    scan.Scan();
    // A scan the token stopped is a cancelled run, also when it stopped on the listing thread.
    Cancelled();
    FTotalBytes = scan.FilesSize();
    FBytesRemaining = FTotalBytes;
}

void TCompBase::RefreshExcludeLines() {
    // The lines are compared in stored-name form, which depends on the group's root.
    FExcludeLines.clear();
    for (const std::string& line : FOptions->ExcludeSpec) {
        if (line.empty())
            continue;
        FExcludeLines.push_back(
            {MakeStoredName(line), line.find(PathDelim) != std::string::npos, line});
    }
}

void TCompBase::ListEntry(const std::string& folder, const TSearchRec& rec,
                          const std::string& mask) {
    if (rec.IsDirectory())
        return;
    std::string full = folder + rec.Name;
    if (FOptions->SkipFile && FOptions->SkipFile(full))
        return;
    if (const TExcludeLine* line =
            FindExcluding(FExcludeLines, MakeStoredName(full), FOptions->RecurseDirs)) {
        if (FExcluded != nullptr)
            FExcluded->push_back({std::move(full), line->Line});
        return;
    }
    if (FListing)
        FListedSpecs.push_back(mask.empty() ? std::string() : FCurrentRoot + mask);
    TCompFileInfo info;
    info.HeadersEnciphered = FOptions->EncryptHeaders;
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

bool TCompBase::PutInPlace(TTempOutput& output, const std::string& archive) {
    const TCompEvents& events = *FEvents;
    if (events.OnTmpFileMoveBegin)
        events.OnTmpFileMoveBegin(*this, archive, output.FileName());
    bool placed = true;
    try {
        output.MoveTo(archive, [&events] {
            if (events.ProcessMessages)
                events.ProcessMessages();
        });
    } catch (const std::exception& e) {
        ReportStreamError(archive, e, errWriteFile);
        placed = false;
    }
    if (events.OnTmpFileMoveEnd)
        events.OnTmpFileMoveEnd(*this);
    return placed;
}

} // namespace vlm
