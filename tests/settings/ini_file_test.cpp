#include "settings/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "testsupport/TempDir.h"

namespace {
int ReadInt(const std::string& path, const std::string& value) {
  WriteText(path, "[Scaling]\nSliderRange=" + value + "\n");
  return IniFile(path).ReadInteger("Scaling", "SliderRange", -1);
}
}  // namespace

TEST(IniFileRead, IntegersInDecimalAndHexElseTheDefault) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  EXPECT_EQ(ReadInt(path, "16"), 16);
  EXPECT_EQ(ReadInt(path, "-3"), -3);
  EXPECT_EQ(ReadInt(path, "0x18"), 24);
  EXPECT_EQ(ReadInt(path, "0X1a"), 26);
  EXPECT_EQ(ReadInt(path, "$1A"), 26);
  EXPECT_EQ(ReadInt(path, "  12  "), 12);
  for (const char* bad : {"abc", "x", "0x", "$", "", "12abc", "99999999999"})
    EXPECT_EQ(ReadInt(path, bad), -1) << "value \"" << bad << "\"";
  EXPECT_EQ(IniFile(dir / "missing.ini").ReadInteger("Scaling", "SliderRange", -1), -1);
}

TEST(IniFileRead, NamesIgnoreCaseAndOnlyTheirSectionCounts) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path,
            "Top=1\r\n"
            "; [Workspace Size]\r\n"
            "[Other]\r\nTop=2\r\n"
            "[ workspace SIZE ]\r\n;Top=3\r\n  tOP = 4 \r\nTop=5\r\n"
            "[Workspace Size]\r\nLeft=6\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("Workspace Size", "Top", ""), "4");
  EXPECT_EQ(ini.ReadString("WORKSPACE size", "left", ""), "6");
  EXPECT_FALSE(ini.ReadValue("Workspace Size", "Width"));
}

TEST(IniFileRead, ValueCutAt1023AndHugeLinesSkippedInBoundedMemory) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, "[S]\nLong=" + std::string(2000, 'v') + "\nJunk" + std::string(1 << 20, '=') +
                      "\nKey=7\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "Long", ""), std::string(1023, 'v'));
  EXPECT_EQ(ini.ReadInteger("S", "Key", 0), 7);
}

TEST(IniFileRead, OnlyARegularFileIsReadAndNothingWaits) {
  TempDir dir;
  // A folder, and a pipe nobody writes to, in the settings file's place:
  // every key reads as missing at once, and the reason is known.
  const std::string folder = dir / "folder.ini";
  std::filesystem::create_directory(folder);
  const std::string fifo = dir / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {folder, fifo}) {
    EXPECT_EQ(IniFile(path).ReadValue("Scaling", "SliderRange"), std::nullopt) << path;
    EXPECT_EQ(IniFileProblem(path), "it is not a regular file") << path;
  }
  // A missing file and a good one are no problem.
  EXPECT_EQ(IniFileProblem(dir / "missing.ini"), std::nullopt);
  WriteText(dir / "good.ini", "[S]\nKey=1\n");
  EXPECT_EQ(IniFileProblem(dir / "good.ini"), std::nullopt);
  // A file far larger than any settings file is not read.
  const std::string huge = dir / "huge.ini";
  WriteText(huge, "[S]\nKey=1\n");
  std::filesystem::resize_file(huge, 17 * 1024 * 1024);
  EXPECT_EQ(IniFile(huge).ReadValue("S", "Key"), std::nullopt);
  ASSERT_TRUE(IniFileProblem(huge));
  EXPECT_NE(IniFileProblem(huge)->find("larger than 16 MiB"), std::string::npos);
}

// A file with everything a writer must keep: comments, blank lines, CRLF
// line ends, keys and sections of other versions, odd spacing.
const std::string kMixedFile =
    "; written by an older version\r\n"
    "\r\n"
    "[Workspace Size]\r\n"
    "windowstate = 2\r\n"
    "Height=300\r\n"
    "Docked=1\r\n"
    "\r\n"
    "[Future]\r\n"
    "Colour=blue\r\n";

TEST(IniFileWrite, RewritesOnlyTheKeysLineKeepingItsSpelling) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, kMixedFile);
  ASSERT_TRUE(IniFile(path).WriteInteger("Workspace size", "WindowState", 0));
  std::string expected = kMixedFile;
  expected.replace(expected.find("windowstate = 2"), 15, "windowstate =0");
  EXPECT_EQ(ReadText(path), expected);
}

TEST(IniFileWrite, AddsMissingKeyAtEndOfSectionAndMissingSectionAtEnd) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, kMixedFile);
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteInteger("Workspace Size", "Width", 600));
  ASSERT_TRUE(ini.WriteBool("Edit", "CopyHPLP", true));
  std::string expected = kMixedFile;
  expected.insert(expected.find("\r\n\r\n[Future]") + 2, "Width=600\r\n");
  expected += "\r\n[Edit]\r\nCopyHPLP=1\r\n";
  EXPECT_EQ(ReadText(path), expected);
  EXPECT_EQ(ini.ReadInteger("Workspace Size", "Width", 0), 600);
}

TEST(IniFileWrite, NewFileAndFileWithoutFinalLineEnd) {
  TempDir dir;
  IniFile fresh(dir / "new.ini");
  ASSERT_TRUE(fresh.WriteString("Scaling", "AutoScale", "1"));
  ASSERT_TRUE(fresh.WriteString("Scaling", "SliderRange", "24"));
  EXPECT_EQ(ReadText(fresh.Path()), "[Scaling]\nAutoScale=1\nSliderRange=24\n");

  const std::string cut = dir / "cut.ini";
  WriteText(cut, "[A]\nx=1");
  ASSERT_TRUE(IniFile(cut).WriteString("A", "y", "2"));
  ASSERT_TRUE(IniFile(cut).WriteString("B", "z", "3"));
  EXPECT_EQ(ReadText(cut), "[A]\nx=1\ny=2\n\n[B]\nz=3\n");
}

TEST(IniFileWrite, RefusesTextThatWouldNotReadBackAndKeepsTheFile) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, kMixedFile);
  IniFile ini(path);
  EXPECT_FALSE(ini.WriteString("Edit", "Key", "1\n[Scaling]\nSliderRange=2"));
  EXPECT_FALSE(ini.WriteString("Edit", "Key=x", "1"));
  EXPECT_FALSE(ini.WriteString("Ed]it", "Key", "1"));
  EXPECT_FALSE(ini.WriteString("Edit", "", "1"));
  EXPECT_FALSE(ini.WriteString(" Edit", "Key", "1"));
  EXPECT_FALSE(ini.WriteString("Edit", ";Key", "1"));
  EXPECT_EQ(ReadText(path), kMixedFile);
}

TEST(IniFileWrite, ReplacesAtomicallyKeepingModeAndLinksWithoutLeftovers) {
  TempDir dir;
  const std::string real = dir / "real.ini", link = dir / "Varlo95.ini";
  WriteText(real, "[A]\nx=1\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
  ASSERT_TRUE(IniFile(link).WriteInteger("A", "x", 2));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadText(real), "[A]\nx=2\n");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) (void)e, ++entries;
  EXPECT_EQ(entries, 2u) << "a temporary file was left behind";
}

TEST(IniFileWrite, FailsWhenTheFileCannotBeReplaced) {
  TempDir dir;
  // Root ignores permission bits; a path through a regular file and a
  // directory in the file's place fail for everyone.
  WriteText(dir / "plain", "");
  EXPECT_FALSE(IniFile(dir / "plain/Varlo95.ini").WriteInteger("A", "x", 1));
  std::filesystem::create_directory(dir / "Varlo95.ini");
  EXPECT_FALSE(IniFile(dir / "Varlo95.ini").WriteInteger("A", "x", 1));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Varlo95.ini"));
}

TEST(IniFileWrite, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, "[A]\nx=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(IniFile(path).WriteInteger("A", "x", 2));
  EXPECT_EQ(ReadText(path), "[A]\nx=1\n");
}
