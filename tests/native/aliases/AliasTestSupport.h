#pragma once
// A folder of its own per test, with an alias file in it and a host that saves it as the main
// window does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "aliases/AliasList.h"
#include "shell/rules/TextRules.h"

namespace vantrel::testing {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class AliasFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              (std::string("vantrel-alias-") + test->test_suite_name() + "-" + test->name() + "-" +
               std::to_string(std::random_device{}() & 0xFFFFFF));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "aliases.conf";
    settings_.saveAliasFile = [this] {
      ++saves_;
      list_.Save(file_);
    };
    // What the installation discovery shows before the file is loaded.
    settings_.SetDefaultPath(exeFolder_ + "Data");
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
    if (fs::exists(file_, ec)) fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(folder_, ec);
  }

  std::string Folder() const { return folder_.string(); }
  std::string OnDisk() const { return ReadBytes(file_); }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    return names;
  }

  const std::string exeFolder_ = std::string("opt") + kPathDelimiter + "vantrel" + kPathDelimiter;
  fs::path folder_;
  fs::path file_;
  TPlainAliasSettings settings_{exeFolder_};
  TAliasList list_{&settings_};
  int saves_ = 0;
};

}  // namespace vantrel::testing
