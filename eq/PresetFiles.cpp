#include "eq/PresetFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/MessageLogger.h"
#include "settings/AtomicFile.h"

namespace {
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void CannotRead(const std::string& path, const std::string& cause) {
  throw PresetFileError(path, "Cannot read preset file " + Quoted(path) + ": " + cause);
}

// Opened without blocking, so that a pipe without a writer or a device
// cannot stall the program.
int OpenForReading(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) CannotRead(path, std::strerror(errno));
  return fd;
}

// Up to `limit` bytes from the start of an open file, which is closed.
std::string ReadUpTo(int fd, const std::string& path, size_t limit) {
  std::string bytes(limit, '\0');
  size_t done = 0;
  while (done < limit) {
    ssize_t n = read(fd, bytes.data() + done, limit - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      close(fd);
      CannotRead(path, std::strerror(error));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  bytes.resize(done);
  return bytes;
}

std::string ReadPrefix(const std::string& path, size_t limit) {
  return ReadUpTo(OpenForReading(path), path, limit);
}

// What a file's bytes hold, refused when the device would not accept it.
PresetFileContents CheckedContents(const std::string& path, PresetFormat format,
                                   std::string_view bytes) {
  PresetFileContents contents = ParsePreset(format, bytes);
  if (auto refused = RefusedPresetValue(contents)) CannotRead(path, *refused);
  return contents;
}
}  // namespace

PresetFileContents ReadPresetFile(const std::string& path, PresetFormat format) {
  const size_t size = PresetFileSize(format);
  std::string bytes = ReadPrefix(path, size);
  if (bytes.size() < size)
    CannotRead(path, "the file is too short (" + std::to_string(bytes.size()) + " bytes; the " +
                         (format == PresetFormat::Mac ? "Mac" : ".equ") + " format has " +
                         std::to_string(size) + ")");
  return CheckedContents(path, format, bytes);
}

PresetFormat ReaderForOpenedFile(const std::string& path, int filterIndex) {
  if (filterIndex == kOpenMacFilter) return PresetFormat::Mac;
  if (filterIndex != kOpenAllFilesFilter) return PresetFormat::Equ;
  struct stat info {};
  const uint64_t size = ::stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
  return PresetFormatForFile(path, size);
}

void WritePresetFile(const std::string& path, PresetFormat format, const TEqualizerDocument& doc) {
  const std::string prefix = "Cannot write preset file " + Quoted(path) + ": ";
  std::string bytes;
  try {
    bytes = BuildPreset(format, doc);
  } catch (const PresetFileError& e) {
    throw PresetFileError(path, prefix + e.what());
  }
  try {
    WriteFileAtomically(path, bytes);
  } catch (const std::runtime_error& e) {
    throw PresetFileError(path, prefix + e.what());
  }
}

PresetLoadResult ApplyPresetContents(TEqualizerDocument& doc, const PresetFileContents& contents,
                                     const SliderPolicy& sliders) {
  PresetLoadResult result;
  result.maxExcursion = contents.maxExcursion;
  SliderPolicy policy = sliders;
  if (contents.ExceedsSliderRange(sliders.sliderRange)) {
    result.sliderRangeRaised = true;
    policy.sliderRange = contents.maxExcursion;
  }
  result.sliderRange = policy.sliderRange;

  // Positions beyond the range (an .equ gain, which m does not count) stop
  // at the range's end, as the sliders do.
  for (int slot = 1; slot <= kSliderCount; ++slot)
    doc.SetSliderSteps(slot, policy.Apply(doc.SliderSteps(slot), contents.sliderSteps[slot - 1]));

  if (doc.CurrentPreset >= 1 && doc.CurrentPreset <= kPresetCount)
    doc.PresetNames[doc.CurrentPreset - 1] = contents.presetName;
  doc.PresetName = contents.presetName;

  if (contents.lockByte) {
    result.lockCleared = doc.Lock;
    doc.Lock = false;
    result.pasteEnabled = *contents.lockByte != 1;
  }
  doc.HighPassIndex = contents.highPassIndex;
  doc.LowPassIndex = contents.lowPassIndex;

  result.payload = contents.Payload(doc.CurrentPreset);
  return result;
}

PresetLoadResult OpenPresetFile(TEqualizerDocument& doc, const std::string& path,
                                PresetFormat format, const SliderPolicy& sliders) {
  doc.FileName = path;
  PresetFileContents contents = ReadPresetFile(path, format);
  PresetLoadResult result = ApplyPresetContents(doc, contents, sliders);
  TraceLine(format == PresetFormat::Mac ? " OpenV95MacFile" : " Open");
  return result;
}

void SavePresetFile(TEqualizerDocument& doc, const std::string& path, PresetFormat format) {
  doc.FileName = path;
  WritePresetFile(path, format, doc);
}

std::string ReadExactPresetBytes(const std::string& path, PresetFormat format) {
  const size_t size = PresetFileSize(format);
  const std::string formatName = format == PresetFormat::Mac ? "the Mac format" : "the .equ format";
  const int fd = OpenForReading(path);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int error = errno;
    close(fd);
    CannotRead(path, std::strerror(error));
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    CannotRead(path, S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
  }
  // One byte more than the format is asked for, so that a file that grew
  // since fstat is still seen to be too long.
  std::string bytes = ReadUpTo(fd, path, size + 1);
  const auto actual =
      std::max<unsigned long long>(bytes.size(), static_cast<unsigned long long>(st.st_size));
  if (bytes.size() < size)
    CannotRead(path, "the file is too short (" + std::to_string(bytes.size()) + " bytes; " +
                         formatName + " has " + std::to_string(size) + ")");
  if (actual > size)
    CannotRead(path, "the file is too long (" + std::to_string(actual) + " bytes; " + formatName +
                         " has exactly " + std::to_string(size) + ")");
  bytes.resize(size);
  return bytes;
}

PresetFileContents ReadExactPresetFile(const std::string& path, PresetFormat format) {
  return CheckedContents(path, format, ReadExactPresetBytes(path, format));
}
