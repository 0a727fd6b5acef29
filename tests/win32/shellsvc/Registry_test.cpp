// Registry keys under the current user, in a key of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell/Registry.h"

namespace vantrel {
namespace {

class RegistryTest : public testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str() + 1); }
  std::wstring base_ = L"\\Software\\Quelmark\\VantrelTest" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(RegistryTest, CreateMakesMissingParentsAndValuesRoundTrip) {
  RegKey key = RegKey::Create(HKEY_CURRENT_USER, base_ + L"\\Deeper\\Still");
  ASSERT_TRUE(key);
  EXPECT_TRUE(key.WriteString(L"Path", L"C:\\Program Files\\Fırebird\\"));
  EXPECT_TRUE(key.WriteString(L"Empty", L""));

  RegKey reader = RegKey::Open(HKEY_CURRENT_USER, base_ + L"\\Deeper\\Still", KEY_READ);
  ASSERT_TRUE(reader);
  EXPECT_EQ(L"C:\\Program Files\\Fırebird\\", reader.ReadString(L"Path"));
  EXPECT_EQ(L"", reader.ReadString(L"Empty"));
  EXPECT_EQ(std::nullopt, reader.ReadString(L"Missing"));
  EXPECT_FALSE(RegKey::Open(HKEY_CURRENT_USER, base_ + L"\\Absent", KEY_READ));
  EXPECT_FALSE(reader.WriteString(L"Path", L"x")) << "a read-only key takes no values";

  // The leading backslash is optional.
  RegKey without = RegKey::Open(HKEY_CURRENT_USER, base_.substr(1) + L"\\Deeper", KEY_READ);
  EXPECT_TRUE(without);
}

TEST_F(RegistryTest, ReadsOnlyStringValuesAndCopesWithoutTerminator) {
  RegKey key = RegKey::Create(HKEY_CURRENT_USER, base_);
  ASSERT_TRUE(key);
  DWORD number = 7;
  RegSetValueExW(key.Get(), L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  const wchar_t expand[] = L"%SystemRoot%\\x";
  RegSetValueExW(key.Get(), L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof(expand));
  const wchar_t bare[] = {L'a', L'b', L'c'};
  RegSetValueExW(key.Get(), L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), sizeof(bare));

  EXPECT_EQ(std::nullopt, key.ReadString(L"Number"));
  EXPECT_EQ(L"%SystemRoot%\\x", key.ReadString(L"Expand")) << "read as stored, not expanded";
  EXPECT_EQ(L"abc", key.ReadString(L"Bare"));
  std::wstring longText(5000, L'z');
  ASSERT_TRUE(key.WriteString(L"Long", longText));
  EXPECT_EQ(longText, key.ReadString(L"Long"));
}

TEST_F(RegistryTest, DeleteValueTreatsAMissingValueAsDone) {
  RegKey key = RegKey::Create(HKEY_CURRENT_USER, base_);
  ASSERT_TRUE(key.WriteString(L"Run", L"x"));
  EXPECT_TRUE(key.DeleteValue(L"Run"));
  EXPECT_EQ(std::nullopt, key.ReadString(L"Run"));
  EXPECT_TRUE(key.DeleteValue(L"Run"));
  RegKey none;
  EXPECT_FALSE(none.DeleteValue(L"Run"));
}

TEST_F(RegistryTest, MovedOwnerKeepsTheKeyAndTheSourceIsEmpty) {
  RegKey first = RegKey::Create(HKEY_CURRENT_USER, base_);
  ASSERT_TRUE(first);
  HKEY handle = first.Get();
  RegKey second = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_EQ(handle, second.Get());
  EXPECT_TRUE(second.WriteString(L"x", L"y"));
}

}  // namespace
}  // namespace vantrel
