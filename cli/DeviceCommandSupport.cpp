#include "cli/DeviceCommandSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "eq/EqualizerDocument.h"
#include "link/PA422Messages.h"

std::set<std::string> WithLineOptions(std::set<std::string> options) {
  options.insert({"--port", "--device"});
  return options;
}

LineChoice LineFrom(const Arguments& args) {
  if (args.options.count("--port") && args.options.count("--device"))
    throw UsageError("give --port or --device, not both");
  LineChoice line;
  if (auto it = args.options.find("--device"); it != args.options.end()) {
    if (it->second.empty()) throw UsageError("option --device needs a device path or address");
    line.device = it->second;
  }
  line.port = IntegerOption(args, "--port", 0, 1, 255);
  return line;
}

int RequiredAddress(const Arguments& args) {
  if (!args.options.count("--address")) throw UsageError("option --address N is required");
  return IntegerOption(args, "--address", 0, 1, kMaxAddress);
}

std::string RequiredPath(const Arguments& args, const std::string& name) {
  auto it = args.options.find(name);
  if (it == args.options.end() || it->second.empty())
    throw UsageError("option " + name + " DIR is required");
  return it->second;
}

void NoPositional(const Arguments& args, const std::string& command) {
  if (!args.positional.empty())
    throw UsageError(command + " takes no argument \"" + args.positional[0] + "\"");
}

bool StoppedAnswering(const LinkResult& r) {
  return r.notFound || r.message == "Timeout - Waiting for DT/ID." ||
         r.message == "Timeout - Waiting for Data from ORB.";
}

std::string FailedWhile(int address, const LinkResult& r, const std::string& what) {
  if (r.lineGone) return r.message + " while " + what + " of address " + std::to_string(address);
  return "device at address " + std::to_string(address) +
         (StoppedAnswering(r) ? " stopped answering" : " failed") + " while " + what + " (" +
         r.message + ")";
}

std::string NoDeviceAt(int address, const DeviceSession& session) {
  return "no device answered at address " + std::to_string(address) + " on " + session.DeviceName() +
         " (is the line connected and the device powered?)";
}

std::string DeviceFormName(const std::string& text) { return BlockName(pa422::Name16(text), 1); }

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
