// The format-independent part of the archive writer: its properties and events, the member
// list, and the compress run (folder check, listing, the add loop, progress, errors,
// cancellation and the temporary output). TZipBase supplies the record handling.
#pragma once

#include "archive/arcCrypt.h"
#include "archive/arcErrors.h"
#include "archive/arcFileScan.h"
#include "archive/arcMember.h"
#include "archive/arcNames.h"
#include "archive/arcRecords.h"
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
    // The full path while the list is built, the stored name once the member is written;
    // in a comment edit, the written name read from the directory.
    std::string Name;
    TCompFileInfo Info;
    // The central header image, kept deciphered; at listing time it holds the file's
    // time, date and attribute word.
    TCentralHeader Central;
    // The length of the file group's root at the start of Name (0 in a comment edit).
    size_t RootLength = 0;
};

// The member list of one run or one comment edit.
class TCompHeaderObj {
public:
    std::vector<TCompMember> Members;
    std::string Comment;
    bool Changed = false;
    // Where the directory of an existing archive begins (comment edit).
    uint64_t DirectoryOffset = 0;

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

class TCompBase;
class TTempOutput;
class TMemberQueue;
class TBufferDeflater;
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
using TOnProgress =
    std::function<void(TCompBase& sender, uint8_t progressByFile, uint8_t progressByArchive)>;
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

class TCompBase {
public:
    TCompBase();
    virtual ~TCompBase();
    TCompBase(const TCompBase&) = delete;
    TCompBase& operator=(const TCompBase&) = delete;

    // Published properties.
    const std::string& ArchiveFile() const { return FArchiveFile; }
    // Native delimiters; DefaultExt appended to a name without extension; clears the cancel
    // flag.
    void SetArchiveFile(std::string_view value);
    std::string Password;
    bool EncryptHeaders = false;
    TStoredDirNames StoredDirNames = sdRelative;
    bool RecurseDirs = true;
    std::vector<std::string> FileSpec;
    // Full paths of single files whose names are literal, not masks (TArcFileScan). A run
    // that lists files takes them: a discovered site's list is not kept twice.
    std::vector<std::string> LiteralSpec;
    std::vector<std::string> ExcludeSpec;
    // A file (full path) for which it answers true is never listed: the owner's own files,
    // such as its output when that lies in a folder it walks.
    std::function<bool(const std::string& fullPath)> SkipFile;
    TArcFileAttrs Attributes = DefaultArcFileAttrs;
    TArcFileAttrs AttributesEx;
    bool IncludeHiddenDirs = false;
    void SetCompressMethod(TCompressMethod value); // other values are ignored
    TDeflateType DeflateType = dtDeflateN;
    std::vector<std::string> StoreFilesOfType = DefaultStoreFilesOfType();
    std::string TempDir; // empty: the platform's temporary folder
    std::string DefaultExt = ".ZIP";
    std::string DefaultDir; // root of the explorer naming modes
    // The archive comment that Compress writes into the new archive's end record (at most
    // 32767 bytes; longer ones are not written). With it in place before the archive takes
    // its name, the comment edit that follows finds the same comment and rewrites nothing,
    // so the archive is never seen, nor left by a kill, without its comment.
    std::string ArchiveComment;
    // Threads that read and encode members ahead of the writer: 0 as many as the machine
    // runs at once, 1 none (every member is encoded on the calling thread). Events are
    // raised on the calling thread, in list order, either way.
    int Jobs = 0;

    // Events.
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

    // Writes a new archive of the files that FileSpec names; the number of files added.
    // Never raises: failures are reported through OnError.
    int Compress() noexcept;

    // The files a Compress run with these properties would take, in member order: the same
    // scan, exclusions and stored names, but nothing is opened or written. excluded, when
    // given, gets the files ExcludeSpec kept out. False when the run was cancelled (files
    // then holds what was listed so far). Never raises.
    bool ListOnly(std::vector<TListedFile>& files,
                  std::vector<TExcludedFile>* excluded = nullptr) noexcept;

    bool GetCancel() const { return FCancel; }
    // Setting the flag reports "User canceled"; the run stops at its next check.
    void SetCancel(bool value);

    // The comment edit.
    virtual int BeginCommentEdit() noexcept = 0;
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
    void Progress(int byFile, int byArchive);
    // Processes messages; false when the run is cancelled.
    bool KeepGoing();

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
    bool PutInPlace(TTempOutput& output);
    // The temporary output in the temporary folder; null after a reported error (which
    // names the temporary folder, not the archive).
    std::unique_ptr<TTempOutput> OpenTempOutput();
    // Reports a write error of the temporary output tempFile, naming it and its folder.
    void ReportTempWriteError(const std::string& tempFile, const EWriteError& e);

    std::string FCurrentFileName;
    int64_t FCurrentFileSize = 0;
    bool FCancel = false;

private:
    void ListFiles();
    void ListEntry(const std::string& folder, const TSearchRec& rec, const std::string& mask);
    bool AddFile(size_t index, TFileStream& out, TPreparedMember* prepared);
    bool WriteMember(size_t index, TFileStream& out, TPreparedMember* prepared);
    bool WriteEncoded(const std::string& full, TPreparedMember& member, TFileStream& out,
                      TMemberOutcome& outcome);
    void StartQueue();
    TBufferDeflater& Deflater(int level);
    TChunkHooks MemberHooks(bool countsRemaining);
    void RefreshExcludeLines();
    void AddLoop(TFileStream& out);
    int CompressRun(TTempOutput& output);

    std::string FArchiveFile;
    TCompressMethod FCompressMethod = cmDeflate;
    TCipher FCipher;
    std::unique_ptr<TCompHeaderObj> FList;
    std::unique_ptr<TMemberQueue> FQueue;
    std::unique_ptr<TBufferDeflater> FDeflater;
    std::vector<TExcludeLine> FExcludeLines;
    std::string FCurrentRoot;
    std::string FTempFileName;
    int FFilesAdded = 0;
    int FMemberNumber = 0;
    uint64_t FTotalBytes = 0;
    uint64_t FBytesRemaining = 0;
    bool FFileListed = false;
    // A listing only: the lines that took the files, and where excluded files go.
    bool FListing = false;
    std::vector<std::string> FListedSpecs;
    std::vector<TExcludedFile>* FExcluded = nullptr;
};

} // namespace vlm
