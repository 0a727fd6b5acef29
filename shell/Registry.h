#pragma once
// Registry keys with an owner: a key is closed on every path out of the scope that opened it.
#include <windows.h>

#include <optional>
#include <string>

namespace vantrel {

// Registry views to look in, 64-bit first (on 32-bit Windows both flags are ignored).
inline constexpr REGSAM kRegistryViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

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
  // Opens an existing key in the 64-bit view, else in the 32-bit view (where a 32-bit program
  // installed on 64-bit Windows has its keys).
  static RegKey OpenInEitherView(HKEY root, const std::wstring& path, REGSAM access);
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

// A string value of the key in the first view that has it, or nothing.
std::optional<std::wstring> ReadStringInEitherView(HKEY root, const std::wstring& path, const std::wstring& name);

}  // namespace vantrel
