#pragma once
// The machine's real Firebird 3 server and its own files, for the tests that run against them.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vantrel::testing {

inline const std::filesystem::path kServerConf = "/etc/firebird/3.0/databases.conf";
inline const std::filesystem::path kServerData = "/var/lib/firebird/3.0/data";

inline bool RealServerWanted() {
  const char* wanted = std::getenv("VANTREL_FIREBIRD");
  return wanted && std::string(wanted) == "1";
}

inline std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Held by every test that changes the server's own files, from before it reads them until they are
// put back: CTest runs tests side by side, and two of them on databases.conf would each put back
// what the other wrote.
class TServerFilesTurn {
 public:
  TServerFilesTurn() : fd_(::open("/tmp/vantrel-server-files.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~TServerFilesTurn() {
    if (fd_ >= 0) ::close(fd_);
  }
  TServerFilesTurn(const TServerFilesTurn&) = delete;
  TServerFilesTurn& operator=(const TServerFilesTurn&) = delete;

 private:
  int fd_;
};

// Puts a file back as it was (bytes, mode, owner) however the test ends.
class TRestoredFile {
 public:
  explicit TRestoredFile(std::filesystem::path path) : path_(std::move(path)), bytes_(FileBytes(path_)) {
    stat(path_.c_str(), &status_);
  }
  ~TRestoredFile() {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes_;
    chmod(path_.c_str(), status_.st_mode & 07777);
    (void)!chown(path_.c_str(), status_.st_uid, status_.st_gid);
  }
  TRestoredFile(const TRestoredFile&) = delete;
  TRestoredFile& operator=(const TRestoredFile&) = delete;
  const std::string& Bytes() const { return bytes_; }
  const struct stat& Status() const { return status_; }

 private:
  std::filesystem::path path_;
  std::string bytes_;
  struct stat status_ {};
};

// isql-fb attaches by alias over TCP and reads one row: whether the server knows the alias now
// and reads its file.
inline bool OpensByAlias(const std::string& alias) {
  const std::string command = "echo 'select 1 from rdb$database;' | ISC_USER= ISC_PASSWORD= timeout 20 isql-fb -q "
                              "-user SYSDBA -password velmoraxe 127.0.0.1:" + alias + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// A database made without the command server, as an administrator makes one by hand.
inline bool CreatedWithIsql(const std::filesystem::path& file) {
  const std::string command = "echo \"create database '127.0.0.1:" + file.string() +
                              "' user 'SYSDBA' password 'velmoraxe';\" | ISC_USER= ISC_PASSWORD= "
                              "timeout 60 isql-fb -q >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace vantrel::testing
