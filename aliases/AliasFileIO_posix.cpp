#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "aliases/AliasFileIO.h"

namespace vantrel {
namespace fs = std::filesystem;

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and reports the result, since a failed close can be a lost write.
  bool Close() {
    if (fd_ < 0) return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

[[noreturn]] void Fail(const char* what, const fs::path& path, int code) {
  const std::string reason = std::system_category().message(code);
  throw EAliasFileError(std::string(what) + " \"" + Utf8(path) + "\". " + reason, Utf8(path), reason,
                        code);
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A symbolic link stays a link: the file it points to is the one replaced.
fs::path RealTarget(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  fs::path target = fs::weakly_canonical(path, ec);
  return ec ? path : target;
}

fs::path TemporaryNameFor(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path name = target;
  name += "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
  return name;
}

// The database server notices a changed databases.conf by its modification time in whole seconds,
// so a write within the second of the previous one would go unseen. Such a write is dated one
// second after the previous one instead: the times stay strictly increasing without a wait that
// would hold up every other request (a burst of saves runs ahead of the clock by its length).
bool LeaveAnotherWholeSecond(int fd, time_t previous) {
  struct stat written {};
  if (::fstat(fd, &written) != 0) return false;
  if (written.st_mtim.tv_sec > previous) return true;
  const timespec times[2] = {{0, UTIME_OMIT}, {previous + 1, 0}};
  return ::futimens(fd, times) == 0;
}

void SyncFolderOf(const fs::path& file) {
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The new file is already in place; a folder that cannot be synced changes nothing for the caller.
  if (dir.Valid()) ::fsync(dir.Get());
}

TFileStamp StampOf(const struct stat& status) {
  TFileStamp stamp;
  stamp.exists = true;
  stamp.size = static_cast<std::uint64_t>(status.st_size);
  stamp.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  stamp.identity = (static_cast<std::uint64_t>(status.st_dev) << 32) ^ static_cast<std::uint64_t>(status.st_ino);
  return stamp;
}

}  // namespace

TFileStamp FileStampOf(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return StampOf(status);
}

std::string ReadWholeFile(const fs::path& path, TFileStamp* stamp) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) Fail("Cannot open file", path, errno);
  if (stamp) {
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) Fail("Cannot read file", path, errno);
    *stamp = StampOf(status);
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("Cannot read file", path, errno);
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

bool WriteFileAtomically(const fs::path& path, const std::string& bytes, const std::function<bool()>& stillCurrent,
                         TFileStamp* written) {
  const fs::path target = RealTarget(path);
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = TemporaryNameFor(target);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt >= 100)) Fail("Cannot create file", path, errno);
  }
  FileDescriptor file(fd);
  auto failWith = [&](int code) {
    file.Close();
    ::unlink(temporary.c_str());
    Fail("Cannot write file", path, code);
  };

  if (replacing) {
    // Keep who may read and change the file; an owner we may not hand it to is left as it is.
    if (::fchmod(fd, old.st_mode & 07777) != 0) failWith(errno);
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) (void)!::fchown(fd, old.st_uid, old.st_gid);
  }
  if (!WriteAll(fd, bytes)) failWith(errno);
  if (replacing && !LeaveAnotherWholeSecond(fd, old.st_mtim.tv_sec)) failWith(errno);
  if (::fsync(fd) != 0) failWith(errno);
  struct stat status {};
  if (written && ::fstat(fd, &status) != 0) failWith(errno);
  if (!file.Close()) failWith(errno);
  if (stillCurrent && !stillCurrent()) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) failWith(errno);
  SyncFolderOf(target);
  if (written) *written = StampOf(status);  // a rename keeps the inode and times
  return true;
}

bool CanOpenForReadWrite(const fs::path& path) {
  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!file.Valid()) return false;
  // A file without any write permission counts as read-only even for a user who may override it,
  // as a file with the read-only attribute does on Windows.
  struct stat status {};
  return ::fstat(file.Get(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace vantrel
