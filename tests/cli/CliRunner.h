#pragma once
// Runs the built varlo-cli as operators do, in a scratch folder of its own:
// its output, its one-line errors and its exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct CliResult {
  int status = -1;
  std::string out, err;
};

class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/varlo-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Runs the binary through the shell, each argument quoted; `environment`
  // is put before the command ("NAME=value ...").
  CliResult Run(const std::vector<std::string>& args, const std::string& environment = "") {
    std::string command = environment + (environment.empty() ? "" : " ") + VARLO_CLI_PATH;
    for (const auto& arg : args) command += " '" + arg + "'";
    command += " >" + Path(".out") + " 2>" + Path(".err");
    int status = std::system(command.c_str());
    CliResult r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Get(Path(".out")),
                Get(Path(".err"))};
    std::filesystem::remove(Path(".out"));
    std::filesystem::remove(Path(".err"));
    return r;
  }

  // Fails with exactly one line on stderr that holds `words`.
  CliResult ExpectFailure(const std::vector<std::string>& args, const std::string& words,
                          const std::string& environment = "") {
    CliResult r = Run(args, environment);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    return r;
  }

  // A command line that cannot be used: exit status 2, a first line on
  // stderr that holds `words`, then the usage.
  void ExpectUsageError(const std::vector<std::string>& args, const std::string& words) {
    CliResult r = Run(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string first = r.err.substr(0, r.err.find('\n'));
    EXPECT_NE(first.find(words), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nusage: varlo-cli"), std::string::npos) << r.err;
  }

  // Fails as above and writes nothing on stdout.
  void ExpectRefused(const std::vector<std::string>& args, const std::string& words) {
    EXPECT_EQ(ExpectFailure(args, words).out, "");
  }

  std::filesystem::path dir_;
};
