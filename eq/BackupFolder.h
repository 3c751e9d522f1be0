#pragma once
// Writing a backup folder as a whole. The new set of files is written into
// a fresh hidden folder beside the target (same parent, so that renaming
// works), flushed to disk, and only then swapped in for the target; the
// earlier set is removed last. A failure at any step before the swap leaves
// the target as it was, and the swap itself is one rename: at every moment
// the target path holds either the old whole set or the new whole set.
//
// The folders beside the target while this runs are named
// ".<name>.varlo-new-<pid>-<n>" (the new set being written; the manifest
// goes in last, so a half-written one has none) and ".<name>.varlo-old-..."
// (the earlier set on its way out; its manifest is removed first). A
// process that dies between steps may leave one of them behind; such a
// folder can be deleted.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct BackupFile {
  std::string name;  // a name within the folder ("addr-007/preset-1.V95" in a subfolder)
  std::string bytes;
};

// Throws std::runtime_error when the existing folder `target` (given by the
// user as `dir`) holds anything that is not the kind of set it may replace.
using FolderCheck = std::function<void(const std::filesystem::path& dir, const std::filesystem::path& target)>;
struct FolderKind {
  std::string noun;  // "backup", "snapshot": for the messages
  FolderCheck check;
};
// The check of a backup folder: nothing but the backup's files.
void CheckBackupFiles(const std::filesystem::path& dir, const std::filesystem::path& target);
// Throws, as ReplaceFolder would, when `dir` is there but fails `check`.
void CheckFolder(const std::filesystem::path& dir, const FolderCheck& check);

// Whether `name` is one of the files a backup folder holds: the manifest
// or preset-1.V95 to preset-8.V95.
bool IsBackupFileName(const std::string& name);

// Throws std::runtime_error, as ReplaceBackupFolder would, when `dir` is
// there but may not be replaced: checked before a device is asked, so that
// a refusal comes at once.
void CheckBackupFolder(const std::filesystem::path& dir);

enum class FolderSwap {
  Exchange,     // one atomic exchange of the two folders where the file
                // system has it, else RenameAside
  RenameAside,  // the old folder renamed aside, then the new one in
};

// Makes `dir` hold exactly `files`, written in their order (the manifest
// last). A `dir` that is a symbolic link keeps its place and the folder it
// leads to is replaced. An existing folder is replaced only when it holds
// nothing but regular files with backup names: anything else (another
// file, a subfolder, a link) is the user's and the folder is refused. A
// replaced folder keeps its permission bits (and, where allowed, its
// owner); a new one gets the umask's. Missing parent folders are created.
//
// Throws std::runtime_error naming the file or folder that failed and the
// cause; `dir` is then as it was and no folder is left beside it. Returns
// a warning (else empty) when the new set is in place but the earlier set
// could not be removed.
std::string ReplaceBackupFolder(const std::filesystem::path& dir, const std::vector<BackupFile>& files,
                                FolderSwap swap = FolderSwap::Exchange);
// The same for any kind of set: the last of `files` says what the folder
// is, and an existing folder is replaced only when `kind.check` allows it.
std::string ReplaceFolder(const std::filesystem::path& dir, const std::vector<BackupFile>& files,
                          const FolderKind& kind, FolderSwap swap = FolderSwap::Exchange);

// A small regular file (a symbolic link is followed) of at most `limit`
// bytes. A folder, device or pipe is refused without waiting on it, and no
// more than `limit` bytes are ever read. Throws std::runtime_error naming
// the file and the cause.
std::string ReadSmallFile(const std::filesystem::path& path, size_t limit);
