// The version record linked into the executable, in the layout VersionRecord.h
// describes. The numbers and the build flags come from the build
// (varlo_add_version_record in dialogs.cmake), so the version is written in
// one place.
#include <bit>
#include <cstddef>
#include <cstdint>

#include "app/VersionRecord.h"

#ifndef VARLO_VERSION_MAJOR
#error "the build defines the version numbers"
#endif
#ifndef VARLO_VERSION_FLAGS
#define VARLO_VERSION_FLAGS 0
#endif
#ifndef VARLO_VERSION_FLAGS_MASK
#define VARLO_VERSION_FLAGS_MASK 0
#endif
#ifndef VARLO_VERSION_COMMENTS
#define VARLO_VERSION_COMMENTS "Control of ORB graphic equalizers over PA-422"
#endif

#define VARLO_STR2(x) #x
#define VARLO_STR(x) VARLO_STR2(x)
#define VARLO_FILE_VERSION_TEXT                                                         \
  VARLO_STR(VARLO_VERSION_MAJOR) "." VARLO_STR(VARLO_VERSION_MINOR) "." VARLO_STR( \
      VARLO_VERSION_RELEASE) "." VARLO_STR(VARLO_VERSION_BUILD)
#define VARLO_PRODUCT_VERSION_TEXT VARLO_STR(VARLO_VERSION_MAJOR) "." VARLO_STR(VARLO_VERSION_MINOR)

// Language block, then name and value pairs, each ended by a NUL. Every piece
// is its own literal so that a "\0" is never read together with a digit after it.
#define VARLO_VERSION_TEXT                                          \
  "040904E4\0"                                                      \
  "FileDescription\0" "Varlo 95 ORB equalizer control\0"            \
  "FileVersion\0" VARLO_FILE_VERSION_TEXT "\0"                      \
  "InternalName\0" "varlo95\0"                                      \
  "LegalCopyright\0" "Copyright (C) 1995-2026 Varlo Audio Systems\0" \
  "ProductName\0" "Varlo 95\0"                                      \
  "ProductVersion\0" VARLO_PRODUCT_VERSION_TEXT "\0"                \
  "CompanyName\0" "Varlo Audio Systems\0"                           \
  "Comments\0" VARLO_VERSION_COMMENTS

static_assert(std::endian::native == std::endian::little,
              "the record's numbers are stored in the machine's order, which must be little-endian");

namespace {
constexpr uint32_t Pack(uint32_t high, uint32_t low) { return high << 16 | (low & 0xFFFF); }

struct Record {
  char magic[8];
  uint32_t size;
  uint32_t fileVersionMS, fileVersionLS;
  uint32_t productVersionMS, productVersionLS;
  uint32_t flagsMask, flags;
  uint32_t textOffset, textSize;
  // The literal's own final NUL ends the last value.
  char text[sizeof(VARLO_VERSION_TEXT)];
};
static_assert(offsetof(Record, text) == kVersionHeaderSize);
constexpr uint32_t kTextSize = sizeof(VARLO_VERSION_TEXT);

// Kept by the compiler, and by the linker even when it drops unused
// sections, although nothing refers to it; the about box finds it by its
// section name in the executable file.
#if defined(__has_attribute) && __has_attribute(retain)
#define VARLO_KEEP __attribute__((used, retain))
#else
#define VARLO_KEEP __attribute__((used))
#endif
VARLO_KEEP __attribute__((section(".varlo_version"))) const Record varloVersionRecord = {
    {'V', 'R', 'L', 'O', 'V', 'E', 'R', '1'},
    static_cast<uint32_t>(kVersionHeaderSize + kTextSize),
    Pack(VARLO_VERSION_MAJOR, VARLO_VERSION_MINOR),
    Pack(VARLO_VERSION_RELEASE, VARLO_VERSION_BUILD),
    Pack(VARLO_VERSION_MAJOR, VARLO_VERSION_MINOR),
    Pack(VARLO_VERSION_RELEASE, VARLO_VERSION_BUILD),
    VARLO_VERSION_FLAGS_MASK,
    VARLO_VERSION_FLAGS,
    static_cast<uint32_t>(kVersionHeaderSize),
    kTextSize,
    VARLO_VERSION_TEXT,
};
}  // namespace
