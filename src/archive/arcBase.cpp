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
        if (const std::unique_ptr<TTempOutput> output = OpenTempOutput()) {
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

namespace {
int WriteErrorCode(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == EDQUOT ? errDiskFull : errWriteFile;
}
} // namespace

std::unique_ptr<TTempOutput> TCompBase::OpenTempOutput() {
    // Problems of the temporary folder name it, never the archive.
    std::string folder;
    try {
        folder = TempOutputFolder(TempDir);
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

bool TCompBase::ListOnly(std::vector<TListedFile>& files,
                         std::vector<TExcludedFile>* excluded) noexcept {
    FCancel = false;
    files.clear();
    FListing = true;
    FListedSpecs.clear();
    FExcluded = excluded;
    try {
        if (StoredDirNames == sdExplorer_Auto)
            DefaultDir = CommonFolderOf(FileSpec);
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
    FList->Clear();
    FCurrentRoot.clear();
    FListing = false;
    FListedSpecs = {};
    FExcluded = nullptr;
    return !FCancel;
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
    if (ArchiveComment.size() <= 0x7FFF)
        FList->Comment = ArchiveComment;
    WriteDirectory(output.Stream(), *FList);
    return PutInPlace(output) ? FFilesAdded : 0;
}

void TCompBase::ListFiles() {
    FList->Clear();
    TArcFileScan scan;
    scan.FileSpec = FileSpec;
    scan.LiteralSpec = std::move(LiteralSpec);
    LiteralSpec.clear();
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
    scan.OnEntry = [this, &scan](const std::string& folder, const TSearchRec& rec) {
        ListEntry(folder, rec, scan.MatchedMask());
    };
    // A folder that cannot be read is reported like a file that cannot: its files are missing.
    scan.OnFolderError = [this](const std::string& folder, int errorNumber) {
        ReportError(folder, "The folder cannot be read: " + SysErrorMessage(errorNumber),
                    errNotAccessible);
    };
    scan.OnFolderSkipped = [this](const std::string& folder, bool aboveTop) {
        if (OnFolderSkipped)
            OnFolderSkipped(*this, folder, aboveTop);
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
        FExcludeLines.push_back(
            {MakeStoredName(line), line.find(PathDelim) != std::string::npos, line});
    }
}

void TCompBase::ListEntry(const std::string& folder, const TSearchRec& rec,
                          const std::string& mask) {
    if (rec.IsDirectory())
        return;
    std::string full = folder + rec.Name;
    if (SkipFile && SkipFile(full))
        return;
    if (const TExcludeLine* line =
            FindExcluding(FExcludeLines, MakeStoredName(full), RecurseDirs)) {
        if (FExcluded != nullptr)
            FExcluded->push_back({std::move(full), line->Line});
        return;
    }
    if (FListing)
        FListedSpecs.push_back(mask.empty() ? std::string() : FCurrentRoot + mask);
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
