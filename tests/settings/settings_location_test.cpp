#include "settings/SettingsLocation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "testsupport/TempDir.h"

namespace {
// A program directory nobody can write, root included: its parent is a file.
std::string UnwritableProgramDir(const TempDir& dir) {
  WriteText(dir / "plain", "");
  return dir / "plain/bin/";
}
}  // namespace

TEST(SettingsLocation, ProgramDirectoryWhenWritableUnlessAUserFileExists) {
  TempDir program, config;
  SettingsEnvironment env{config.Path() + "xdg", std::nullopt};
  EXPECT_EQ(SettingsFilePath(program.Path(), env), program / "Varlo95.ini");
  EXPECT_FALSE(std::filesystem::exists(config / "xdg"));

  std::filesystem::create_directories(config / "xdg/Varlo95");
  WriteText(config / "xdg/Varlo95/Varlo95.ini", "");
  EXPECT_EQ(SettingsFilePath(program.Path(), env), config / "xdg/Varlo95/Varlo95.ini");
}

TEST(SettingsLocation, UnwritableProgramDirectoryFallsBackToXdgConfigHome) {
  TempDir program, config;
  const std::string programDir = UnwritableProgramDir(program);
  EXPECT_FALSE(DirectoryIsWritable(programDir));
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1), 0);
  const std::string path = SettingsFilePath(programDir);
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(path, config.Path() + "/Varlo95/Varlo95.ini");
  EXPECT_EQ(SaveSettings(path, FrameGeometry{}, TProgramOptions{}), std::nullopt);

  // Without XDG_CONFIG_HOME (or with a relative one) it is ~/.config.
  SettingsEnvironment env{"relative", program.Path() + "home"};
  EXPECT_EQ(SettingsFilePath(programDir, env), program / "home/.config/Varlo95/Varlo95.ini");
  EXPECT_TRUE(std::filesystem::is_directory(program / "home/.config/Varlo95"));
  EXPECT_EQ(SettingsFilePath(programDir, SettingsEnvironment{}), programDir + "Varlo95.ini");
}

TEST(SettingsLocation, FallbackStartsFromACopyOfTheProgramDirectorysFile) {
  TempDir program, config;
  const std::string shipped = "[Communications]\nCom 1 Device=/dev/ttyUSB3\n";
  WriteText(program / "Varlo95.ini", shipped);
  SettingsEnvironment env{config.Path(), std::nullopt};
  auto readOnly = [](const std::string&) { return false; };
  const std::string path = SettingsFilePath(program.Path(), env, readOnly);
  EXPECT_EQ(path, config.Path() + "/Varlo95/Varlo95.ini");
  EXPECT_EQ(ReadText(path), shipped);
  ASSERT_EQ(SaveComPort(path, 1), std::nullopt);
  EXPECT_EQ(IniFile(path).ReadString("Communications", "Com 1 Device", ""), "/dev/ttyUSB3");
  EXPECT_EQ(ReadText(program / "Varlo95.ini"), shipped);
}
