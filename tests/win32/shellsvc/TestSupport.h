#pragma once
// Paths and scratch folders for the shell-service tests.
#include <windows.h>

#include <string>

namespace vantrel::test {

inline std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.rfind(L'\\'));
}

inline std::wstring OwnExePath() { return BinDir() + L"\\shellsvc_tests.exe"; }
inline std::wstring HelperPath() { return BinDir() + L"\\shellsvc_helper.exe"; }

inline bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring LongPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD length = GetLongPathNameW(path.c_str(), buffer, MAX_PATH * 2);
  return length ? std::wstring(buffer, length) : path;
}

// A fresh folder under the temporary directory, removed with its files afterwards.
class ScratchFolder {
 public:
  // Under the temporary directory, or under parent when one is given.
  explicit ScratchFolder(const std::wstring& name, const std::wstring& parent = L"") {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = (parent.empty() ? LongPath(temp) : parent) + name + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((path_ + L"\\" + name).c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

inline void WriteFileText(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace vantrel::test
