#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "aliases/AliasFileIO.h"

namespace vantrel {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  friend void swap(FileHandle& a, FileHandle& b) noexcept { std::swap(a.handle_, b.handle_); }
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

class LocalText {  // a buffer LocalAlloc gave us
 public:
  ~LocalText() {
    if (text_) LocalFree(text_);
  }
  wchar_t** Receive() { return &text_; }
  const wchar_t* Get() const { return text_; }

 private:
  wchar_t* text_ = nullptr;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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
  LocalText buffer;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(buffer.Receive()), 0, nullptr);
  std::wstring text;
  if (length && buffer.Get()) text.assign(buffer.Get(), length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"System error " + std::to_wstring(code);
  return Utf8(text);
}

[[noreturn]] void Fail(const char* what, const fs::path& path, DWORD code, bool held = false,
                       std::string reason = {}) {
  const std::string where = Utf8(path.wstring());
  if (reason.empty()) reason = ReasonText(code);
  throw EAliasFileError(std::string(what) + " \"" + where + "\". " + reason, where, reason,
                        static_cast<int>(code), held);
}

// Whether a refusal to replace the file goes away by itself: another program holds it open (a
// scanner, a backup agent, an editor), or it is being deleted. Windows answers several of these
// with "access denied", as it does a read-only file and an ACL that denies us: those are asked of
// the file itself and are not held.
bool HeldByAnother(const fs::path& target, DWORD code) {
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_USER_MAPPED_FILE) return true;
  if (code != ERROR_ACCESS_DENIED && code != ERROR_UNABLE_TO_REMOVE_REPLACED) return false;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data) &&
      (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
    return false;
  FileHandle writable(
      CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (writable.Valid()) return true;
  const DWORD probe = GetLastError();
  if (probe == ERROR_SHARING_VIOLATION || probe == ERROR_LOCK_VIOLATION) return true;
  if (probe != ERROR_ACCESS_DENIED) return false;
  // Refused even an open that asks for nothing but its attributes: the file is being deleted.
  FileHandle looking(
      CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !looking.Valid() && GetLastError() == ERROR_ACCESS_DENIED;
}

// A link is followed to the file it ends at; that file is the one replaced.
fs::path FinalTarget(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
  FileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) return path;
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(file.Get(), name.data(), static_cast<DWORD>(name.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return path;
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(length + 1);
  }
}

fs::path TemporaryNameFor(const fs::path& target, const wchar_t* kind = L"tmp") {
  static std::atomic<unsigned> counter{0};
  fs::path name = target;
  name += L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L"." + kind;
  return name;
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, data + done, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += written;
  }
  return true;
}

// size bytes from offset, fewer when the file is shorter; nullopt when it cannot be read.
std::optional<std::string> ReadAt(HANDLE file, std::uint64_t offset, std::uint64_t size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(size - done, 1u << 20));
    if (!ReadFile(file, bytes.data() + done, chunk, &read, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (read == 0) break;
    done += read;
  }
  bytes.resize(done);
  return bytes;
}

constexpr std::uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
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

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

TFileStamp StampOf(std::uint64_t size, const FILETIME& created, const FILETIME& written) {
  TFileStamp stamp;
  stamp.exists = true;
  stamp.size = size;
  stamp.modified = static_cast<std::int64_t>(Ticks(written));
  stamp.identity = Ticks(created);  // a replacement brings the new file's creation time
  return stamp;
}

TFileStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return StampOf(SizeOf(info), info.ftCreationTime, info.ftLastWriteTime);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// ---- what ReplaceFileW is to keep, looked at before and after ----

// The attributes a person or a tool sets on a file; archive and the like follow the content.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct TKeptState {
  DWORD attributes = 0;
  std::optional<std::wstring> security;  // owner and DACL in SDDL, when they can be read
  std::set<std::wstring> streams;        // alternate data streams, by name
};

std::optional<std::wstring> SecurityOf(const fs::path& file) {
  constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  GetFileSecurityW(file.c_str(), kWhat, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::string buffer(size, '\0');
  if (!GetFileSecurityW(file.c_str(), kWhat, buffer.data(), size, &size)) return std::nullopt;
  LocalText text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(buffer.data(), SDDL_REVISION_1, kWhat, text.Receive(),
                                                            nullptr))
    return std::nullopt;
  return std::wstring(text.Get());
}

std::set<std::wstring> StreamsOf(const fs::path& file) {
  std::set<std::wstring> names;
  WIN32_FIND_STREAM_DATA stream{};
  const HANDLE find = FindFirstStreamW(file.c_str(), FindStreamInfoStandard, &stream, 0);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (std::wstring(stream.cStreamName) != L"::$DATA") names.insert(stream.cStreamName);
  } while (FindNextStreamW(find, &stream));
  FindClose(find);
  return names;
}

TKeptState KeptStateOf(const fs::path& file) {
  TKeptState state;
  const DWORD attributes = GetFileAttributesW(file.c_str());
  state.attributes = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & kKeptAttributes;
  state.security = SecurityOf(file);
  state.streams = StreamsOf(file);
  return state;
}

void CompareKept(const TKeptState& before, const TKeptState& after, TNotKept& lost) {
  if (before.attributes != after.attributes) {
    char text[64];
    snprintf(text, sizeof text, "attributes 0x%lx not kept (now 0x%lx)", before.attributes, after.attributes);
    lost.push_back(text);
  }
  if (before.security && after.security && *before.security != *after.security)
    lost.push_back("owner and ACL " + Utf8(*before.security) + " not kept (now " + Utf8(*after.security) + ")");
  for (const std::wstring& stream : before.streams)
    if (!after.streams.count(stream)) lost.push_back("stream " + Utf8(stream) + " not kept");
}

// ---- bytes appended to the old file while it was replaced ----

// The old file, renamed to its backup name by the replacement, is still the one that writers who
// opened it before go on appending to. Once nobody has it open for writing (an open that does not
// share writing is refused until then, and while it is held no writer can come) what came after
// the content the bytes were made from is appended to the new file, and the backup is deleted.
void CarryAppends(const fs::path& target, const fs::path& backup, const TFileStamp& madeFrom,
                  const std::string& original, TNotKept& lost) {
  struct TDeleted {  // the backup goes on every way out
    const fs::path& name;
    ~TDeleted() { DeleteFileW(name.c_str()); }
  } deleted{backup};
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  auto pause = 1ms;
  FileHandle old;
  for (;;) {
    FileHandle alone(CreateFileW(backup.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (alone.Valid()) {
      swap(old, alone);
      break;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) return;
    if (std::chrono::steady_clock::now() >= deadline) {
      lost.push_back("the replaced file was still open for writing; what is written to it now is not kept");
      FileHandle shared(CreateFileW(backup.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      swap(old, shared);
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(32));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!old.Valid() || !GetFileInformationByHandle(old.Get(), &info) || StampOf(info) == madeFrom) return;
  if (SizeOf(info) < madeFrom.size || ReadAt(old.Get(), 0, madeFrom.size) != original) {
    lost.push_back("a change made to the replaced file while it was replaced is not kept");
    return;
  }
  if (SizeOf(info) == madeFrom.size) return;
  const std::optional<std::string> extra = ReadAt(old.Get(), madeFrom.size, SizeOf(info) - madeFrom.size);
  FileHandle now(CreateFileW(target.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  FILETIME before{};
  if (!extra || !now.Valid() || !GetFileTime(now.Get(), nullptr, nullptr, &before) ||
      !WriteAll(now.Get(), extra->data(), extra->size())) {
    lost.push_back("bytes appended to the replaced file while it was replaced not kept: " +
                   ReasonText(GetLastError()));
    return;
  }
  LeaveAnotherWholeSecond(now.Get(), std::max(Ticks(before), Ticks(info.ftLastWriteTime)));
  FlushFileBuffers(now.Get());
}

bool EndsWithinALine(const std::string& bytes) {
  return !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
}

// The lock's name: the file's final path, folded to upper case as the file system compares it,
// hashed (FNV-1a) to fit a kernel object's name.
std::wstring LockNameFor(const fs::path& target) {
  std::wstring folded = target.wstring();
  if (!folded.empty())
    CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  std::uint64_t hash = 1469598103934665603ull;
  for (wchar_t c : folded) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Vantrel.AliasFile.%016llx", static_cast<unsigned long long>(hash));
  return name;
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
    *stamp = StampOf(info);
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
      const DWORD code = GetLastError();
      Fail("Cannot read file", path, code, code == ERROR_LOCK_VIOLATION);  // another program's byte lock
    }
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
}

bool WriteFileAtomically(const fs::path& path, const std::string& bytes, const TFileStamp* madeFrom,
                         TFileStamp* written, TNotKept* notKept) {
  const fs::path target = FinalTarget(path);
  // The old file, read with every sharing so that it holds up nobody.
  BY_HANDLE_FILE_INFORMATION oldInfo{};
  std::string original;
  bool exists = false;
  {
    FileHandle old(CreateFileW(target.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (old.Valid()) {
      exists = true;
      if (!GetFileInformationByHandle(old.Get(), &oldInfo)) Fail("Cannot read file", path, GetLastError());
    } else {
      const DWORD code = GetLastError();
      if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
        Fail("Cannot open file", path, code, HeldByAnother(target, code));
    }
    if (madeFrom) {
      if (exists != madeFrom->exists || (exists && StampOf(oldInfo) != *madeFrom)) return false;
      if (exists) {
        const std::optional<std::string> read = ReadAt(old.Get(), 0, madeFrom->size);
        BY_HANDLE_FILE_INFORMATION after{};
        if (!read || !GetFileInformationByHandle(old.Get(), &after)) Fail("Cannot read file", path, GetLastError());
        if (StampOf(after) != *madeFrom) return false;
        original = *read;
      }
    }
  }
  const TKeptState kept = exists ? KeptStateOf(target) : TKeptState{};

  fs::path temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryNameFor(target);
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) || attempt >= 100)
        Fail("Cannot create file", path, code);
    }
  }
  FileHandle file(handle);
  struct TRemoved {  // the temporary file, until it is in place
    const fs::path& name;
    bool placed = false;
    ~TRemoved() {
      if (!placed) DeleteFileW(name.c_str());
    }
  } removed{temporary};
  if (!WriteAll(file.Get(), bytes.data(), bytes.size())) Fail("Cannot write file", path, GetLastError());
  if (exists && !LeaveAnotherWholeSecond(file.Get(), Ticks(oldInfo.ftLastWriteTime)))
    Fail("Cannot write file", path, GetLastError());
  if (!FlushFileBuffers(file.Get())) Fail("Cannot write file", path, GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) Fail("Cannot write file", path, GetLastError());
  if (!file.Close()) Fail("Cannot write file", path, GetLastError());
  // ReplaceFileW carries these over on Windows; not every emulation of it does.
  if (kept.attributes && !SetFileAttributesW(temporary.c_str(), kept.attributes))
    Fail("Cannot write file", path, GetLastError());

  if (madeFrom) {
    // Still that content, or that content with bytes appended: those are carried over below. Bytes
    // made from half a line wait for the rest of it.
    const TFileStamp now = FileStampOf(target);
    if (now.exists != madeFrom->exists) return false;
    if (now.exists && now != *madeFrom) {
      if (now.identity != madeFrom->identity || now.size < madeFrom->size || EndsWithinALine(original)) return false;
      FileHandle old(CreateFileW(target.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!old.Valid() || ReadAt(old.Get(), 0, madeFrom->size) != original) return false;
    }
  }

  // One attempt: a held file is the caller's to try again later, without blocking anyone here.
  // ReplaceFileW keeps what the old file was (ACL, owner, attributes, streams) and moves the old
  // file to the backup name, where writers who still have it open go on appending.
  const fs::path backup = TemporaryNameFor(target, L"old");
  const bool replaced =
      exists ? ReplaceFileW(target.c_str(), temporary.c_str(), backup.c_str(),
                            REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr) != 0
             : MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_WRITE_THROUGH | (madeFrom ? 0 : MOVEFILE_REPLACE_EXISTING)) != 0;
  if (!replaced) {
    const DWORD code = GetLastError();
    if (!exists && madeFrom && (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)) return false;
    // The old file already went to the backup name and the new one could not follow: put it back.
    if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(backup.c_str(), target.c_str(), 0);
    Fail("Cannot write file", path, code, HeldByAnother(target, code));
  }
  removed.placed = true;

  TNotKept lost;
  if (written) {
    // The replaced file's creation time stays with the name; size and time are the bytes we wrote,
    // so that anything appended since shows as a change.
    const TFileStamp now = FileStampOf(target);
    *written = StampOf(info);
    if (now.exists) written->identity = now.identity;
  }
  if (exists) {
    CompareKept(kept, KeptStateOf(target), lost);
    if (madeFrom)
      CarryAppends(target, backup, *madeFrom, original, lost);
    else
      DeleteFileW(backup.c_str());
  }
  if (notKept) notKept->insert(notKept->end(), lost.begin(), lost.end());
  return true;
}

// A named mutex, not a lock on the file: any handle on the file itself would keep other programs
// from replacing it (an editor's save by rename) for as long as it is held. The mutex is seen by
// every Vantrel on the machine (Global, or the session's own where Global may not be made); an
// editor's own byte lock on the content is seen as a held file when the content is read.
TAliasFileLock TAliasFileLock::Take(const fs::path& path, std::chrono::milliseconds timeout) {
  TAliasFileLock lock;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return lock;
  }
  const std::wstring name = LockNameFor(FinalTarget(path));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
  if (!mutex) mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  if (!mutex) Fail("Cannot lock file", path, GetLastError());
  const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(timeout.count()));
  // An abandoned mutex was left by a process that ended while holding it: it is ours now.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    Fail("Cannot lock file", path, waited == WAIT_TIMEOUT ? ERROR_LOCK_VIOLATION : GetLastError(), true,
         "another program holds its lock");
  }
  lock.handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return lock;
}

TAliasFileLock::TAliasFileLock(TAliasFileLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

TAliasFileLock& TAliasFileLock::operator=(TAliasFileLock&& other) noexcept {
  if (this != &other) {
    this->~TAliasFileLock();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

TAliasFileLock::~TAliasFileLock() {
  if (handle_ == -1) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool TAliasFileLock::HoldsFile() const { return handle_ != -1; }

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
