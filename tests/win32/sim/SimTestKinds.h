#pragma once
// Runs a test suite once per kind of installation (the root layout of Firebird 3 and later too).
#include <gtest/gtest.h>

#include "tests/sim/SimTesting.h"

namespace vantrel::sim {
// Readable parameter values in test names and failure messages.
inline const char* KindText(Kind kind) {
  return kind == Kind::Firebird ? "Firebird" : kind == Kind::FirebirdRoot ? "FirebirdRoot" : "InterBase";
}
inline void PrintTo(Kind kind, std::ostream* out) { *out << KindText(kind); }
}  // namespace vantrel::sim

namespace vantrel::sim::testing {

inline std::string KindLabel(const ::testing::TestParamInfo<Kind>& info) {
  return KindText(info.param);
}

#define SIM_FOR_BOTH_KINDS(suite) \
  INSTANTIATE_TEST_SUITE_P(Kinds, suite, ::testing::Values(Kind::Firebird, Kind::InterBase, Kind::FirebirdRoot), KindLabel)

// Ends whatever of the kind runs before and after each test; the installation copy goes last.
class PerKind : public ::testing::TestWithParam<Kind> {
 protected:
  PerKind() : install_(GetParam()) {}
  void SetUp() override { EndEverythingOf(GetParam()); }
  void TearDown() override { EndEverythingOf(GetParam()); }

  const KindNames& Names() const { return install_.Names(); }
  std::wstring Server() const { return install_.BinFile(Names().serverExe); }
  std::wstring Guardian() const { return install_.BinFile(Names().guardianExe); }
  std::wstring Tool(const wchar_t* name) const { return install_.BinFile(name); }

  TempInstallation install_;
};

}  // namespace vantrel::sim::testing
