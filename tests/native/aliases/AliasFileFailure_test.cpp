// A file that cannot be read or written: the error names the file and the reason, and a failed
// save never damages the file that was there.
#include <fstream>

#include "AliasTestSupport.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace vantrel;
using namespace vantrel::testing;

class AliasFileFailure : public AliasFolderTest {
 protected:
  const std::string old_ = "# Socket_Port=3049\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=True\r\nemployee=C:\\e.fdb\r\n";

  // A save of a list much bigger than the old file, so a partial write would show.
  void PrepareBigList() {
    list_.SetText(old_);
    for (int i = 0; i < 20000; ++i) list_.AddLine("alias" + std::to_string(i) + "=C:\\databases\\db.fdb");
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(OnDisk(), old_);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"aliases.conf"});
  }
};

TEST_F(AliasFileFailure, AMissingFileIsReportedWithItsPathAndTheListIsKept) {
  list_.SetText("kept=1\r\n");
  try {
    list_.Load(file_);
    FAIL() << "no error";
  } catch (const EAliasFileError& error) {
    EXPECT_NE(std::string(error.what()).find(file_.string()), std::string::npos) << error.what();
    EXPECT_EQ(error.Path(), file_.string());
    EXPECT_FALSE(error.Reason().empty());
    EXPECT_NE(std::string(error.what()).find(error.Reason()), std::string::npos);
  }
  EXPECT_EQ(list_.Lines(), std::vector<std::string>{"kept=1"});
  EXPECT_EQ(saves_, 0);
}

TEST_F(AliasFileFailure, SavingIntoAMissingFolderReportsThePath) {
  const auto target = folder_ / "no-such-folder" / "aliases.conf";
  list_.SetText("a=b\r\n");
  try {
    list_.Save(target);
    FAIL() << "no error";
  } catch (const EAliasFileError& error) {
    EXPECT_EQ(error.Path(), target.string());
    EXPECT_NE(std::string(error.what()).find(target.string()), std::string::npos);
    EXPECT_FALSE(error.Reason().empty());
  }
  EXPECT_FALSE(std::filesystem::exists(target.parent_path()));
  // The list kept the settings lines the save put into it.
  EXPECT_EQ(list_.LineCount(), 5);
  EXPECT_EQ(list_.FindName("# DEFAULT_PATH"), 3);
}

TEST_F(AliasFileFailure, ASuccessfulSaveLeavesNoTemporaryFileBehind) {
  WriteBytes(file_, old_);
  PrepareBigList();
  list_.Save(file_);
  EXPECT_EQ(OnDisk(), list_.Text());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"aliases.conf"});
}

#ifdef _WIN32

TEST_F(AliasFileFailure, AFileHeldOpenByAnotherProgramIsNotTouched) {
  WriteBytes(file_, old_);
  std::ifstream holder(file_, std::ios::binary);  // shares reading and writing, not replacing
  ASSERT_TRUE(holder.is_open());
  PrepareBigList();
  EXPECT_THROW(list_.Save(file_), EAliasFileError);
  holder.close();
  ExpectOldFileIntact();
}

#else

TEST_F(AliasFileFailure, ADiskThatFillsUpDuringTheSaveLeavesTheOldFileWhole) {
  WriteBytes(file_, old_);
  PrepareBigList();
  // The file-size limit makes the write fail part of the way through, as a full disk does.
  signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message;
  try {
    list_.Save(file_);
  } catch (const EAliasFileError& error) {
    message = error.what();
    EXPECT_EQ(error.Code(), EFBIG);
  }
  setrlimit(RLIMIT_FSIZE, &previous);
  EXPECT_NE(message.find(file_.string()), std::string::npos) << message;
  EXPECT_NE(message.find(std::system_category().message(EFBIG)), std::string::npos) << message;
  ExpectOldFileIntact();
}

TEST_F(AliasFileFailure, AnUnwritableFolderLeavesTheOldFileWholeAndSaysWhy) {
  WriteBytes(file_, old_);
  PrepareBigList();
  // The administrator may write anywhere, so the save runs as an ordinary user then.
  const bool administrator = geteuid() == 0;
  ASSERT_EQ(chmod(folder_.c_str(), administrator ? 0755 : 0555), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (administrator && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    try {
      list_.Save(file_);
    } catch (const EAliasFileError& error) {
      const bool named = std::string(error.what()).find(file_.string()) != std::string::npos;
      _exit(named && error.Code() == EACCES ? 0 : 1);
    }
    _exit(2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong message, 2: no error, 3: setup";
  chmod(folder_.c_str(), 0755);
  ExpectOldFileIntact();
}

TEST_F(AliasFileFailure, TheReplacedFileKeepsItsPermissionsAndSymbolicLinksStayLinks) {
  const auto real = folder_ / "real.conf";
  WriteBytes(real, old_);
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  std::filesystem::create_symlink("real.conf", file_);
  list_.SetText(old_);
  list_.AddLine("new=C:\\new.fdb");
  list_.Save(file_);
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(ReadBytes(real), list_.Text());
  struct stat status {};
  ASSERT_EQ(stat(real.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
}

#endif
