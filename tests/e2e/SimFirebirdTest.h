#pragma once
// Tests that run vantrel.exe against a simulated Firebird installation: every test starts and
// ends with no simulated program running, no root registered and no user settings.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/Harness.h"
#include "tests/sim/SimTesting.h"

namespace e2e {

class SimFirebirdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vantrel::sim::testing::EndEverythingOf(vantrel::sim::Kind::Firebird);
    ClearRegistrations();
    ResetUserSettings();
  }
  void TearDown() override {
    vantrel::sim::testing::EndEverythingOf(vantrel::sim::Kind::Firebird);
    ClearRegistrations();
  }

  // Registers the root with the kit's instreg.exe and, given arguments, installs the services
  // with its instsvc.exe, as an administrator would.
  static void RegisterWithKitTools(const vantrel::sim::testing::TempInstallation& install,
                                   const std::wstring& instsvcArguments = L"") {
    namespace simt = vantrel::sim::testing;
    ASSERT_EQ(simt::RunToEnd(L"\"" + install.BinFile(L"instreg.exe") + L"\" install"), 0u);
    if (!instsvcArguments.empty())
      ASSERT_EQ(simt::RunToEnd(L"\"" + install.BinFile(L"instsvc.exe") + L"\" " + instsvcArguments), 0u);
  }

  static void Click(HWND main, int id) { PostMessageW(FindControl(main, id), BM_CLICK, 0, 0); }
};

// The same test against both Firebird layouts: 2.5 (programs in bin\) and 3 and later (all in the
// root folder, firebird.exe).
class SimLayoutTest : public SimFirebirdTest, public ::testing::WithParamInterface<vantrel::sim::Kind> {
 protected:
  std::wstring ServerExe() const { return std::wstring(vantrel::sim::NamesOf(GetParam()).serverExe); }
};

inline std::string LayoutLabel(const ::testing::TestParamInfo<vantrel::sim::Kind>& info) {
  return info.param == vantrel::sim::Kind::FirebirdRoot ? "RootLayout" : "BinLayout";
}

#define FOR_BOTH_FIREBIRD_LAYOUTS(suite)                                                          \
  INSTANTIATE_TEST_SUITE_P(Layouts, suite,                                                        \
                           ::testing::Values(vantrel::sim::Kind::Firebird, vantrel::sim::Kind::FirebirdRoot), \
                           e2e::LayoutLabel)

}  // namespace e2e
