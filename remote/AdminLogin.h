#pragma once
// The administrator's name and password the user gave for creating databases, kept per user in
// the registry under the program's key. The password is protected with the Windows data
// protection of the user's logon and is never stored as text.
#include <string>

namespace vantrel {

struct TAdminLogin {
  std::wstring user;
  std::wstring password;
};

// What is stored; empty fields when nothing is stored or it cannot be read back (another user's
// or another machine's protected data).
TAdminLogin ReadAdminLogin();
// Stores both; an empty field removes its value. False when the key or a value cannot be written.
bool WriteAdminLogin(const TAdminLogin& login);

inline constexpr wchar_t kAdminLoginKey[] = L"Software\\Quelmark\\Vantrel";
inline constexpr wchar_t kAdminUserValue[] = L"AdminUser";
inline constexpr wchar_t kAdminPasswordValue[] = L"AdminPassword";

}  // namespace vantrel
