// The format-independent part of the archive writer: its run options and events, the
// member list, and the compress run (folder check, listing, the add loop, progress, errors,
// cancellation and the temporary output). TZipBase supplies the record handling.
#pragma once

#include "archive/arcCrypt.h"
#include "archive/arcErrors.h"
#include "archive/arcFileScan.h"
#include "archive/arcMember.h"
#include "archive/arcNames.h"
#include "archive/arcRecords.h"
#include "platform/UCancel.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// part * 100 / whole rounded to the nearest integer, halves to even; 0 when whole <= 0,
// and clamped to 0..100.
int Percent(int64_t whole, int64_t part);

enum TDeflateType : uint8_t { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };
enum TCompressMethod : uint8_t { cmStore, cmDeflate };

// One member of the list.
struct TCompFileInfo {
    enum TState : uint8_t { New = 0, Copied = 1, LeftOut = 2, Renamed = 3 };
    uint8_t State = New;
    uint64_t LocalHeaderOffset = 0;
    // Full sizes; the records hold their low 32 bits (the large form the rest).
    uint64_t UncompressedSize = 0;
    uint64_t CompressedSize = 0;
    bool HeadersEnciphered = false;
    std::string Extra;   // central extra field
    std::string Comment; // file comment
};

// One member of the list and the records kept for it.
struct TCompMember {
    // The full path while the list is built, the stored name once the member is written.
    std::string Name;
    TCompFileInfo Info;
    // The central header image, kept deciphered; at listing time it holds the file's
    // time, date and attribute word.
    TCentralHeader Central;
    // The length of the file group's root at the start of Name.
    size_t RootLength = 0;
};

// The member list of one run.
class TCompHeaderObj {
public:
    std::vector<TCompMember> Members;
    std::string Comment;

    size_t Count() const { return Members.size(); }
    void Clear();
};

// A file a Compress run would take: its full path, the name it would be stored under and
// its size when it was listed.
struct TListedFile {
    std::string Path;
    std::string StoredName;
    uint64_t Size = 0;
    std::string Spec; // the FileSpec line (folder and mask) that took it; empty for a literal
};

// A file that a line of ExcludeSpec kept out of a listing, and the line.
struct TExcludedFile {
    std::string Path;
    std::string Line;
};

// What OnProgress hands over: the two bars' values, and the bytes behind them, so that a
// front end can draw a bar of its own. The archive's bytes are those of the files listed
// (a file left out stays counted); its bytes done are those read for the members' data.
struct TProgressInfo {
    uint8_t ProgressByFile = 0;    // percent of the current member read
    uint8_t ProgressByArchive = 0; // percent of the listed bytes read
    uint64_t FileDone = 0;
    uint64_t FileSize = 0;
    uint64_t ArchiveDone = 0;
    uint64_t ArchiveKnown = 0;
};

class TCompBase;
class TTempOutput;
class TMemberPrefetch;
struct TPreparedMember;
struct TChunkHooks;
using TArcNotifyEvent = std::function<void(TCompBase& sender)>;
using TOnBeginEvent =
    std::function<void(TCompBase& sender, const std::string& fileName, int count, bool& extract)>;
using TOnEndEvent =
    std::function<void(TCompBase& sender, const std::string& fileName, bool crcPass)>;
using TOnErrorEvent =
    std::function<void(TCompBase& sender, const std::string& fileName,
                       const std::string& extendedMsg, const std::string& volumeID, int eCode)>;
using TOnProgress = std::function<void(TCompBase& sender, const TProgressInfo& progress)>;
using TOnTmpFileMoveBegin = std::function<void(TCompBase& sender, const std::string& archive,
                                               const std::string& tempFileName)>;

// The error that ends a run: the code's text, after it was reported.
class E_RAISE : public EVlmError {
public:
    E_RAISE(int code, const std::string& message) : EVlmError(message), Code(code) {}
    int Code;
};

// The extensions stored without deflating.
std::vector<std::string> DefaultStoreFilesOfType();

// What a run is to do. A run takes these as they are and changes none of them; it may be
// handed them by value, so that a long LiteralSpec is moved in, never copied.
struct TCompOptions {
    // The archive to write (or to edit); a name without extension gets DefaultExt.
    std::string ArchiveFile;
    // When not empty, every member with at least one byte is encrypted with it.
    std::string Password;
    bool EncryptHeaders = false;
    TStoredDirNames StoredDirNames = sdRelative;
    bool RecurseDirs = true;
    std::vector<std::string> FileSpec;
    // Full paths of single files whose names are literal, not masks (TArcFileScan).
    std::vector<std::string> LiteralSpec;
    std::vector<std::string> ExcludeSpec;
    // A file (full path) for which it answers true is never listed: the owner's own files,
    // such as its output when that lies in a folder it walks.
    std::function<bool(const std::string& fullPath)> SkipFile;
    TArcFileAttrs Attributes = DefaultArcFileAttrs;
    TArcFileAttrs AttributesEx;
    bool IncludeHiddenDirs = false;
    // cmStore stores every member, whatever DeflateType says.
    TCompressMethod CompressMethod = cmDeflate;
    TDeflateType DeflateType = dtDeflateN;
    std::vector<std::string> StoreFilesOfType = DefaultStoreFilesOfType();
    std::string TempDir; // empty: the platform's temporary folder
    std::string DefaultExt = ".ZIP";
    // The root of the explorer naming modes (sdExplorer_Auto finds its own).
    std::string DefaultDir;
    // The archive comment that Compress writes into the new archive's end record (at most
    // 32767 bytes; longer ones are not written, which WroteComment tells). With it in place
    // before the archive takes its name, the archive is never seen, nor left by a kill,
    // without its comment, and no comment edit has to follow.
    std::string ArchiveComment;
    // Threads that read and encode members ahead of the writer: 0 as many as the machine
    // runs at once, 1 none (every member is encoded on the calling thread). Events are
    // raised on the calling thread, in list order, either way.
    int Jobs = 0;
    // Looked at by the run before every chunk and entry and by its workers before every
    // member: once it is set the run ends as SetCancel(true) ends it.
    const TCancelToken* Cancel = nullptr;
};

// What a run tells: every event is raised on the thread that called the run.
struct TCompEvents {
    TArcNotifyEvent OnActivate;
    TArcNotifyEvent OnDeactivate;
    TOnBeginEvent OnBegin;
    TOnEndEvent OnEnd;
    TOnErrorEvent OnError;
    TOnProgress OnProgress;
    TOnTmpFileMoveBegin OnTmpFileMoveBegin;
    TArcNotifyEvent OnTmpFileMoveEnd;
    std::function<void(TCompBase& sender, const std::string& name, int count, uint64_t size)>
        OnFileScanStatus;
    std::function<void(TCompBase& sender, const std::string& directory)> OnRecurseDir;
    // A folder the walk does not enter (TArcFileScan::OnFolderSkipped).
    std::function<void(TCompBase& sender, const std::string& folder, bool aboveTop)>
        OnFolderSkipped;
    // Lets the window process pending messages (progress, between chunks and entries).
    std::function<void()> ProcessMessages;
};

// The archive a run writes for the option value: native delimiters, and defaultExt
// appended to a name without extension.
std::string ArchiveFileName(std::string_view value, std::string_view defaultExt);

class TCompBase {
public:
    TCompBase();
    virtual ~TCompBase();
    TCompBase(const TCompBase&) = delete;
    TCompBase& operator=(const TCompBase&) = delete;

    // Writes a new archive of the files that options name; the number of files added.
    // Never raises: failures are reported through events.OnError.
    int Compress(TCompOptions options, const TCompEvents& events) noexcept;
    // Whether the last Compress put an archive in place that holds its ArchiveComment.
    bool WroteComment() const { return FWroteComment; }

    // The files a Compress run with these options would take, in member order: the same
    // scan, exclusions and stored names, but nothing is opened or written. excluded, when
    // given, gets the files ExcludeSpec kept out. False when the run was cancelled (files
    // then holds what was listed so far). Never raises.
    bool ListOnly(TCompOptions options, const TCompEvents& events, std::vector<TListedFile>& files,
                  std::vector<TExcludedFile>* excluded = nullptr) noexcept;

    bool GetCancel() const { return FCancel; }
    // Setting the flag reports "User canceled"; the run stops at its next check. The flag
    // is cleared at the start of Compress and stays set after a cancelled run.
    void SetCancel(bool value);

    // The comment edit of the archive options.ArchiveFile, reporting through events (which
    // are kept until the edit is committed): the member count, 0 after a reported error.
    virtual int BeginCommentEdit(const TCompOptions& options,
                                 const TCompEvents& events) noexcept = 0;
    virtual void SetArchiveComment(const char* bytes, int16_t length) noexcept = 0;
    virtual bool CommitCommentEdit() noexcept = 0;
    virtual std::string_view GetArchiveComment() const noexcept = 0;

    const std::string& CurrentFileName() const { return FCurrentFileName; }
    int64_t CurrentFileSize() const { return FCurrentFileSize; }

protected:
    // Reports through OnError; the code becomes "User canceled" while the cancel flag is set.
    void ReportError(const std::string& fileName, const std::string& extendedMsg, int code);
    // Reports, then raises E_RAISE unless the cancel flag is set.
    void RaiseError(const std::string& fileName, const std::string& extendedMsg, int code);
    // Reports a stream error met while writing fileName: "Disk full" for a full disk,
    // else code.
    void ReportStreamError(const std::string& fileName, const std::exception& e, int code);

    // Processes messages, then raises OnProgress.
    void Progress(const TProgressInfo& progress);
    // The progress event of a member's chunk: fileDone bytes of the member are read.
    void MemberProgress(uint64_t fileDone);
    // The progress event raised when the directory is begun: both bars at 0.
    void DirectoryProgress();
    // Processes messages; false when the run is cancelled (by SetCancel or the token).
    bool KeepGoing();
    // Whether the run is cancelled; a token that was set sets the flag (and reports).
    bool Cancelled();

    std::string MakeStoredName(std::string_view fullPath) const;

    // Record hooks of the format.
    virtual size_t LocalHeaderSize() const = 0;
    // The placeholder header of member index (written before the data).
    virtual void BeginLocalHeader(size_t index) = 0;
    // Writes the placeholder and the plain written name at the output's end.
    virtual void WritePlaceholder(TFileStream& out, const std::string& written, uint64_t size) = 0;
    // Completes the header (the compressed size is what follows the name up to the
    // output's end) and writes it, enciphered when required, over the placeholder.
    virtual void FinishLocalHeader(TFileStream& out, size_t index, uint64_t pos,
                                   const std::string& written, uint16_t method, uint16_t flags,
                                   uint32_t crc, uint64_t uncompressed) = 0;
    virtual void BuildCentralRecord(size_t index) = 0;
    // Central directory and end record of list at the output's end.
    virtual void WriteDirectory(TFileStream& out, const TCompHeaderObj& list) = 0;

    TCompHeaderObj& Members() { return *FList; }
    TCipher& Cipher() { return FCipher; }
    // Writes the temporary output under the archive's name; false after a reported error.
    bool PutInPlace(TTempOutput& output, const std::string& archive);
    // The temporary output in the temporary folder; null after a reported error (which
    // names the temporary folder, not the archive).
    std::unique_ptr<TTempOutput> OpenTempOutput(const std::string& tempDir);
    // Reports a write error of the temporary output tempFile, naming it and its folder.
    void ReportTempWriteError(const std::string& tempFile, const EWriteError& e);

    // Sets what the calling operation reports through and looks at, until it ends.
    class TRunScope {
    public:
        TRunScope(TCompBase& owner, const TCompOptions* options, const TCompEvents* events);
        ~TRunScope();
        TRunScope(const TRunScope&) = delete;
        TRunScope& operator=(const TRunScope&) = delete;

    private:
        TCompBase& FOwner;
    };

    std::string FCurrentFileName;
    int64_t FCurrentFileSize = 0;
    bool FCancel = false;

private:
    int CompressChecked();
    void ListFiles();
    void ListEntry(const std::string& folder, const TSearchRec& rec, const std::string& mask);
    bool AddFile(size_t index, TFileStream& out, TMemberPrefetch& prefetch);
    bool WriteMember(size_t index, TFileStream& out, TPreparedMember prepared,
                     TMemberPrefetch& prefetch);
    bool WriteEncoded(const std::string& full, TPreparedMember& member, TFileStream& out,
                      TMemberOutcome& outcome);
    bool StreamMember(const std::string& full, TFileStream& source, TFileStream& out,
                      const TMemberPlan& plan, TMemberOutcome& outcome);
    std::unique_ptr<TMemberPrefetch> StartPrefetch();
    TChunkHooks MemberHooks(bool countsRemaining);
    void RefreshExcludeLines();
    void AddLoop(TFileStream& out);
    int CompressRun(TTempOutput& output);

    // Set for the length of a run or of a comment edit's steps.
    const TCompOptions* FOptions = nullptr;
    const TCompEvents* FEvents = nullptr;
    // The run's own values, derived from its options.
    std::string FArchiveFile;
    std::string FDefaultDir;
    TDeflateType FDeflateType = dtDeflateN;

    TCipher FCipher;
    std::unique_ptr<TCompHeaderObj> FList;
    std::vector<TExcludeLine> FExcludeLines;
    std::vector<std::string> FLiteralSpec; // the run's, handed to the scanner
    std::string FCurrentRoot;
    std::string FTempFileName;
    int FFilesAdded = 0;
    int FMemberNumber = 0;
    uint64_t FTotalBytes = 0;
    uint64_t FBytesRemaining = 0;
    bool FFileListed = false;
    bool FWroteComment = false;
    // A listing only: the lines that took the files, and where excluded files go.
    bool FListing = false;
    std::vector<std::string> FListedSpecs;
    std::vector<TExcludedFile>* FExcluded = nullptr;
};

} // namespace vlm
