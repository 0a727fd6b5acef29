// The alias file is replaced, never rewritten in place, and must come out of it as the server and
// the administrator left it: owner, permissions, attributes, links, bytes others appended, locks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "aliases/AliasFileIO.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

using namespace vantrel;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Waits for what another thread or process brings about; the bound only keeps a broken build
// from hanging the run.
void WaitUntil(const std::function<bool()>& condition, const char* what) {
  const auto bound = std::chrono::steady_clock::now() + 60s;
  while (!condition()) {
    ASSERT_LT(std::chrono::steady_clock::now(), bound) << "never happened: " << what;
    std::this_thread::sleep_for(1ms);
  }
}

// How one save ended, as text a child process can hand back: "saved|what was not kept" or
// "held CODE|reason" / "refused CODE|reason".
std::string Attempt(const fs::path& file, const std::string& bytes) {
  try {
    TNotKept notKept;
    WriteFileAtomically(file, bytes, nullptr, nullptr, &notKept);
    std::string text = "saved";
    for (const std::string& item : notKept) text += "|" + item;
    return text;
  } catch (const EAliasFileError& error) {
    return std::string(error.Held() ? "held " : "refused ") + std::to_string(error.Code()) + "|" + error.Reason();
  }
}

std::string Outcome(const std::string& attempt) { return attempt.substr(0, attempt.find('|')); }

// Parameters show by their names.
template <typename T>
  requires requires(const T& value) { value.name; }
void PrintTo(const T& value, std::ostream* out) {
  *out << value.name;
}
constexpr auto kByName = [](const auto& info) { return std::string(info.param.name); };

class AliasFileIO : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = std::string("vantrel-io-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    folder_ = Base() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "databases.conf";
    WriteBytes(file_, old_);
    // Long ago, so that any change now shows in the stamp even within one tick of the clock.
    fs::last_write_time(file_, fs::last_write_time(file_) - 24h * 365);
  }
  void TearDown() override {
    std::error_code ec;
#ifdef _WIN32
    for (const auto& entry : fs::directory_iterator(folder_, ec))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file stays otherwise
#endif
    fs::remove_all(folder_, ec);
  }

  // A folder whose file system keeps user extended attributes (a tmpfs may not): the build
  // folder the test runs in otherwise.
  static fs::path Base() {
#ifndef _WIN32
    for (const fs::path& candidate : {fs::temp_directory_path(), fs::current_path()}) {
      const fs::path probe = candidate / ("vantrel-xattr-probe-" + std::to_string(getpid()));
      WriteBytes(probe, "");
      const bool keeps = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
      fs::remove(probe);
      if (keeps) return candidate;
    }
    ADD_FAILURE() << "no folder here keeps user extended attributes";
#endif
    return fs::temp_directory_path();
  }

  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }
  void ExpectOldFileAlone() const {
    EXPECT_EQ(ReadBytes(file_), old_);
    EXPECT_EQ(Entries(), 1u) << "a temporary file was left";
  }

  const std::string old_ = "# aliases\nemployee = /var/lib/firebird/3.0/data/employee.fdb\n";
  const std::string new_ = old_ + "sales = /srv/db/sales.fdb\n";
  fs::path folder_;
  fs::path file_;
};

// ---- the content the bytes were made from ----

struct TChangeMeanwhile {
  const char* name;
  std::function<void(const fs::path&)> change;
};

class SaveAfterAChange : public AliasFileIO, public ::testing::WithParamInterface<TChangeMeanwhile> {};

TEST_P(SaveAfterAChange, ReplacesNothingButTheContentItWasMadeFrom) {
  TFileStamp read, written;
  ReadWholeFile(file_, &read);
  EXPECT_TRUE(WriteFileAtomically(file_, old_ + "first = /f.fdb\n", &read, &written));
  EXPECT_EQ(written, FileStampOf(file_));
  fs::last_write_time(file_, fs::last_write_time(file_) - 24h * 365);
  const TFileStamp madeFrom = FileStampOf(file_);
  GetParam().change(file_);
  const std::string there = ReadBytes(file_);
  EXPECT_FALSE(WriteFileAtomically(file_, new_, &madeFrom));
  EXPECT_EQ(ReadBytes(file_), there);
  EXPECT_EQ(Entries(), fs::exists(file_) ? 1u : 0u) << "a temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(
    AliasFileIO, SaveAfterAChange,
    ::testing::Values(TChangeMeanwhile{"RewrittenInPlace",
                                       [](const fs::path& file) {
                                         std::fstream(file, std::ios::binary | std::ios::in | std::ios::out) << "X";
                                       }},
                      TChangeMeanwhile{"ReplacedByAnother",
                                       [](const fs::path& file) {
                                         WriteBytes(fs::path(file) += ".other", ReadBytes(file));
                                         fs::rename(fs::path(file) += ".other", file);
                                       }},
                      TChangeMeanwhile{"Removed", [](const fs::path& file) { fs::remove(file); }}),
    kByName);

TEST_F(AliasFileIO, AFileStillMissingIsCreatedAndOneCreatedMeanwhileIsLeft) {
  fs::remove(file_);
  const TFileStamp missing = FileStampOf(file_);
  EXPECT_TRUE(WriteFileAtomically(file_, new_, &missing));
  EXPECT_EQ(ReadBytes(file_), new_);
  WriteBytes(file_, old_);  // another program's file, made after ours was found missing
  EXPECT_FALSE(WriteFileAtomically(file_, new_, &missing));
  ExpectOldFileAlone();
}

#ifndef _WIN32

// ---- a child process with other rights ----

// Runs body in a child process (its own capabilities, user or mounts) and hands back its text.
std::string InChild(const std::function<std::string()>& body) {
  int ends[2];
  if (pipe(ends) != 0) return "no pipe";
  if (fork() == 0) {
    std::string text;
    try {
      text = body();
    } catch (const std::exception& error) {
      text = std::string("setup failed: ") + error.what();
    }
    (void)!write(ends[1], text.data(), text.size());
    _exit(0);
  }
  close(ends[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(ends[0]);
  wait(nullptr);
  return text;
}

void Require(bool done, const std::string& what) {
  if (!done) throw std::runtime_error(what + ": " + std::system_category().message(errno));
}

void DropCapability(int capability) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  Require(syscall(SYS_capget, &header, data) == 0, "capget");
  data[capability / 32].effective &= ~(1u << (capability % 32));
  data[capability / 32].permitted &= ~(1u << (capability % 32));
  Require(syscall(SYS_capset, &header, data) == 0, "capset");
}

void PrivateMounts() {
  Require(unshare(CLONE_NEWNS) == 0, "unshare");
  Require(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, "mount --make-rprivate /");
}

bool SetImmutable(const fs::path& file, bool immutable) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return done;
}

std::string Output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  if (pipe) pclose(pipe);
  return text;
}

// ---- what the new file keeps ----

struct TOwnership {
  const char* name;
  uid_t owner;
  gid_t group;
  mode_t mode;
};

class KeptOnReplace : public AliasFileIO, public ::testing::WithParamInterface<TOwnership> {};

// What stat, getfacl and getfattr show of the file is the same after the save.
TEST_P(KeptOnReplace, OwnerModeAclAndAttributes) {
  ASSERT_EQ(geteuid(), 0u) << "keeping another owner needs root; the suite runs as root";
  ASSERT_EQ(chown(file_.c_str(), GetParam().owner, GetParam().group), 0);
  ASSERT_EQ(chmod(file_.c_str(), GetParam().mode), 0);
  const std::string quoted = "'" + file_.string() + "'";
  ASSERT_EQ(std::system(("setfacl -m u:nobody:r " + quoted).c_str()), 0) << "setfacl (package acl)";
  for (const char* name : {"user.vantrel.note", "security.selinux", "trusted.vantrel"})
    ASSERT_EQ(setxattr(file_.c_str(), name, "system_u:object_r:etc_t:s0", 26, 0), 0) << name;
  auto shown = [&] {
    struct stat status {};
    stat(file_.c_str(), &status);
    return std::to_string(status.st_uid) + ":" + std::to_string(status.st_gid) + " " +
           std::to_string(status.st_mode & 07777) + "\n" + Output("getfacl -n -p " + quoted + " 2>&1") +
           Output("getfattr --absolute-names -d -m - -e hex " + quoted + " 2>&1");
  };
  const std::string before = shown();
  ASSERT_NE(before.find("user:65534:r--"), std::string::npos) << before;
  ASSERT_NE(before.find("user.vantrel.note"), std::string::npos) << before;

  EXPECT_EQ(Attempt(file_, new_), "saved");
  EXPECT_EQ(ReadBytes(file_), new_);
  EXPECT_EQ(shown(), before);
}

INSTANTIATE_TEST_SUITE_P(AliasFileIO, KeptOnReplace,
                         ::testing::Values(TOwnership{"RootAndTheServersGroup", 0, 4242, 0640},
                                           TOwnership{"AnotherOwnerReadOnly", 65534, 65534, 0400}),
                         kByName);

// databases.conf -> /absolute/elsewhere/hop -> real.conf (relative to hop's folder)
TEST_F(AliasFileIO, TheFileAtTheEndOfALinkChainIsReplacedAndTheLinksStay) {
  const fs::path elsewhere = folder_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::rename(file_, elsewhere / "real.conf");
  fs::create_symlink("real.conf", elsewhere / "hop");
  fs::create_symlink(elsewhere / "hop", file_);
  EXPECT_EQ(Attempt(file_, new_), "saved");
  EXPECT_EQ(ReadBytes(elsewhere / "real.conf"), new_);
  EXPECT_TRUE(fs::is_symlink(file_) && fs::is_symlink(elsewhere / "hop"));
  EXPECT_EQ(Entries(), 2u) << "the temporary file goes beside the target";
}

// A rename cannot carry the file's other names along: said, not hidden.
TEST_F(AliasFileIO, OtherHardLinksAreNamedAsKeepingTheOldContent) {
  fs::create_hard_link(file_, folder_ / "backup.conf");
  EXPECT_EQ(Attempt(file_, new_), "saved|hard links not kept: 1 other name keeps the old content");
  EXPECT_EQ(ReadBytes(folder_ / "backup.conf"), old_);
}

// ---- an owner that cannot be given, and held or not ----

struct TChild {
  const char* name;
  std::function<void(const fs::path& folder, const fs::path& file)> setUp;  // in the child, as root
  std::string expected;
};

class InAChild : public AliasFileIO, public ::testing::WithParamInterface<TChild> {
  void TearDown() override {
    SetImmutable(file_, false);
    AliasFileIO::TearDown();
  }
};

// Without CAP_CHOWN the owner is named as not kept, unless the new file would then lock out a
// reader of the old one: that save is refused. Only a cause that goes away by itself is held.
TEST_P(InAChild, SavesNamesOrRefuses) {
  ASSERT_EQ(geteuid(), 0u) << "owners, mounts, immutable files and another user need root; the suite runs as root";
  const std::string result = InChild([&] {
    GetParam().setUp(folder_, file_);
    const std::string outcome = Attempt(file_, new_);
    // Seen from inside: the mounts go away with the child.
    const bool saved = outcome.rfind("saved", 0) == 0;
    const bool left = ReadBytes(file_) == (saved ? new_ : old_) && Entries() == 1;
    return (saved ? outcome : Outcome(outcome)) + (left ? "" : " (the file or folder is not as it should be)");
  });
  EXPECT_EQ(result, GetParam().expected);
}

void OwnedBy(const fs::path& file, uid_t owner, gid_t group, mode_t mode) {
  Require(chown(file.c_str(), owner, group) == 0 && chmod(file.c_str(), mode) == 0, "chown");
  DropCapability(CAP_CHOWN);
}

INSTANTIATE_TEST_SUITE_P(
    AliasFileIO, InAChild,
    ::testing::Values(
        TChild{"OwnerLostOthersMayRead", [](auto&, auto& file) { OwnedBy(file, 65534, 65534, 0644); },
               "saved|owner 65534:65534 not kept: Operation not permitted"},
        // root:firebird 0640 as root:root: the server could no longer read its configuration
        TChild{"GroupLostOnlyItMayRead", [](auto&, auto& file) { OwnedBy(file, 0, 4242, 0640); }, "refused 1"},
        TChild{"ReadOnlyFileSystem",
               [](const fs::path& folder, auto&) {
                 PrivateMounts();
                 Require(mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0, "bind");
                 Require(mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0,
                         "remount read-only");
               },
               "refused " + std::to_string(EROFS)},
        TChild{"ImmutableFile", [](auto&, auto& file) { Require(SetImmutable(file, true), "chattr +i"); },
               "refused " + std::to_string(EPERM)},
        TChild{"FolderOfAnotherUser", [](auto&, auto&) { Require(setgid(65534) == 0 && setuid(65534) == 0, "setuid"); },
               "refused " + std::to_string(EACCES)},
        // a file mounted over the alias file is busy until it is unmounted
        TChild{"FileMountedOver",
               [](const fs::path& folder, const fs::path& file) {
                 PrivateMounts();
                 const fs::path cover = folder.string() + ".cover";
                 WriteBytes(cover, ReadBytes(file));
                 Require(mount(cover.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) == 0, "bind over the file");
                 fs::remove(cover);
               },
               "held " + std::to_string(EBUSY)}),
    kByName);

TEST_F(AliasFileIO, AReaderLockedOutIsNamedInTheRefusal) {
  const std::string result = InChild([&] {
    OwnedBy(file_, 0, 4242, 0640);
    return Attempt(file_, new_);
  });
  EXPECT_EQ(result, "refused 1|group 4242 not kept: Operation not permitted; the new file could not be read by group 4242");
}

// ---- bytes appended by others while saves run ----

// An appender on its own: at least kAtLeast lines numbered from 1, on until the stop file appears.
constexpr int kAtLeast = 2000;
constexpr int kAtMost = 100000;
struct TAppender {
  const char* name;
  std::function<std::vector<std::string>(int line)> pieces;  // one write each
  // Starts it; the function returned waits for its end and says how many lines it wrote.
  std::function<std::function<int()>(const fs::path& file, const fs::path& stop)> start;
};

class AppendedWhileSaving : public AliasFileIO, public ::testing::WithParamInterface<TAppender> {};

TEST_P(AppendedWhileSaving, EveryPieceIsKept) {
  WriteBytes(file_, "base\n");
  const fs::path stop = folder_.string() + ".stop";
  std::atomic<bool> done{false};
  int lines = 0;
  std::thread waiter([&, finish = GetParam().start(file_, stop)] {
    lines = finish();
    done = true;
  });
  int saves = 0, meanwhile = 0, refused = 0;
  auto save = [&] {
    TFileStamp read;
    const std::string text = ReadWholeFile(file_, &read);
    if (!WriteFileAtomically(file_, text + "saved " + std::to_string(saves) + "\n", &read)) return ++refused, false;
    return ++saves, true;
  };
  while (!done)
    if (save() && ++meanwhile == 20) WriteBytes(stop, "");
  waiter.join();
  fs::remove(stop);
  while (!save()) {
  }

  // A line written in two pieces may have another append between them (carried bytes too), as
  // with any second appender; each piece must be there once.
  std::multiset<std::string> expected{"base\n"}, found;
  std::set<std::string> partial;
  for (int i = 1; i <= lines; ++i)
    for (const std::string& piece : GetParam().pieces(i)) {
      expected.insert(piece);
      if (piece.back() != '\n') partial.insert(piece);
    }
  for (int i = 0; i < saves; ++i) expected.insert("saved " + std::to_string(i) + "\n");
  const std::string text = ReadBytes(file_);
  for (std::size_t at = 0, end; at < text.size(); at = end) {
    end = std::min(text.find('\n', at), text.size() - 1) + 1;
    for (const std::string& piece : partial)
      if (text.compare(at, piece.size(), piece) == 0) end = at + piece.size();
    found.insert(text.substr(at, end - at));
  }
  std::vector<std::string> lost, foreign;
  std::set_difference(expected.begin(), expected.end(), found.begin(), found.end(), std::back_inserter(lost));
  std::set_difference(found.begin(), found.end(), expected.begin(), expected.end(), std::back_inserter(foreign));
  EXPECT_TRUE(lost.empty()) << lost.size() << " pieces lost, first: " << lost.front();
  EXPECT_TRUE(foreign.empty()) << foreign.size() << " pieces doubled or nobody's, first: " << foreign.front();
  std::cout << "[          ] " << lines << " lines appended, " << meanwhile << " saves meanwhile, " << refused
            << " refused as made from a content that changed first\n";
}

INSTANTIATE_TEST_SUITE_P(
    AliasFileIO, AppendedWhileSaving,
    ::testing::Values(
        // an administrator's script: >> opens, writes and closes for every line
        TAppender{"ShellLoop", [](int i) { return std::vector<std::string>{"shell " + std::to_string(i) + "\n"}; },
                  [](const fs::path& file, const fs::path& stop) -> std::function<int()> {
                    const fs::path count = stop.string() + ".count";
                    const std::string script = "i=0; while [ $i -lt " + std::to_string(kAtLeast) + " ] || { [ ! -e '" +
                                               stop.string() + "' ] && [ $i -lt " + std::to_string(kAtMost) +
                                               " ]; }; do i=$((i+1)); echo \"shell $i\" >> '" + file.string() +
                                               "'; done; echo $i > '" + count.string() + "'";
                    const pid_t shell = fork();
                    if (shell == 0) {
                      execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
                      _exit(127);
                    }
                    return [shell, count] {
                      int status = 0;
                      waitpid(shell, &status, 0);
                      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the shell loop failed";
                      const int lines = std::atoi(ReadBytes(count).c_str());
                      fs::remove(count);
                      return lines;
                    };
                  }},
        // a program writing each line in two pieces through one descriptor
        TAppender{"TwoWrites", [](int i) { return std::vector<std::string>{"two ", std::to_string(i) + "\n"}; },
                  [](const fs::path& file, const fs::path& stop) -> std::function<int()> {
                    auto lines = std::make_shared<std::atomic<int>>(0);
                    auto appender = std::make_shared<std::thread>([file, stop, lines] {
                      for (int i = 1; i <= kAtLeast || (!fs::exists(stop) && i <= kAtMost); *lines = i++) {
                        const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                        const std::string number = std::to_string(i) + "\n";
                        EXPECT_EQ(write(fd, "two ", 4), 4);
                        EXPECT_EQ(write(fd, number.data(), number.size()), static_cast<ssize_t>(number.size()));
                        close(fd);
                      }
                    });
                    return [appender, lines] { return appender->join(), lines->load(); };
                  }}),
    kByName);

struct TLateWrite {
  const char* name;
  int flags;
  std::string bytes;  // written in two pieces once the new file is in place
  std::string expectedAfterNew;
  std::string notKept;
};

class WriterOfTheOldFile : public AliasFileIO, public ::testing::WithParamInterface<TLateWrite> {};

// A writer opened the file before the save and writes only once the new file is in place: the
// save waits for it; an append reaches the new file, any other change is named and left.
TEST_P(WriterOfTheOldFile, IsAwaitedAndOnlyItsAppendCarriedOver) {
  TFileStamp read;
  ReadWholeFile(file_, &read);
  const int fd = open(file_.c_str(), GetParam().flags | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::thread writer([&] {
    WaitUntil([&] { return FileStampOf(file_).identity != read.identity; }, "the new file in place");
    const std::string& bytes = GetParam().bytes;
    EXPECT_EQ(write(fd, bytes.data(), 7), 7);
    EXPECT_EQ(write(fd, bytes.data() + 7, bytes.size() - 7), static_cast<ssize_t>(bytes.size() - 7));
    close(fd);
  });
  TNotKept notKept;
  TFileStamp written;
  EXPECT_TRUE(WriteFileAtomically(file_, new_, &read, &written, &notKept));
  writer.join();
  EXPECT_EQ(ReadBytes(file_), new_ + GetParam().expectedAfterNew);
  EXPECT_EQ(notKept, GetParam().notKept.empty() ? TNotKept{} : TNotKept{GetParam().notKept});
  EXPECT_EQ(FileStampOf(file_) == written, GetParam().expectedAfterNew.empty())
      << "carried bytes show as a change to the caller";
}

INSTANTIATE_TEST_SUITE_P(
    AliasFileIO, WriterOfTheOldFile,
    ::testing::Values(TLateWrite{"AppendsInTwoWrites", O_WRONLY | O_APPEND, "late = /srv/late.fdb\n",
                                 "late = /srv/late.fdb\n", ""},
                      TLateWrite{"RewritesInPlace", O_WRONLY, std::string(200, 'x'), "",
                                 "a change made to the replaced file while it was replaced is not kept"}),
    kByName);

// A content that ends within a line is put in place only when nobody is still writing that line.
TEST_F(AliasFileIO, BytesMadeFromHalfALineWaitForTheRestOfIt) {
  WriteBytes(file_, "employee = /e.fdb");  // no line end, nobody writing: an ordinary file
  TFileStamp read;
  EXPECT_TRUE(WriteFileAtomically(file_, ReadWholeFile(file_, &read) + "\nsales = /s.fdb", &read));

  const int fd = open(file_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_EQ(write(fd, "\nhalf = ", 8), 8);
  const std::string half = ReadWholeFile(file_, &read);
  EXPECT_FALSE(WriteFileAtomically(file_, half + "\nnew = /n.fdb\n", &read));
  ASSERT_EQ(write(fd, "/h.fdb\n", 7), 7);
  close(fd);
  EXPECT_TRUE(WriteFileAtomically(file_, ReadWholeFile(file_, &read) + "new = /n.fdb\n", &read));
  EXPECT_EQ(ReadBytes(file_), "employee = /e.fdb\nsales = /s.fdb\nhalf = /h.fdb\nnew = /n.fdb\n");
}

// ---- the lock other writers see ----

// Another holder of the flock: a descriptor of this process, or flock(1) in a process of its own.
using THolder = std::function<std::function<void()>(const fs::path& file)>;  // takes it, gives the release

std::function<void()> DescriptorHolds(const fs::path& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  return [fd] { close(fd); };
}

std::function<void()> FlockCommandHolds(const fs::path& file) {
  int in[2], out[2];
  EXPECT_TRUE(pipe(in) == 0 && pipe(out) == 0);
  const pid_t holder = fork();
  if (holder == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    execlp("flock", "flock", "-x", file.c_str(), "-c", "echo locked; read done", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  char word[7] = {};
  EXPECT_EQ(read(out[0], word, 6), 6) << "flock(1) (util-linux) did not take the lock";
  close(out[0]);
  return [holder, input = in[1]] {
    (void)!write(input, "\n", 1);
    close(input);
    waitpid(holder, nullptr, 0);
  };
}

bool LockedByOthers(const fs::path& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return locked;
}

class LockAgainst : public AliasFileIO, public ::testing::WithParamInterface<std::pair<const char*, THolder>> {};

TEST_P(LockAgainst, WaitsForTheOtherHolderAndIsHeldAfterItsTime) {
  const std::function<void()> release = GetParam().second(file_);
  try {
    TAliasFileLock::Take(file_, 50ms);
    ADD_FAILURE() << "locked while another held the lock";
  } catch (const EAliasFileError& error) {
    EXPECT_TRUE(error.Held()) << error.what();
  }
  release();
  {
    const TAliasFileLock lock = TAliasFileLock::Take(file_, 10s);
    EXPECT_TRUE(lock.HoldsFile());
    EXPECT_TRUE(LockedByOthers(file_));
    EXPECT_EQ(ReadWholeFile(file_), old_) << "readers are not held up";
  }
  EXPECT_FALSE(LockedByOthers(file_)) << "released with the lock";
  EXPECT_FALSE(TAliasFileLock::Take(folder_ / "missing.conf", 1s).HoldsFile());
}

INSTANTIATE_TEST_SUITE_P(AliasFileIO, LockAgainst,
                         ::testing::Values(std::make_pair("Descriptor", THolder(DescriptorHolds)),
                                           std::make_pair("FlockCommand", THolder(FlockCommandHolds))),
                         [](const auto& info) { return std::string(info.param.first); });

int DescriptorsOn(const fs::path& file) {
  struct stat wanted {}, status {};
  if (stat(file.c_str(), &wanted) != 0) return 0;
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
    count += stat(entry.path().c_str(), &status) == 0 && status.st_dev == wanted.st_dev && status.st_ino == wanted.st_ino;
  return count;
}

TEST_F(AliasFileIO, AFileReplacedWhileItsLockIsAwaitedIsLockedAnew) {
  const std::function<void()> release = DescriptorHolds(file_);
  std::optional<TAliasFileLock> taken;
  std::thread taker([&] { taken.emplace(TAliasFileLock::Take(file_, 60s)); });
  WaitUntil([&] { return DescriptorsOn(file_) == 2; }, "the waiting lock's descriptor on the old file");
  WriteBytes(folder_ / "next", new_);
  fs::rename(folder_ / "next", file_);
  release();
  taker.join();
  ASSERT_TRUE(taken && taken->HoldsFile());
  EXPECT_TRUE(LockedByOthers(file_)) << "the new file is the one locked";
}

TEST_F(AliasFileIO, TheLockMovesWithItsOwner) {
  std::optional<TAliasFileLock> moved;
  {
    TAliasFileLock first = TAliasFileLock::Take(file_, 1s);
    moved.emplace(std::move(first));
    EXPECT_FALSE(first.HoldsFile());
  }
  EXPECT_TRUE(moved->HoldsFile() && LockedByOthers(file_));
  moved.reset();
  EXPECT_FALSE(LockedByOthers(file_));
}

#else  // _WIN32

// The file as a polite reader sees it: opened sharing everything, so that polling for a save
// never holds the file against that save (the C library's streams do not share deletion).
std::string ReadSharingEverything(const fs::path& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

struct TAttributes {
  const char* name;
  DWORD attributes;
  std::string expected;
};

class AttributesOnReplace : public AliasFileIO, public ::testing::WithParamInterface<TAttributes> {};

// What a person sets on the file stays; a read-only file is refused for good, not tried again.
TEST_P(AttributesOnReplace, AreKeptOrTheSaveRefused) {
  constexpr DWORD kSeen = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesW(file_.c_str(), GetParam().attributes));
  const std::string result = Attempt(file_, new_);
  EXPECT_EQ(Outcome(result), GetParam().expected) << result;
  EXPECT_EQ(GetFileAttributesW(file_.c_str()) & kSeen, GetParam().attributes & kSeen);
  EXPECT_EQ(ReadBytes(file_), result == "saved" ? new_ : old_);
  EXPECT_EQ(Entries(), 1u) << "a temporary or backup file was left";
}

INSTANTIATE_TEST_SUITE_P(
    AliasFileIO, AttributesOnReplace,
    ::testing::Values(TAttributes{"HiddenAndSystem", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, "saved"},
                      TAttributes{"ReadOnly", FILE_ATTRIBUTE_READONLY, "refused " + std::to_string(ERROR_ACCESS_DENIED)}),
    kByName);

struct TSharing {
  const char* name;
  DWORD share;
  std::string expected;
};

class HeldOnReplace : public AliasFileIO, public ::testing::WithParamInterface<TSharing> {};

// A program that has the file open without letting it be deleted holds it until it closes it.
TEST_P(HeldOnReplace, OnlyWhileAnotherKeepsItFromBeingReplaced) {
  const HANDLE holder = CreateFileW(file_.c_str(), GENERIC_READ, GetParam().share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE) << GetLastError();
  const std::string result = Attempt(file_, new_);
  CloseHandle(holder);
  EXPECT_EQ(Outcome(result).substr(0, GetParam().expected.size()), GetParam().expected) << result;
  EXPECT_EQ(ReadBytes(file_), GetParam().expected == "saved" ? new_ : old_);
}

INSTANTIATE_TEST_SUITE_P(
    AliasFileIO, HeldOnReplace,
    ::testing::Values(TSharing{"SharingReadAndWrite", FILE_SHARE_READ | FILE_SHARE_WRITE, "held"},
                      TSharing{"SharingEverything", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, "saved"}),
    kByName);

// A program that opened the file sharing everything and writes once the new file is in place
// appends to the old one: its line reaches the new file.
TEST_F(AliasFileIO, AWriterOfTheOldFileHasItsLineCarriedOver) {
  TFileStamp read;
  ReadWholeFile(file_, &read);
  const HANDLE writer = CreateFileW(file_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::thread late([&] {
    WaitUntil([&] { return ReadSharingEverything(file_).rfind(new_, 0) == 0; }, "the new file in place");
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(writer, "late = ", 7, &done, nullptr));
    EXPECT_TRUE(WriteFile(writer, "C:\\late.fdb\r\n", 13, &done, nullptr));
    CloseHandle(writer);
  });
  TNotKept notKept;
  try {
    EXPECT_TRUE(WriteFileAtomically(file_, new_, &read, nullptr, &notKept));
  } catch (const EAliasFileError& error) {
    ADD_FAILURE() << error.what() << " held " << error.Held();
    CloseHandle(writer);
  }
  late.join();
  EXPECT_EQ(ReadBytes(file_), new_ + "late = C:\\late.fdb\r\n");
  EXPECT_EQ(notKept, TNotKept{});
}

// The lock is no handle on the file: a second holder (another thread, as another process would)
// waits, while readers, the save and another program replacing the file by rename go on.
TEST_F(AliasFileIO, TheLockKeepsOutASecondHolderButNobodyUsingTheFile) {
  std::optional<TAliasFileLock> first(TAliasFileLock::Take(file_, 1s));
  ASSERT_TRUE(first->HoldsFile());
  std::thread([&] {
    try {
      TAliasFileLock::Take(file_, 50ms);
      ADD_FAILURE() << "a second holder took the lock";
    } catch (const EAliasFileError& error) {
      EXPECT_TRUE(error.Held()) << error.what();
    }
  }).join();
  EXPECT_EQ(ReadWholeFile(file_), old_);
  EXPECT_EQ(Attempt(file_, new_), "saved");
  const fs::path other = folder_ / "other.conf";
  std::ofstream(other, std::ios::binary) << "x = C:\\x.fdb\r\n";
  EXPECT_TRUE(MoveFileExW(other.c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
  first.reset();
  std::thread([&] { EXPECT_TRUE(TAliasFileLock::Take(file_, 1s).HoldsFile()); }).join();
  EXPECT_FALSE(TAliasFileLock::Take(folder_ / "missing.conf", 1s).HoldsFile());
}

#endif  // _WIN32

}  // namespace
