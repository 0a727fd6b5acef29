#pragma once
// The file operations the alias list needs, implemented once per platform.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

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
// which is flushed to disk and then renamed over the file. When anything fails the old file is
// left as it was, the temporary file is removed and EAliasFileError is raised. The new file's
// modification time is at least one whole second after the replaced file's (the server reloads
// its alias file only when that time changes, counted in seconds).
// stillCurrent, when given, is asked right before the replacement whether the file is still the
// one the bytes were made from; when it says no, nothing is replaced and false is returned.
// written, when given, receives the stamp of the new file.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         const std::function<bool()>& stillCurrent = {}, TFileStamp* written = nullptr);

// Whether the file can be opened for reading and writing with no sharing at this moment.
bool CanOpenForReadWrite(const std::filesystem::path& path);

// Whether a folder of that name exists; the name is in the alias file's bytes (ANSI code page).
bool IsDirectory(const std::string& path);

}  // namespace vantrel
