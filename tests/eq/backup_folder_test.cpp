// Writing a backup folder as a whole: the new set replaces an earlier
// backup only once all of it is on disk, a failure leaves the earlier one
// as it was, the user's other files are never deleted with it, and nothing
// is left beside the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "eq/BackupFolder.h"

namespace fs = std::filesystem;

namespace {
class BackupFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/varlo-backup-folder-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Path(const std::string& name) const { return root_ / name; }
  static std::string Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every name in the scratch folder and below, with file contents.
  std::string Tree() const {
    std::string tree;
    std::vector<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(root_); it != fs::recursive_directory_iterator(); ++it)
      lines.push_back(fs::relative(it->path(), root_).string() +
                      (it->is_regular_file() ? "=" + Get(it->path()) : "/"));
    std::sort(lines.begin(), lines.end());
    for (const auto& line : lines) tree += line + "\n";
    return tree;
  }

  fs::path root_;
};

// A set in the order the backup writes it: presets, then the manifest.
std::vector<BackupFile> Set(const std::string& tag) {
  std::vector<BackupFile> files;
  for (int preset = 1; preset <= 8; ++preset)
    files.push_back({"preset-" + std::to_string(preset) + ".V95", tag + std::to_string(preset)});
  files.push_back({"manifest.json", tag + " manifest"});
  return files;
}

std::string TreeOf(const std::string& folder, const std::vector<BackupFile>& files) {
  std::vector<std::string> lines{folder + "/"};
  for (const BackupFile& f : files) lines.push_back(folder + "/" + f.name + "=" + f.bytes);
  std::sort(lines.begin(), lines.end());
  std::string tree;
  for (const auto& line : lines) tree += line + "\n";
  return tree;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  ADD_FAILURE() << "no error";
  return "";
}
}  // namespace

TEST_F(BackupFolderTest, NewFolderAndReplacedBackupLeaveNothingBeside) {
  for (FolderSwap swap : {FolderSwap::Exchange, FolderSwap::RenameAside}) {
    fs::remove_all(Path("deep"));
    EXPECT_EQ(ReplaceBackupFolder(Path("deep/b"), Set("old"), swap), "");
    EXPECT_EQ(Tree(), "deep/\n" + TreeOf("deep/b", Set("old")));
    // The earlier backup's folder keeps its permissions when replaced.
    fs::permissions(Path("deep/b"), fs::perms(0750));
    EXPECT_EQ(ReplaceBackupFolder(Path("deep/b/"), Set("new"), swap), "");
    EXPECT_EQ(Tree(), "deep/\n" + TreeOf("deep/b", Set("new")));
    EXPECT_EQ(fs::status(Path("deep/b")).permissions(), fs::perms(0750));
  }
  // An empty folder is taken; a link to a folder keeps its place.
  fs::remove_all(Path("deep"));
  fs::create_directory(Path("real"));
  fs::create_directory_symlink(Path("real"), Path("link"));
  EXPECT_EQ(ReplaceBackupFolder(Path("link"), Set("one")), "");
  EXPECT_TRUE(fs::is_symlink(Path("link")));
  EXPECT_EQ(Get(Path("link/manifest.json")), "one manifest");
  EXPECT_EQ(Get(Path("real/preset-8.V95")), "one8");
}

TEST_F(BackupFolderTest, AFileThatCannotBeWrittenLeavesTheEarlierBackupWhole) {
  ReplaceBackupFolder(Path("b"), Set("old"));
  const std::string before = Tree();
  // The fourth file cannot be created (its name is too long).
  std::vector<BackupFile> files = Set("new");
  files[3].name = std::string(300, 'x');
  for (FolderSwap swap : {FolderSwap::Exchange, FolderSwap::RenameAside}) {
    std::string error = ErrorOf([&] { ReplaceBackupFolder(Path("b"), files, swap); });
    EXPECT_NE(error.find("cannot write "), std::string::npos) << error;
    EXPECT_NE(error.find("/" + files[3].name + ": File name too long"), std::string::npos) << error;
    EXPECT_NE(error.find("nothing in " + Path("b").string() + " was changed"), std::string::npos);
    EXPECT_EQ(Tree(), before);
    // Into a new folder: none is made.
    ErrorOf([&] { ReplaceBackupFolder(Path("c"), files, swap); });
    EXPECT_EQ(Tree(), before);
  }
}

TEST_F(BackupFolderTest, AFolderWithTheUsersOwnFilesIsRefusedAndKept) {
  fs::create_directory(Path("docs"));
  std::ofstream(Path("docs/preset-1.V95")) << "mine";
  std::ofstream(Path("docs/notes.txt")) << "keep me";
  fs::create_directory(Path("sub"));
  fs::create_directory(Path("sub/preset-4.V95"));
  fs::create_directory(Path("links"));
  fs::create_symlink(Path("docs/notes.txt"), Path("links/preset-2.V95"));
  std::ofstream(Path("plain")) << "a file";
  const std::string before = Tree();
  for (auto [folder, entry] : {std::pair{"docs", "\"notes.txt\""}, std::pair{"sub", "\"preset-4.V95\""},
                               std::pair{"links", "\"preset-2.V95\""}}) {
    std::string error = ErrorOf([&] { CheckBackupFolder(Path(folder)); });
    EXPECT_NE(error.find(Path(folder).string() + " holds " + entry + ", which is not part of a backup"),
              std::string::npos)
        << error;
    EXPECT_EQ(ErrorOf([&] { ReplaceBackupFolder(Path(folder), Set("new")); }), error);
  }
  EXPECT_NE(ErrorOf([&] { ReplaceBackupFolder(Path("plain"), Set("new")); }).find("is not a folder"),
            std::string::npos);
  EXPECT_EQ(Tree(), before);
  EXPECT_NO_THROW(CheckBackupFolder(Path("none")));
}
