#include "remote/AdminLogin.h"

#include <windows.h>
#include <dpapi.h>

#include <memory>
#include <optional>
#include <vector>

#include "shell/DelayLoad.h"
#include "shell/Registry.h"

namespace vantrel {
namespace {

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

// The password's UTF-16 bytes protected for the current user; nothing when that fails.
std::optional<std::vector<BYTE>> Protect(const std::wstring& text) {
  DATA_BLOB plain{static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                  reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.data()))};
  DATA_BLOB sealed{};
  auto* protect = SystemFunction<decltype(CryptProtectData)>(L"crypt32.dll", "CryptProtectData");
  if (!protect || !protect(&plain, L"Vantrel", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &sealed))
    return std::nullopt;
  std::unique_ptr<BYTE, LocalFreer> owned(sealed.pbData);
  return std::vector<BYTE>(sealed.pbData, sealed.pbData + sealed.cbData);
}

std::wstring Unprotect(std::vector<BYTE> bytes) {
  DATA_BLOB sealed{static_cast<DWORD>(bytes.size()), bytes.data()};
  DATA_BLOB plain{};
  auto* unprotect = SystemFunction<decltype(CryptUnprotectData)>(L"crypt32.dll", "CryptUnprotectData");
  if (!unprotect || !unprotect(&sealed, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &plain))
    return {};
  std::unique_ptr<BYTE, LocalFreer> owned(plain.pbData);
  std::wstring text(reinterpret_cast<const wchar_t*>(plain.pbData), plain.cbData / sizeof(wchar_t));
  SecureZeroMemory(plain.pbData, plain.cbData);
  return text;
}

std::optional<std::vector<BYTE>> ReadBinary(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY)
    return std::nullopt;
  std::vector<BYTE> bytes(size);
  if (RegQueryValueExW(key, name, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

bool WriteOrDelete(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
  if (size == 0) {
    const LSTATUS status = RegDeleteValueW(key, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExW(key, name, 0, type, data, size) == ERROR_SUCCESS;
}

}  // namespace

TAdminLogin ReadAdminLogin() {
  TAdminLogin login;
  RegKey key = RegKey::Open(HKEY_CURRENT_USER, kAdminLoginKey, KEY_READ);
  if (!key) return login;
  login.user = key.ReadString(kAdminUserValue).value_or(L"");
  if (auto sealed = ReadBinary(key.Get(), kAdminPasswordValue)) login.password = Unprotect(std::move(*sealed));
  return login;
}

bool WriteAdminLogin(const TAdminLogin& login) {
  RegKey key = RegKey::Create(HKEY_CURRENT_USER, kAdminLoginKey);
  if (!key) return false;
  const auto userBytes = static_cast<DWORD>(login.user.empty() ? 0 : (login.user.size() + 1) * sizeof(wchar_t));
  if (!WriteOrDelete(key.Get(), kAdminUserValue, REG_SZ, reinterpret_cast<const BYTE*>(login.user.c_str()),
                     userBytes))
    return false;
  if (login.password.empty()) return WriteOrDelete(key.Get(), kAdminPasswordValue, REG_BINARY, nullptr, 0);
  const std::optional<std::vector<BYTE>> sealed = Protect(login.password);
  return sealed && WriteOrDelete(key.Get(), kAdminPasswordValue, REG_BINARY, sealed->data(),
                                 static_cast<DWORD>(sealed->size()));
}

}  // namespace vantrel
