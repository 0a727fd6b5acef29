#include "tests/sim/SimSupport.h"

#include <vector>

namespace vantrel::sim {

RegistryKey RegistryKey::Open(HKEY root, const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return RegistryKey();
  return RegistryKey(key);
}

RegistryKey RegistryKey::Create(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return RegistryKey();
  return RegistryKey(key);
}

std::wstring RegistryKey::ReadString(const std::wstring& name) const {
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &bytes) != ERROR_SUCCESS)
    return {};
  return buffer.data();
}

bool RegistryKey::HasValue(const std::wstring& name) const {
  return RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegistryKey::IsEmpty() const {
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return subkeys == 0 && values == 0;
}

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  std::wstring trimmed = WithoutTrailingDelimiter(path);
  auto slash = trimmed.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  return trimmed.substr(0, slash);
}

std::wstring WithTrailingDelimiter(std::wstring path) {
  if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
  return path;
}

std::wstring WithoutTrailingDelimiter(std::wstring path) {
  // "C:\" keeps its delimiter: without it the path would mean the drive's current folder.
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::vector<wchar_t> buffer(size);
  DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
  return length > 0 && length < size ? std::wstring(buffer.data(), length) : path;
}

Kind KindOfBinFolder(const std::wstring& binFolder) {
  const std::wstring folder = WithTrailingDelimiter(binFolder);
  if (FileExists(folder + std::wstring(kFirebirdRootNames.serverExe))) return Kind::FirebirdRoot;
  if (FileExists(folder + std::wstring(kFirebirdNames.serverExe))) return Kind::Firebird;
  return Kind::InterBase;
}

std::wstring OwnBinFolder() { return FolderOf(ModulePath()); }

std::wstring OwnRootFolder() {
  const std::wstring own = OwnBinFolder();
  return NamesOf(KindOfBinFolder(own)).rootLayout ? own : FolderOf(own);
}

std::wstring ToolLogPath() {
  std::vector<wchar_t> buffer(32768);
  DWORD length = GetEnvironmentVariableW(kToolLogVariable, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length > 0 && length < buffer.size()) return std::wstring(buffer.data(), length);
  return WithTrailingDelimiter(OwnRootFolder()) + kToolLogName;
}

bool AppendToolLog(const std::wstring& line) {
  UniqueHandle file(CreateFileW(ToolLogPath().c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string bytes = ToUtf8(line) + "\r\n";
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

}  // namespace vantrel::sim
