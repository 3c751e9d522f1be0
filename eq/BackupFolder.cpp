#include "eq/BackupFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "eq/BackupSet.h"

namespace fs = std::filesystem;

namespace {
std::runtime_error Failure(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

// Makes completed renames and writes in `folder` durable; a folder that
// cannot be synced does not undo what has happened.
void SyncFolder(const fs::path& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

void WriteNewFile(const fs::path& path, std::string_view bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw Failure("cannot write " + path.string(), errno);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n < 0 ? errno : EIO;
      close(fd);
      throw Failure("cannot write " + path.string(), error);
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) {
    int error = errno;
    close(fd);
    throw Failure("cannot write " + path.string(), error);
  }
  if (close(fd) != 0) throw Failure("cannot write " + path.string(), errno);
}

// A fresh, empty folder ".<base>.varlo-<kind>-<pid>-<n>" in `parent`,
// created with the umask's permissions.
fs::path NewSiblingFolder(const fs::path& parent, const std::string& base, const std::string& kind) {
  for (int n = 0;; ++n) {
    fs::path path = parent / ("." + base + ".varlo-" + kind + "-" + std::to_string(getpid()) + "-" +
                              std::to_string(n));
    if (mkdir(path.c_str(), 0777) == 0) return path;
    if (errno != EEXIST || n >= 1000) throw Failure("cannot create a folder in " + parent.string(), errno);
  }
}

// The file that says what the folder is (written last) goes first, so
// that a set half removed is never taken for a whole one.
std::string RemoveOldSet(const fs::path& folder, const std::string& index, const std::string& noun) {
  std::error_code error;
  fs::remove(folder / index, error);
  if (!error) fs::remove_all(folder, error);
  if (error)
    return "the earlier " + noun + ", moved to " + folder.string() + ", could not be removed: " +
           error.message();
  return "";
}

// A file of the set, in a subfolder of the new one where its name says so.
void WriteSetFile(const fs::path& fresh, const BackupFile& file) {
  const fs::path path = fresh / file.name;
  if (path.parent_path() != fresh) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) throw std::runtime_error("cannot create " + path.parent_path().string() + ": " + error.message());
  }
  WriteNewFile(path, file.bytes);
}

// The folder the backup goes to: a symbolic link keeps its place and its
// folder is replaced.
fs::path TargetFolder(const fs::path& dir) {
  fs::path path = fs::absolute(dir).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();
  std::error_code error;
  if (fs::is_symlink(path, error)) {
    fs::path resolved = fs::canonical(path, error);
    if (error) throw std::runtime_error(dir.string() + " is a symbolic link that leads nowhere: " + error.message());
    return resolved;
  }
  return path;
}

// Whether `target` may be replaced (see CheckBackupFolder); fills `old`
// and says whether it exists.
bool CheckTarget(const fs::path& dir, const fs::path& target, struct stat& old, const FolderCheck& check) {
  const bool exists = lstat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) throw Failure("cannot look at " + dir.string(), errno);
  if (exists && !S_ISDIR(old.st_mode))
    throw std::runtime_error(dir.string() + " exists and is not a folder; nothing was written");
  if (exists) check(dir, target);
  return exists;
}
}  // namespace

void CheckBackupFiles(const fs::path& dir, const fs::path& target) {
  // Only an earlier backup is replaced: the user's other files are not
  // deleted with it.
  std::error_code error;
  for (fs::directory_iterator it(target, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!IsBackupFileName(name) || !it->is_regular_file() || it->is_symlink())
      throw std::runtime_error(dir.string() + " holds \"" + name +
                               "\", which is not part of a backup; nothing was written "
                               "(give a new or empty folder, or one that holds only a backup)");
  }
  if (error) throw std::runtime_error("cannot list " + dir.string() + ": " + error.message());
}

bool IsBackupFileName(const std::string& name) {
  if (name == kManifestName) return true;
  for (int preset = 1; preset <= 8; ++preset)
    if (name == PresetFileName(preset)) return true;
  return false;
}

void CheckFolder(const fs::path& dir, const FolderCheck& check) {
  struct stat old{};
  CheckTarget(dir, TargetFolder(dir), old, check);
}

void CheckBackupFolder(const fs::path& dir) { CheckFolder(dir, CheckBackupFiles); }

std::string ReplaceBackupFolder(const fs::path& dir, const std::vector<BackupFile>& files, FolderSwap swap) {
  return ReplaceFolder(dir, files, {"backup", CheckBackupFiles}, swap);
}

std::string ReplaceFolder(const fs::path& dir, const std::vector<BackupFile>& files, const FolderKind& kind,
                          FolderSwap swap) {
  const std::string& noun = kind.noun;
  const std::string index = files.empty() ? std::string() : files.back().name;
  const std::string untouched = "; nothing in " + dir.string() + " was changed";
  const fs::path target = TargetFolder(dir);
  const fs::path parent = target.parent_path();
  const std::string base = target.filename().string();

  struct stat old{};
  const bool exists = CheckTarget(dir, target, old, kind.check);
  if (!exists) {
    std::error_code error;
    fs::create_directories(parent, error);
    if (error) throw std::runtime_error("cannot create " + parent.string() + ": " + error.message());
  }

  const fs::path fresh = NewSiblingFolder(parent, base, "new");
  auto discardFresh = [&] {
    std::error_code ignored;
    fs::remove_all(fresh, ignored);
  };
  try {
    for (const BackupFile& file : files) WriteSetFile(fresh, file);
    if (exists) {
      // A replaced folder keeps its permissions and, where allowed, its owner.
      if (chmod(fresh.c_str(), old.st_mode & 07777) != 0)
        throw Failure("cannot set the permissions of " + fresh.string(), errno);
      if (chown(fresh.c_str(), old.st_uid, old.st_gid) != 0) {
        // Not permitted for another user's folder: the new one is ours.
      }
    }
    SyncFolder(fresh);
  } catch (const std::runtime_error& e) {
    discardFresh();
    throw std::runtime_error(e.what() + untouched);
  }

  if (!exists) {
    if (rename(fresh.c_str(), target.c_str()) != 0) {
      int error = errno;
      discardFresh();
      throw Failure("cannot move the new " + noun + " to " + dir.string(), error);
    }
    SyncFolder(parent);
    return "";
  }

  if (swap == FolderSwap::Exchange) {
    if (renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
      SyncFolder(parent);
      return RemoveOldSet(fresh, index, noun);  // now the earlier set
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) {
      discardFresh();
      throw Failure("cannot put the new " + noun + " in place of " + dir.string(), error);
    }
    // This file system cannot exchange folders: rename aside instead.
  }

  // Renaming onto the empty folder made for it keeps a name of our own
  // that nothing else can take in between.
  fs::path aside;
  try {
    aside = NewSiblingFolder(parent, base, "old");
  } catch (const std::runtime_error& e) {
    discardFresh();
    throw std::runtime_error(e.what() + untouched);
  }
  if (rename(target.c_str(), aside.c_str()) != 0) {
    int error = errno;
    discardFresh();
    rmdir(aside.c_str());
    throw Failure("cannot move the earlier " + noun + " in " + dir.string() + " aside", error);
  }
  if (rename(fresh.c_str(), target.c_str()) != 0) {
    int error = errno;
    if (rename(aside.c_str(), target.c_str()) != 0)
      throw Failure("cannot move the new " + noun + " to " + dir.string() + " (it is in " +
                        fresh.string() + ", the earlier one in " + aside.string() + ")",
                    error);
    discardFresh();
    throw Failure("cannot move the new " + noun + " to " + dir.string(), error);
  }
  SyncFolder(parent);
  return RemoveOldSet(aside, index, noun);
}

std::string ReadSmallFile(const std::filesystem::path& path, size_t limit) {
  auto fail = [&](const std::string& cause) {
    return std::runtime_error("cannot read " + path.string() + ": " + cause);
  };
  // O_NONBLOCK: opening a pipe without a writer, or a device, must not wait.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw fail(std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat st;
  if (fstat(fd, &st) != 0) throw fail(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw fail("it is a folder");
  if (!S_ISREG(st.st_mode)) throw fail("it is not a regular file");
  const std::string tooLarge = "it is larger than " + std::to_string(limit) + " bytes";
  if (static_cast<unsigned long long>(st.st_size) > limit) throw fail(tooLarge);
  std::string bytes(limit + 1, '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw fail(std::strerror(errno));
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done > limit) throw fail(tooLarge);  // it grew while being read
  bytes.resize(done);
  return bytes;
}
