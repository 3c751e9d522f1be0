#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace {
[[noreturn]] void Fail(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

// A symbolic link is followed so that the link stays and its file is
// replaced; a link that leads nowhere is replaced itself.
std::string ResolveTarget(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a fresh temporary file beside the target; the umask applies to
// its permissions as it would to a newly created target.
int CreateTemporary(const std::string& folder, const std::string& base, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + "/." + base + "." + std::to_string(getpid()) + "." +
               std::to_string(counter.fetch_add(1)) + ".tmp";
    int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) Fail(errno, "cannot create a temporary file in " + folder);
  }
  Fail(EEXIST, "cannot create a temporary file in " + folder);
}

void WriteAll(int fd, std::string_view contents) {
  size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = write(fd, contents.data() + done, contents.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno, "write failed");
    }
    if (n == 0) Fail(EIO, "write failed");
    done += static_cast<size_t>(n);
  }
}

// Makes the rename itself durable; a folder that cannot be synced does not
// undo a replacement that has already happened.
void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}
}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  const std::string target = ResolveTarget(path);
  struct stat existing;
  bool exists = stat(target.c_str(), &existing) == 0;
  // Renaming over a device or a folder would not write a file at all.
  if (exists && !S_ISREG(existing.st_mode)) throw std::runtime_error("not a regular file");
  if (exists) {
    // A file this user may not write (read-only, for an ordinary user) is
    // not replaced behind its back, although the folder would allow it.
    int probe = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (probe < 0) Fail(errno, "cannot write the file");
    close(probe);
  }

  const std::string folder = FolderOf(target);
  std::string tempPath;
  int fd = CreateTemporary(folder, BaseNameOf(target), tempPath);
  try {
    if (exists) {
      // The replacement keeps the permissions (and, where allowed, the owner)
      // of the file it replaces.
      if (fchmod(fd, existing.st_mode & 07777) != 0) Fail(errno, "cannot set permissions");
      if (fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        // Not permitted for another user's file: the file then belongs to us.
      }
    }
    WriteAll(fd, contents);
    if (fsync(fd) != 0) Fail(errno, "cannot flush to disk");
    int closing = fd;
    fd = -1;
    if (close(closing) != 0) Fail(errno, "cannot close the temporary file");
    if (rename(tempPath.c_str(), target.c_str()) != 0) Fail(errno, "cannot replace the file");
  } catch (...) {
    if (fd >= 0) close(fd);
    unlink(tempPath.c_str());
    throw;
  }
  SyncFolder(folder);
}
