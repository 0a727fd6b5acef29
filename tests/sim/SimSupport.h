#pragma once
// Owners of handles and a few path helpers shared by the simulated installation's programs and tests.
#include <windows.h>

#include <string>
#include <utility>

#include "tests/sim/SimNames.h"

namespace vantrel::sim {

// Owner of a kernel handle; both null and INVALID_HANDLE_VALUE count as empty.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  void Reset() {
    if (*this) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

class ServiceHandle {
 public:
  ServiceHandle() = default;
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  ServiceHandle(ServiceHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ServiceHandle& operator=(ServiceHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  SC_HANDLE Get() const { return handle_; }

 private:
  SC_HANDLE handle_ = nullptr;
};

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    std::swap(key_, other.key_);
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  static RegistryKey Open(HKEY root, const std::wstring& path, REGSAM access);
  static RegistryKey Create(HKEY root, const std::wstring& path);
  static RegistryKey Adopt(HKEY key) { return RegistryKey(key); }

  explicit operator bool() const { return key_ != nullptr; }
  HKEY Get() const { return key_; }
  // Empty when the value is missing or not a string.
  std::wstring ReadString(const std::wstring& name) const;
  bool HasValue(const std::wstring& name) const;
  bool IsEmpty() const;  // no values and no subkeys

 private:
  explicit RegistryKey(HKEY key) : key_(key) {}
  HKEY key_ = nullptr;
};

std::wstring ModulePath();
// The folder part of a path, without trailing delimiter.
std::wstring FolderOf(const std::wstring& path);
std::wstring WithTrailingDelimiter(std::wstring path);
std::wstring WithoutTrailingDelimiter(std::wstring path);
bool FileExists(const std::wstring& path);
// The absolute form of a path; the path itself when the system cannot resolve it.
std::wstring FullPath(const std::wstring& path);

// A folder holding firebird.exe is a root-layout Firebird installation, one holding fbserver.exe
// a 2.5-layout one, any other an InterBase one.
Kind KindOfBinFolder(const std::wstring& binFolder);

// The folder of the running executable, and the installation root (that folder itself in the
// root layout, the one above it otherwise).
std::wstring OwnBinFolder();
std::wstring OwnRootFolder();

// The log the registration tools write their command lines to.
std::wstring ToolLogPath();
// Appends one line (UTF-8, CR LF) to the tool log; concurrent writers each keep their line whole.
bool AppendToolLog(const std::wstring& line);

std::string ToUtf8(const std::wstring& text);

}  // namespace vantrel::sim
