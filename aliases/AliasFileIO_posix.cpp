#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "aliases/AliasFileIO.h"

namespace vantrel {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  void Swap(FileDescriptor& other) noexcept { std::swap(fd_, other.fd_); }
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

std::string ErrorText(int code) { return std::system_category().message(code); }

// One text for the log about what the new file could not keep.
void NotKept(TNotKept& lost, int code, const std::string& what, const char* verb = "not kept") {
  lost.push_back(what + " " + verb + ": " + ErrorText(code));
}

// Causes that go away by themselves; a missing permission, a read-only or full file system do not.
bool HeldBy(int code) { return code == EBUSY || code == ETXTBSY || code == EWOULDBLOCK; }

[[noreturn]] void Fail(const char* what, const fs::path& path, int code, std::string reason = {}) {
  if (reason.empty()) reason = ErrorText(code);
  throw EAliasFileError(std::string(what) + " \"" + Utf8(path) + "\". " + reason, Utf8(path), reason, code,
                        HeldBy(code));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// size bytes from offset, fewer when the file is shorter; nullopt when it cannot be read.
std::optional<std::string> ReadAt(int fd, std::uint64_t offset, std::uint64_t size) {
  std::string bytes(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

TFileStamp StampOf(const struct stat& status) {
  TFileStamp stamp;
  stamp.exists = true;
  stamp.size = static_cast<std::uint64_t>(status.st_size);
  stamp.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  stamp.identity = (static_cast<std::uint64_t>(status.st_dev) << 32) ^ static_cast<std::uint64_t>(status.st_ino);
  return stamp;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A symbolic link stays a link: the file at the end of the chain is the one replaced. Each
// relative target counts from the folder of the link that names it.
fs::path FinalTarget(const fs::path& path) {
  fs::path current = path;
  for (int hop = 0; hop < 40; ++hop) {  // the kernel's own limit; a loop then fails at the open
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
    std::error_code ec;
    const fs::path next = fs::read_symlink(current, ec);
    if (ec) return current;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current;
}

fs::path TemporaryNameFor(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path name = target;
  name += "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
  return name;
}

// The new file until it is put in place: removed on every way out before that.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& target) {
    for (int attempt = 0; !fd_.Valid(); ++attempt) {
      name_ = TemporaryNameFor(target);
      // Readable by nobody else until it carries the old file's mode.
      FileDescriptor fd(::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (!fd.Valid() && (errno != EEXIST || attempt >= 100)) Fail("Cannot create file", target, errno);
      fd_.Swap(fd);
    }
  }
  ~TemporaryFile() {
    fd_.Close();
    if (!placed_) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  int Get() const { return fd_.Get(); }
  const fs::path& Name() const { return name_; }
  void Placed() { placed_ = true; }

 private:
  fs::path name_;
  FileDescriptor fd_;
  bool placed_ = false;
};

// The file being replaced, held open to the end so that bytes appended to it meanwhile can be
// carried over. A file that cannot be read still gives its status (fd then stays closed).
struct TOldFile {
  FileDescriptor fd;
  struct stat status {};
  bool exists = false;
  bool regular = false;
};

void OpenOld(const fs::path& target, TOldFile& old) {
  // Not waiting: a FIFO would block the open, a lease another program holds (Samba's oplocks)
  // would hold it for the lease's break time; that holder is asked to let go, and the file is held.
  FileDescriptor fd(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.Valid() && errno == EWOULDBLOCK) Fail("Cannot open file", target, errno);
  if (fd.Valid()) {
    if (::fstat(fd.Get(), &old.status) != 0) Fail("Cannot read file", target, errno);
  } else if (::stat(target.c_str(), &old.status) != 0) {
    if (errno == ENOENT) return;
    Fail("Cannot read file", target, errno);
  }
  old.exists = true;
  old.regular = S_ISREG(old.status.st_mode);
  if (old.regular) old.fd.Swap(fd);
}

// ---- extended attributes and the ACL ----

constexpr const char* kAclAccess = "system.posix_acl_access";
constexpr const char* kAclDefault = "system.posix_acl_default";

std::optional<std::vector<std::string>> AttributeNames(int fd) {
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? std::optional(std::vector<std::string>{}) : std::nullopt;
    std::string list(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got < 0 && errno == ERANGE) continue;  // grew between the two calls
    if (got < 0) return std::nullopt;
    std::vector<std::string> names;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
      const std::size_t end = list.find('\0', at);
      names.push_back(list.substr(at, end - at));
      at = end + 1;
    }
    return names;
  }
}

// The attribute's value; nullopt with errno set when it is missing (ENODATA) or unreadable.
std::optional<std::string> AttributeValue(int fd, const char* name) {
  for (;;) {
    const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string value(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(got));
    return value;
  }
}

// The ACL as the kernel stores it in system.posix_acl_access: a version, then entries of tag,
// permissions and id, little-endian.
struct TAclEntry {
  std::uint16_t tag;
  std::uint16_t permissions;
  std::uint32_t id;
};
enum : std::uint16_t { kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kGroup = 0x08, kMask = 0x10, kOther = 0x20 };
constexpr std::uint16_t kMayRead = 4;

std::vector<TAclEntry> AclEntries(const std::string& value) {
  auto number = [&](std::size_t at, int size) {
    std::uint32_t result = 0;
    for (int i = size - 1; i >= 0; --i) result = (result << 8) | static_cast<unsigned char>(value[at + i]);
    return result;
  };
  std::vector<TAclEntry> entries;
  if (value.size() < 4 || number(0, 4) != 2) return entries;
  for (std::size_t at = 4; at + 8 <= value.size(); at += 8)
    entries.push_back({static_cast<std::uint16_t>(number(at, 2)), static_cast<std::uint16_t>(number(at + 2, 2)),
                       number(at + 4, 4)});
  return entries;
}

// Who may read a file, as "user N", "group N" and "others" (everyone), from its owner, group,
// mode and ACL. Membership of groups is not looked up: the answer is per entry.
std::set<std::string> ReadersOf(const struct stat& status, const std::optional<std::string>& acl) {
  std::set<std::string> readers;
  const std::vector<TAclEntry> entries = acl ? AclEntries(*acl) : std::vector<TAclEntry>{};
  if (entries.empty()) {
    if (status.st_mode & S_IRUSR) readers.insert("user " + std::to_string(status.st_uid));
    if (status.st_mode & S_IRGRP) readers.insert("group " + std::to_string(status.st_gid));
    if (status.st_mode & S_IROTH) readers.insert("others");
    return readers;
  }
  std::uint16_t mask = 7;
  for (const TAclEntry& entry : entries)
    if (entry.tag == kMask) mask = entry.permissions;
  for (const TAclEntry& entry : entries) {
    const bool masked = entry.tag == kUser || entry.tag == kGroupObj || entry.tag == kGroup;
    if (!(entry.permissions & kMayRead) || (masked && !(mask & kMayRead))) continue;
    switch (entry.tag) {
      case kUserObj: readers.insert("user " + std::to_string(status.st_uid)); break;
      case kUser: readers.insert("user " + std::to_string(entry.id)); break;
      case kGroupObj: readers.insert("group " + std::to_string(status.st_gid)); break;
      case kGroup: readers.insert("group " + std::to_string(entry.id)); break;
      case kOther: readers.insert("others"); break;
      default: break;
    }
  }
  return readers;
}

// Those who could read the old file and could not read the new one.
std::vector<std::string> LockedOut(const struct stat& old, const std::optional<std::string>& oldAcl,
                                   const struct stat& now, const std::optional<std::string>& nowAcl) {
  const std::set<std::string> after = ReadersOf(now, nowAcl);
  if (after.count("others")) return {};
  std::vector<std::string> lost;
  for (const std::string& reader : ReadersOf(old, oldAcl))
    if (!after.count(reader)) lost.push_back(reader);
  return lost;
}

std::string OctalMode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Extended attributes other than the ACL, copied while the new file is still ours and writable.
// One the folder gave the new file and the old one did not have is taken away again.
void KeepAttributes(int from, int to, TNotKept& lost) {
  const auto isAcl = [](const std::string& name) { return name == kAclAccess || name == kAclDefault; };
  const std::optional<std::vector<std::string>> names = AttributeNames(from);
  if (!names) {
    const int code = errno;
    NotKept(lost, code, "extended attributes");
    return;
  }
  for (const std::string& name : *names) {
    if (isAcl(name)) continue;
    const std::optional<std::string> value = AttributeValue(from, name.c_str());
    if (!value) {
      const int code = errno;
      NotKept(lost, code, "extended attribute " + name);
      continue;
    }
    if (::fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0) {
      const int code = errno;
      NotKept(lost, code, "extended attribute " + name);
    }
  }
  const std::optional<std::vector<std::string>> given = AttributeNames(to);
  for (const std::string& name : given.value_or(std::vector<std::string>{})) {
    if (isAcl(name) || std::find(names->begin(), names->end(), name) != names->end()) continue;
    if (::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA) {
      const int code = errno;
      NotKept(lost, code, "extended attribute " + name + " the folder gave", "not removed");
    }
  }
}

// Mode, then the ACL over it (a mode change rewrites the ACL's mask, the ACL sets the mode's
// group bits). A mode that cannot be given fails the save: the file's readers depend on it.
void KeepModeAndAcl(const fs::path& path, int to, const struct stat& old, const std::optional<std::string>& oldAcl,
                    TNotKept& lost) {
  if (!oldAcl && ::fremovexattr(to, kAclAccess) != 0 && errno != ENODATA && errno != ENOTSUP) {
    const int code = errno;
    NotKept(lost, code, "ACL the folder gave", "not removed");
  }
  if (::fchmod(to, old.st_mode & 07777) != 0) Fail("Cannot write file", path, errno);
  if (oldAcl && ::fsetxattr(to, kAclAccess, oldAcl->data(), oldAcl->size(), 0) != 0) {
    const int code = errno;
    NotKept(lost, code, "ACL");
  }
}

// The owner comes last: handing the file over needs only CAP_CHOWN, while everything before it
// needs the file to be ours. When the owner cannot be kept the group alone may be.
void KeepOwner(int to, const struct stat& old, TNotKept& lost) {
  struct stat now {};
  if (::fstat(to, &now) != 0) return;
  const bool ownerDiffers = now.st_uid != old.st_uid;
  const bool groupDiffers = now.st_gid != old.st_gid;
  if (!ownerDiffers && !groupDiffers) return;
  if (::fchown(to, old.st_uid, old.st_gid) == 0) {
    // Handing a file over clears set-user-ID and set-group-ID.
    if (::fstat(to, &now) == 0 && (now.st_mode & 07777) != (old.st_mode & 07777) &&
        ::fchmod(to, old.st_mode & 07777) != 0) {
      const int code = errno;
      NotKept(lost, code, "mode " + OctalMode(old.st_mode));
    }
    return;
  }
  const int code = errno;
  const std::string uid = std::to_string(old.st_uid);
  const std::string gid = std::to_string(old.st_gid);
  if (ownerDiffers && groupDiffers && ::fchown(to, static_cast<uid_t>(-1), old.st_gid) == 0) {
    NotKept(lost, code, "owner " + uid);
    return;
  }
  if (!ownerDiffers)
    NotKept(lost, code, "group " + gid);
  else
    NotKept(lost, code, "owner " + uid + ":" + gid);
}

// ---- modification time ----

// The database server notices a changed databases.conf by its modification time in whole seconds,
// so a write within the second of the previous one would go unseen. Such a write is dated one
// second after the previous one instead: the times stay strictly increasing without a wait that
// would hold up every other request (a burst of saves runs ahead of the clock by its length).
// Once the file has been handed to another owner this needs CAP_FOWNER; without it the time is
// named as not kept.
bool LeaveAnotherWholeSecond(int fd, time_t previous, TNotKept* lost = nullptr) {
  struct stat written {};
  if (::fstat(fd, &written) != 0) return false;
  if (written.st_mtim.tv_sec > previous) return true;
  const timespec times[2] = {{0, UTIME_OMIT}, {previous + 1, 0}};
  if (::futimens(fd, times) == 0) return true;
  const int code = errno;
  if (lost) NotKept(*lost, code, "modification time after " + std::to_string(previous));
  return lost != nullptr;
}

void SyncFolderOf(const fs::path& file) {
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The new file is already in place; a folder that cannot be synced changes nothing for the caller.
  if (dir.Valid()) ::fsync(dir.Get());
}

// ---- bytes appended to the old file while it was replaced ----

// Whether anyone has the file open for writing now, asked with a read lease that is given back at
// once (the kernel grants one only while nobody has the file open for writing); nullopt where
// leases are not allowed (a file of another owner without CAP_LEASE, some file systems). An opener
// racing with the lease breaks it and blocks until it is given back; the notice of that goes out
// as SIGURG, ignored unless a program handles it, instead of SIGIO, which would end the process.
std::optional<bool> OpenForWriting(int fd) {
#ifdef F_SETLEASE
  if (::fcntl(fd, F_SETSIG, SIGURG) != 0) return std::nullopt;
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    return false;
  }
  if (errno == EAGAIN) return true;
#endif
  return std::nullopt;
}

// A content whose last line has no end yet may be half of what a writer is appending.
bool EndsWithinALine(const std::string& bytes) {
  return !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
}

// Whether the content of madeFrom is still at target: the same file, unchanged or only grown with
// its first bytes as they were. Bytes made from half a line are put in place only while that half
// is all there is and nobody is writing the rest: otherwise the caller reads again.
bool StillMadeFrom(const fs::path& target, const TOldFile& old, const TFileStamp& madeFrom,
                   const std::string& original, struct stat& now) {
  const bool halfALine = EndsWithinALine(original);
  if (halfALine && old.fd.Valid() && OpenForWriting(old.fd.Get()).value_or(false)) return false;
  if (::stat(target.c_str(), &now) != 0) return errno == ENOENT && !madeFrom.exists;
  if (!madeFrom.exists || !SameFile(now, old.status)) return false;
  const TFileStamp stamp = StampOf(now);
  if (stamp == madeFrom) return true;
  if (halfALine || stamp.size < madeFrom.size || !old.fd.Valid()) return false;
  return ReadAt(old.fd.Get(), 0, madeFrom.size) == original;
}

// Waits until nobody has the replaced file open for writing any more: a writer that opened it
// before the rename may still append to it. The file has no name left, so no new writer can come;
// where leases are not allowed the size is watched until it stays put. False when a writer kept
// it open longer than we wait.
bool WaitForWriters(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  auto pause = 1ms;
  struct stat status {};
  if (::fstat(fd, &status) != 0) return true;
  // A file still linked elsewhere is written through that name as it pleases: not waited for.
  bool lease = status.st_nlink == 0;
  off_t lastSize = status.st_size;
  int quiet = 0;
  for (;;) {
    if (lease) {
      const std::optional<bool> writing = OpenForWriting(fd);
      if (writing == false) return true;
      lease = writing.has_value();
    }
    if (!lease) {
      if (::fstat(fd, &status) != 0) return true;
      quiet = status.st_size == lastSize ? quiet + 1 : 0;
      lastSize = status.st_size;
      if (quiet >= 4) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(32));
  }
}

// Appends to the new file what others appended to the old one after the bytes were made from it.
// A content changed in another way than by appending is named and left.
void CarryAppends(const TOldFile& old, const TFileStamp& madeFrom, const std::string& original, int to,
                  TNotKept& lost) {
  if (!WaitForWriters(old.fd.Get()))
    lost.push_back("the replaced file was still open for writing; what is written to it now is not kept");
  struct stat status {};
  if (::fstat(old.fd.Get(), &status) != 0 || StampOf(status) == madeFrom) return;
  if (static_cast<std::uint64_t>(status.st_size) < madeFrom.size ||
      ReadAt(old.fd.Get(), 0, madeFrom.size) != original) {
    lost.push_back("a change made to the replaced file while it was replaced is not kept");
    return;
  }
  if (static_cast<std::uint64_t>(status.st_size) == madeFrom.size) return;
  const std::optional<std::string> extra =
      ReadAt(old.fd.Get(), madeFrom.size, static_cast<std::uint64_t>(status.st_size) - madeFrom.size);
  struct stat first {};
  ::fstat(to, &first);
  // Others may append to the new file by now: ours go after theirs, never over them.
  if (!extra || ::fcntl(to, F_SETFL, O_APPEND) != 0 || !WriteAll(to, extra->data(), extra->size())) {
    const int code = errno;
    NotKept(lost, code, "bytes appended to the replaced file while it was replaced");
    return;
  }
  LeaveAnotherWholeSecond(to, std::max(first.st_mtim.tv_sec, status.st_mtim.tv_sec), &lost);
  ::fsync(to);
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

bool WriteFileAtomically(const fs::path& path, const std::string& bytes, const TFileStamp* madeFrom,
                         TFileStamp* written, TNotKept* notKept) {
  const fs::path target = FinalTarget(path);
  TOldFile old;
  OpenOld(target, old);

  // The content the bytes were made from, to tell an append from any other change later.
  std::string original;
  if (madeFrom) {
    if (old.exists != madeFrom->exists || (old.exists && StampOf(old.status) != *madeFrom)) return false;
    if (old.fd.Valid()) {
      const std::optional<std::string> read = ReadAt(old.fd.Get(), 0, madeFrom->size);
      struct stat after {};
      if (!read || ::fstat(old.fd.Get(), &after) != 0) Fail("Cannot read file", path, errno);
      if (StampOf(after) != *madeFrom) return false;
      original = *read;
    }
  }

  TemporaryFile temporary(target);
  const int fd = temporary.Get();
  if (!WriteAll(fd, bytes.data(), bytes.size())) Fail("Cannot write file", path, errno);
  TNotKept lost;
  if (old.regular && old.status.st_nlink > 1)
    lost.push_back("hard links not kept: " + std::to_string(old.status.st_nlink - 1) +
                   (old.status.st_nlink == 2 ? " other name keeps" : " other names keep") + " the old content");
  if (old.regular) {
    std::optional<std::string> oldAcl;
    if (old.fd.Valid()) {
      KeepAttributes(old.fd.Get(), fd, lost);
      oldAcl = AttributeValue(old.fd.Get(), kAclAccess);
      const int code = errno;
      if (!oldAcl && code != ENODATA && code != ENOTSUP) NotKept(lost, code, "ACL");
    } else {
      lost.push_back("extended attributes and ACL not kept: the file cannot be read");
    }
    KeepModeAndAcl(path, fd, old.status, oldAcl, lost);
    if (!LeaveAnotherWholeSecond(fd, old.status.st_mtim.tv_sec)) Fail("Cannot write file", path, errno);
    KeepOwner(fd, old.status, lost);
    // Replacing the file anyway would lock the database server out of its own configuration.
    struct stat now {};
    if (!lost.empty() && ::fstat(fd, &now) == 0) {
      std::optional<std::string> nowAcl = AttributeValue(fd, kAclAccess);
      const std::vector<std::string> lockedOut = LockedOut(old.status, oldAcl, now, nowAcl);
      if (!lockedOut.empty()) {
        std::string reason;
        for (const std::string& item : lost) reason += (reason.empty() ? "" : "; ") + item;
        reason += "; the new file could not be read by";
        for (std::size_t i = 0; i < lockedOut.size(); ++i) reason += (i ? ", " : " ") + lockedOut[i];
        Fail("Cannot write file", path, EPERM, reason);
      }
    }
  }
  if (::fsync(fd) != 0) Fail("Cannot write file", path, errno);

  struct stat current {};
  if (madeFrom) {
    if (!StillMadeFrom(target, old, *madeFrom, original, current)) return false;
    // Appended to meanwhile: the new file's time must still pass the old one's.
    if (madeFrom->exists) LeaveAnotherWholeSecond(fd, current.st_mtim.tv_sec, &lost);
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) Fail("Cannot write file", path, errno);

  // Where the file was missing, one that appeared meanwhile is not overwritten.
  const bool mustBeNew = madeFrom && !madeFrom->exists;
  int renamed = mustBeNew ? ::renameat2(AT_FDCWD, temporary.Name().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE)
                          : ::rename(temporary.Name().c_str(), target.c_str());
  if (renamed != 0 && mustBeNew && errno == EEXIST) return false;
  if (renamed != 0 && mustBeNew && errno == EINVAL) renamed = ::rename(temporary.Name().c_str(), target.c_str());
  if (renamed != 0) Fail("Cannot write file", path, errno);
  temporary.Placed();
  SyncFolderOf(target);
  if (written) *written = StampOf(status);  // a rename keeps the inode and times

  if (madeFrom && madeFrom->exists && old.fd.Valid()) CarryAppends(old, *madeFrom, original, fd, lost);
  if (notKept) notKept->insert(notKept->end(), lost.begin(), lost.end());
  return true;
}

TAliasFileLock TAliasFileLock::Take(const fs::path& path, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = 1ms;
  auto waitOrFail = [&] {
    if (std::chrono::steady_clock::now() >= deadline)
      Fail("Cannot lock file", path, EWOULDBLOCK, "another program holds its lock");
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  };
  for (;;) {
    TAliasFileLock lock;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) return lock;
      Fail("Cannot open file", path, errno);
    }
    lock.handle_ = fd;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) Fail("Cannot lock file", path, errno);
      waitOrFail();
    }
    // Replaced while we waited: the lock is on a file that no longer has the name.
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) != 0) Fail("Cannot lock file", path, errno);
    if (::stat(path.c_str(), &named) != 0) {
      if (errno == ENOENT) return TAliasFileLock{};
      Fail("Cannot lock file", path, errno);
    }
    if (SameFile(locked, named)) return lock;
    waitOrFail();
  }
}

TAliasFileLock::TAliasFileLock(TAliasFileLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

TAliasFileLock& TAliasFileLock::operator=(TAliasFileLock&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

TAliasFileLock::~TAliasFileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing the last descriptor releases the flock
}

bool TAliasFileLock::HoldsFile() const { return handle_ >= 0; }

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
