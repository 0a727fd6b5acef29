#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "aliases/AliasFileIO.h"

namespace vantrel {
namespace fs = std::filesystem;

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                      nullptr);
  return utf8;
}

std::string ReasonText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length && buffer) text.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"System error " + std::to_wstring(code);
  return Utf8(text);
}

// Another process has the file open in a way that keeps it from being opened or replaced now
// (Windows answers a replacement of a file held without delete sharing with "access denied").
bool HeldByAnother(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED;
}

[[noreturn]] void Fail(const char* what, const fs::path& path, DWORD code, bool held = false) {
  const std::string where = Utf8(path.wstring());
  const std::string reason = ReasonText(code);
  throw EAliasFileError(std::string(what) + " \"" + where + "\". " + reason, where, reason,
                        static_cast<int>(code), held);
}

fs::path TemporaryNameFor(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path name = target;
  name += L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".tmp";
  return name;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += written;
  }
  return true;
}

constexpr std::uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The last-write time of the file, when it exists.
std::optional<std::uint64_t> LastWriteTicks(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return Ticks(data.ftLastWriteTime);
}

// The database server notices a changed databases.conf by its modification time in whole seconds,
// so a write within the second of the previous one would go unseen. Such a write is dated one
// second after the previous one instead: the times stay strictly increasing without a wait that
// would hold up every other request (a burst of saves runs ahead of the clock by its length).
bool LeaveAnotherWholeSecond(HANDLE file, std::uint64_t previous) {
  FILETIME written{};
  if (!GetFileTime(file, nullptr, nullptr, &written)) return false;
  const std::uint64_t previousSecond = previous / kTicksPerSecond;
  if (Ticks(written) / kTicksPerSecond > previousSecond) return true;
  const std::uint64_t stamp = (previousSecond + 1) * kTicksPerSecond;
  FILETIME next{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
  return SetFileTime(file, nullptr, nullptr, &next) != 0;
}

TFileStamp StampOf(std::uint64_t size, const FILETIME& created, const FILETIME& written) {
  TFileStamp stamp;
  stamp.exists = true;
  stamp.size = size;
  stamp.modified = static_cast<std::int64_t>(Ticks(written));
  stamp.identity = Ticks(created);  // a replacement brings the new file's creation time
  return stamp;
}

}  // namespace

TFileStamp FileStampOf(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
  return StampOf((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.ftCreationTime,
                 data.ftLastWriteTime);
}

std::string ReadWholeFile(const fs::path& path, TFileStamp* stamp) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD code = GetLastError();
    Fail("Cannot open file", path, code, code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION);
  }
  if (stamp) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) Fail("Cannot read file", path, GetLastError());
    *stamp = StampOf((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     info.ftCreationTime, info.ftLastWriteTime);
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) Fail("Cannot read file", path, GetLastError());
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
}

bool WriteFileAtomically(const fs::path& path, const std::string& bytes, const std::function<bool()>& stillCurrent,
                         TFileStamp* written) {
  const std::optional<std::uint64_t> previous = LastWriteTicks(path);
  fs::path temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryNameFor(path);
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) || attempt >= 100)
        Fail("Cannot create file", path, code);
    }
  }
  FileHandle file(handle);
  auto failWith = [&](DWORD code, bool held = false) {
    file.Close();
    DeleteFileW(temporary.c_str());
    Fail("Cannot write file", path, code, held);
  };
  if (!WriteAll(file.Get(), bytes)) failWith(GetLastError());
  if (previous && !LeaveAnotherWholeSecond(file.Get(), *previous)) failWith(GetLastError());
  if (!FlushFileBuffers(file.Get())) failWith(GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (written && !GetFileInformationByHandle(file.Get(), &info)) failWith(GetLastError());
  if (!file.Close()) failWith(GetLastError());
  if (stillCurrent && !stillCurrent()) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  // One attempt: a held file is the caller's to try again later, without blocking anyone here.
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    DeleteFileW(temporary.c_str());
    Fail("Cannot write file", path, code, HeldByAnother(code));
  }
  // The moved file keeps the times and size it had under its temporary name.
  if (written)
    *written = StampOf((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                       info.ftCreationTime, info.ftLastWriteTime);
  return true;
}

bool CanOpenForReadWrite(const fs::path& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  // Windows refuses the open above for a read-only file; emulations running as the superuser may not.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace vantrel
