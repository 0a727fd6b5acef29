#pragma once
// The file operations the alias list needs, implemented once per platform.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel {

// A file that could not be read or written. The message names the full path and gives the
// system's reason, in UTF-8. Held: another process holds the file in a way that goes away by
// itself (a scanner, a backup agent, an editor), so trying again later may succeed.
class EAliasFileError : public std::runtime_error {
 public:
  EAliasFileError(const std::string& message, std::string path, std::string reason, int code, bool held = false);
  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }
  int Code() const { return code_; }  // errno, or the Windows error code
  bool Held() const { return held_; }

 private:
  std::string path_;
  std::string reason_;
  int code_;
  bool held_;
};

// What tells one content of a file from the next without reading it: a replacement changes the
// identity (inode, or creation time on Windows), an edit in place the size or modification time.
struct TFileStamp {
  bool exists = false;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds (POSIX) or 100 ns (Windows) since the system's epoch
  std::uint64_t identity = 0;
  bool operator==(const TFileStamp&) const = default;
};

// One status call; a missing file gives a stamp that does not exist.
TFileStamp FileStampOf(const std::filesystem::path& path);

// All bytes of the file, opened for reading while others may not write to it. stamp, when given,
// receives the stamp of the content read.
std::string ReadWholeFile(const std::filesystem::path& path, TFileStamp* stamp = nullptr);

// Replaces the file's content in one step: the bytes go to a temporary file in the same folder,
// which is flushed to disk and then put in place of the file (a link is followed: its target is
// replaced). When anything fails the old file is left as it was, the temporary file is removed and
// EAliasFileError is raised (Held() only when the cause goes away by itself: a file held open by
// another program; a missing permission or a read-only file system is not held). The new file's
// modification time is at least one whole second after the replaced file's (the server reloads
// its alias file only when that time changes, counted in seconds).
// The new file is what the old one was: owner, group, mode, ACL and extended attributes on POSIX;
// ACL, owner, attributes and streams on Windows. What could not be carried over is added to
// notKept, when given, one text each, for the log; the replacement is made all the same.
// madeFrom, when given, is the stamp of the content the bytes were made from: when the file is no
// longer that content right before the replacement, nothing is replaced and false is returned;
// bytes appended to that content while it was being replaced are appended to the new file too.
// written, when given, receives the stamp of the new file.
using TNotKept = std::vector<std::string>;
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         const TFileStamp* madeFrom = nullptr, TFileStamp* written = nullptr,
                         TNotKept* notKept = nullptr);

// The lock that other writers of the alias file see, held from before a read until the replacement
// is in place, so that a check and the write made on it are one step across processes. POSIX: an
// exclusive flock on the file itself, the lock editors and scripts take too. Windows: LockFileEx
// on a range beyond any content, so that no reader (the database server) is ever refused.
// A file replaced while its lock was awaited is locked anew. Released by the destructor.
class TAliasFileLock {
 public:
  // Takes the lock, waiting at most timeout. A missing file gives a lock that holds nothing.
  // Raises EAliasFileError: Held() when another holder kept the lock that long, not held when
  // the file cannot be opened at all.
  static TAliasFileLock Take(const std::filesystem::path& path, std::chrono::milliseconds timeout);
  TAliasFileLock(TAliasFileLock&& other) noexcept;
  TAliasFileLock& operator=(TAliasFileLock&& other) noexcept;
  TAliasFileLock(const TAliasFileLock&) = delete;
  TAliasFileLock& operator=(const TAliasFileLock&) = delete;
  ~TAliasFileLock();
  bool HoldsFile() const;

 private:
  TAliasFileLock() = default;
  std::intptr_t handle_ = -1;  // a file descriptor, or a HANDLE
};

// Whether the file can be opened for reading and writing with no sharing at this moment.
bool CanOpenForReadWrite(const std::filesystem::path& path);

// Whether a folder of that name exists; the name is in the alias file's bytes (ANSI code page).
bool IsDirectory(const std::string& path);

}  // namespace vantrel
