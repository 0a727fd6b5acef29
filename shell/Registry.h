#pragma once
// Registry keys with an owner: a key is closed on every path out of the scope that opened it.
#include <windows.h>

#include <optional>
#include <string>

namespace vantrel {

class RegKey {
 public:
  RegKey() = default;
  ~RegKey();
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens an existing key; a leading backslash in path is ignored.
  static RegKey Open(HKEY root, const std::wstring& path, REGSAM access);
  // Opens the key with full access, creating it (and missing parents) when absent.
  static RegKey Create(HKEY root, const std::wstring& path);

  explicit operator bool() const { return key_ != nullptr; }
  HKEY Get() const { return key_; }

  std::optional<std::wstring> ReadString(const std::wstring& name) const;
  bool WriteString(const std::wstring& name, const std::wstring& value);
  bool DeleteValue(const std::wstring& name);  // true also when the value was missing

 private:
  explicit RegKey(HKEY key) : key_(key) {}
  HKEY key_ = nullptr;
};

}  // namespace vantrel
