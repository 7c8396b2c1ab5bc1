// The file system as the rest of the system sees it: existence tests, folder listing,
// the synthesised attribute word, DOS times, the private temporary folder, unique
// temporary files and the program folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vlm {

// Attribute word bits (the Windows values; POSIX synthesises 1, 2, 16 and 32).
enum : uint32_t {
    faReadOnly = 1,
    faHidden = 2,
    faSysFile = 4,
    faVolumeID = 8,
    faDirectory = 16,
    faArchive = 32,
    faNormal = 128,
    faTemporary = 256,
    faCompressed = 2048,
    faOffline = 4096,
    faNotContentIndexed = 8192,
    faEncrypted = 16384,
};

// A regular file exists at path (links followed). Folders, FIFOs, sockets and devices
// are not files.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Why no regular file can be opened at path: 0 when one exists, else the system's error
// number (ENOENT, ENOTDIR, EACCES...; EISDIR for a folder, EINVAL for a FIFO, socket or
// device).
int FileMissingReason(std::string_view path);
// Creates one folder level; false when it cannot.
bool CreateDir(std::string_view path);
bool DeleteFile(std::string_view path);
bool RemoveDir(std::string_view path);
// Something is at path: a file, folder, device or a link, even a dangling one (the link
// itself is not followed).
bool PathEntryExists(std::string_view path);
// path names a symbolic link (followed or not, dangling or not).
bool IsSymbolicLink(std::string_view path);
// Creates folder and its missing parents; 0 or the system's error number.
int ForceFolders(std::string_view folder);
// Size of the file, or -1 when it cannot be read.
int64_t FileSizeOf(std::string_view path);

// The attribute word of an entry: directory 16, regular file 32 (archive), read-only 1
// when the owner may not write, hidden 2 when the name begins with "."; -1 when the
// entry does not exist or is neither a file nor a folder.
int64_t FileGetAttr(std::string_view path);

// One entry of a folder listing.
struct TSearchRec {
    std::string Name;  // without folder
    uint32_t Attr = 0; // attribute word
    uint64_t Size = 0; // bytes (0 for folders)
    time_t Time = 0;   // last write
    dev_t Device = 0;  // identity of what the entry leads to (links followed)
    ino_t Inode = 0;
    bool IsDirectory() const { return (Attr & faDirectory) != 0; }
};

// Reports every file and folder of folder (links followed, "." and ".." left out), in the
// order the file system returns them, until the callback returns false. Sockets, FIFOs,
// devices and dangling links are never reported. A folder that cannot be listed yields
// nothing; the result says whether it could be opened, and errorNumber (when given) gets
// the system's error number when it could not.
bool ListFolder(std::string_view folder, const std::function<bool(const TSearchRec&)>& onEntry,
                int* errorNumber = nullptr);
// The names of folder ("." and ".." left out), in the order the file system returns them,
// without looking at what they name: the cheap listing for a search by name. Empty when
// the folder cannot be listed.
std::vector<std::string> FolderNames(std::string_view folder);
// One name of a folder listing, and whether the listing itself says that the name is a
// regular file (not a link): such an entry needs no look at the file to tell what it is.
struct TFolderEntry {
    std::string Name;
    bool RegularFile = false;
};
// The entries of folder ("." and ".." left out) in the order the file system returns them,
// without looking at what they name; false (and errorNumber when given) when the folder
// cannot be listed.
bool ListFolderEntries(std::string_view folder, std::vector<TFolderEntry>& entries,
                       int* errorNumber = nullptr);
// The record of one path (links followed); false when it is missing or not a file or folder.
bool FindEntry(std::string_view path, TSearchRec& rec);

// What a path leads to (links followed): the same file or folder under every name.
struct TFileId {
    dev_t Device = 0;
    ino_t Inode = 0;
    friend bool operator==(const TFileId&, const TFileId&) = default;
};
// The identity of what path leads to; false when nothing is there.
bool FileIdOf(std::string_view path, TFileId& id);
// The folders above folder, both as its path names them ("/a/b/" for "/a/b/c/") and as
// the file system has them when links lead there ("c/.." and up): a link that leads to one
// of them would take the walk of folder out of it and around again. folder itself is not
// among them.
std::vector<TFileId> FolderAncestorIds(std::string_view folder);
// path with its links followed (realpath): for a name that does not exist, its folder's
// resolved path and the name; path itself when not even the folder resolves.
std::string ResolvedPath(std::string_view path);
// Whether a regular file can be opened at path for reading: 0, or the system's error
// number (what the archive writer would meet when it reads the file).
int FileOpenError(std::string_view path);

// Local time packed as DOS time (low 16 bits) and DOS date (high 16 bits); times before
// 1980 become 1980-01-01 00:00, times after 2107 become 2107-12-31 23:59:58.
uint32_t DateTimeToDosDateTime(time_t time);

// The folder temporary files go to: $TMPDIR, or /tmp when it is unset or empty.
std::string TempBaseFolder();
// The private temporary folder of this process (mode 0700, ending in the delimiter): made on
// first use in TempBaseFolder() under a name that holds the process id and start time
// ("vlmpack-PID-START-XXXXXX"), made anew (under a new name) when it has gone or is no
// longer this user's private folder, and removed at exit when empty. The first use also
// removes the private folders of this user that killed processes left (see
// RemoveStalePrivateFolders). Raises EVlmError naming the temporary folder, the private
// folder and the reason when none can be made, or when the folder set by SetTempFolder
// does not exist.
std::string RequireTempFolder();
// The same, or the empty text when none can be made.
std::string TempFolder();
// Points the temporary folder elsewhere (tests); the empty text restores the default.
void SetTempFolder(std::string_view folder);
// Removes from base the private temporary folders ("vlmpack-PID-START-XXXXXX") of this user
// whose process has ended: no process PID runs, or the one that does started at another
// time. The files in such a folder go with it (they may hold a viewer password); a folder
// of another user, a link, a folder with subfolders and every other name are left alone.
// Returns the number of folders removed.
int RemoveStalePrivateFolders(std::string_view base);

// Creates a new empty file folder + prefix + 4 hex digits + ".tmp" exclusively (mode 0600)
// and returns its path; raises EFCreateError when none can be made.
std::string CreateUniqueTempFile(std::string_view folder, std::string_view prefix = "arc");

// Whether new files can be made in folder: a probe file, prefix + 16 random hex digits +
// ".tmp", is created exclusively there and removed. 0 or the system's error number.
int ProbeFolder(std::string_view folder, std::string_view prefix);

// The folder of the running program, ending in the delimiter. The environment variable
// VLM_PROGRAM_DIR, or SetProgramFolder, points it elsewhere (tests).
std::string ProgramFolder();
void SetProgramFolder(std::string_view folder);
// Full path of the running program.
std::string ProgramPath();

} // namespace vlm
