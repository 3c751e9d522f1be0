#include "settings/SettingsLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "settings/IniFile.h"

namespace {
std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates dir and its missing parents; new directories are private to the
// user.
bool MakeDirectories(const std::string& dir) {
  if (dir.empty() || IsDirectory(dir)) return true;
  std::string path;
  size_t pos = 0;
  while (pos != std::string::npos) {
    size_t slash = dir.find('/', pos + 1);
    path = dir.substr(0, slash);
    pos = slash;
    if (path.empty() || path == "/") continue;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsDirectory(dir);
}

bool ReadFile(const std::string& path, std::string& contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  contents = std::move(text).str();
  return !in.bad();
}
}  // namespace

SettingsEnvironment SettingsEnvironment::FromProcess() {
  return {Env("XDG_CONFIG_HOME"), Env("HOME")};
}

std::string ExecutableDirectory() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return "";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

std::optional<std::string> UserSettingsDirectory(const SettingsEnvironment& env) {
  // A relative XDG_CONFIG_HOME is not valid and is ignored.
  if (env.xdgConfigHome && !env.xdgConfigHome->empty() && env.xdgConfigHome->front() == '/')
    return *env.xdgConfigHome + "/Varlo95/";
  if (env.home && !env.home->empty() && env.home->front() == '/')
    return *env.home + "/.config/Varlo95/";
  return std::nullopt;
}

bool DirectoryIsWritable(const std::string& dir) {
  static std::atomic<unsigned> counter{0};
  std::string base = dir.empty() ? "./" : dir;
  if (base.back() != '/') base += '/';
  std::string probe =
      base + ".Varlo95-probe-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string SettingsFilePath(const std::string& programDir, const SettingsEnvironment& env,
                             const std::function<bool(const std::string&)>& dirWritable) {
  const std::string programFile = programDir + kSettingsFileName;
  const std::optional<std::string> userDir = UserSettingsDirectory(env);
  if (!userDir) return programFile;
  const std::string userFile = *userDir + kSettingsFileName;
  if (IsRegularFile(userFile)) return userFile;
  if (dirWritable(programDir)) return programFile;

  if (!MakeDirectories(userDir->substr(0, userDir->size() - 1)))
    return IsRegularFile(programFile) ? programFile : userFile;
  if (IsRegularFile(programFile)) {
    std::string contents;
    if (!ReadFile(programFile, contents) || !ReplaceFileContents(userFile, contents))
      return programFile;
  }
  return userFile;
}

std::string SettingsFilePath(const std::string& programDir) {
  return SettingsFilePath(programDir, SettingsEnvironment::FromProcess());
}
