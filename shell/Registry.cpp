#include "shell/Registry.h"

#include <utility>
#include <vector>

namespace vantrel {
namespace {

const wchar_t* WithoutLeadingBackslash(const std::wstring& path) {
  return path.c_str() + (!path.empty() && path.front() == L'\\' ? 1 : 0);
}

}  // namespace

RegKey::~RegKey() {
  if (key_) RegCloseKey(key_);
}

RegKey::RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    if (key_) RegCloseKey(key_);
    key_ = std::exchange(other.key_, nullptr);
  }
  return *this;
}

RegKey RegKey::Open(HKEY root, const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, WithoutLeadingBackslash(path), 0, access, &key) != ERROR_SUCCESS)
    return RegKey();
  return RegKey(key);
}

RegKey RegKey::OpenInEitherView(HKEY root, const std::wstring& path, REGSAM access) {
  for (REGSAM view : kRegistryViews)
    if (RegKey key = Open(root, path, access | view)) return key;
  return RegKey();
}

std::optional<std::wstring> ReadStringInEitherView(HKEY root, const std::wstring& path, const std::wstring& name) {
  for (REGSAM view : kRegistryViews) {
    if (RegKey key = RegKey::Open(root, path, KEY_READ | view))
      if (auto value = key.ReadString(name); value && !value->empty()) return value;
  }
  return std::nullopt;
}

RegKey RegKey::Create(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, WithoutLeadingBackslash(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return RegKey();
  return RegKey(key);
}

std::optional<std::wstring> RegKey::ReadString(const std::wstring& name) const {
  if (!key_) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> data;
  // The value may grow between the two reads; read again until it fits.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    data.assign(size + sizeof(wchar_t), 0);
    size = static_cast<DWORD>(data.size());
    status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_SUCCESS) {
      if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
      // Stored strings need not carry their terminator; cut at the first one that is there.
      std::size_t end = text.find(L'\0');
      if (end != std::wstring::npos) text.resize(end);
      return text;
    }
  }
  return std::nullopt;
}

bool RegKey::WriteString(const std::wstring& name, const std::wstring& value) {
  if (!key_) return false;
  DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        size) == ERROR_SUCCESS;
}

bool RegKey::DeleteValue(const std::wstring& name) {
  if (!key_) return false;
  LONG status = RegDeleteValueW(key_, name.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace vantrel
