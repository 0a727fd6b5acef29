#pragma once
// The file operations the alias list needs, implemented once per platform.
#include <filesystem>
#include <stdexcept>
#include <string>

namespace vantrel {

// A file that could not be read or written. The message names the full path and gives the
// system's reason, in UTF-8.
class EAliasFileError : public std::runtime_error {
 public:
  EAliasFileError(const std::string& message, std::string path, std::string reason, int code);
  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }
  int Code() const { return code_; }  // errno, or the Windows error code

 private:
  std::string path_;
  std::string reason_;
  int code_;
};

// All bytes of the file, opened for reading while others may not write to it.
std::string ReadWholeFile(const std::filesystem::path& path);

// Replaces the file's content in one step: the bytes go to a temporary file in the same folder,
// which is flushed to disk and then renamed over the file. When anything fails the old file is
// left as it was, the temporary file is removed and EAliasFileError is raised. The new file's
// modification time is at least one whole second after the replaced file's (the server reloads
// its alias file only when that time changes, counted in seconds).
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes);

// Whether the file can be opened for reading and writing with no sharing at this moment.
bool CanOpenForReadWrite(const std::filesystem::path& path);

// Whether a folder of that name exists; the name is in the alias file's bytes (ANSI code page).
bool IsDirectory(const std::string& path);

}  // namespace vantrel
