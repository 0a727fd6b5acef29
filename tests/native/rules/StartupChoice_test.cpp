#include "server/rules/StartupChoice.h"

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

const ServiceSetup kNone{};
const ServiceSetup kDemand{L"x", true, false, false};
const ServiceSetup kAuto{L"x", true, true, false};
constexpr wchar_t kGuardian[] = L"C:\\Firebird\\bin\\fbguard.exe";
constexpr wchar_t kServer[] = L"C:\\Firebird\\bin\\fbserver.exe";

TStartupChoice Choice(bool autostart, bool service, bool guardian) { return {autostart, service, guardian}; }

}  // namespace

TEST(StartupChoiceRead, ServicesSetTheBoxesAndARunValueAddsAutostartAndItsGuardian) {
  // Guardian service set to start on demand, server on its own: as services through the guardian.
  EXPECT_EQ(ReadStartupChoice(true, kDemand, kDemand, L"", L"fbguard.exe", true), Choice(false, true, true));
  EXPECT_EQ(ReadStartupChoice(true, kAuto, kDemand, L"", L"fbguard.exe", true), Choice(true, true, true));
  EXPECT_EQ(ReadStartupChoice(true, kNone, kAuto, L"", L"fbguard.exe", true), Choice(true, true, false));
  EXPECT_EQ(ReadStartupChoice(true, kNone, kNone, kGuardian, L"fbguard.exe", true), Choice(true, false, true));
  EXPECT_EQ(ReadStartupChoice(true, kNone, kNone, kServer, L"fbguard.exe", true), Choice(true, false, false));
  // A guardian that is not available is never chosen from the Run value; off NT the setups do not count.
  EXPECT_EQ(ReadStartupChoice(true, kNone, kNone, kGuardian, L"fbguard.exe", false), Choice(true, false, false));
  EXPECT_EQ(ReadStartupChoice(false, kAuto, kAuto, L"", L"fbguard.exe", true), Choice(false, false, false));
}

TEST(StartupChoicePlan, ServicesStartThroughTheGuardianOrTheServerAndDropTheRunValue) {
  const TStartupPlan viaGuardian = PlanStartup(Choice(true, true, true), true, skFirebird, kServer, kGuardian);
  EXPECT_EQ(viaGuardian.startTypes, (std::vector<TStartTypeChange>{{ServerRole::Server, true, false},
                                                                   {ServerRole::Guardian, true, true}}));
  EXPECT_EQ(viaGuardian.runProgram, L"");
  EXPECT_FALSE(viaGuardian.writeGuardianOption);

  const TStartupPlan alone = PlanStartup(Choice(false, true, false), true, skInterBase, kServer, kGuardian);
  EXPECT_EQ(alone.startTypes, (std::vector<TStartTypeChange>{{ServerRole::Guardian, false, false},
                                                             {ServerRole::Server, true, false}}));
  EXPECT_TRUE(alone.writeGuardianOption);
  EXPECT_FALSE(alone.guardianOption);
}

TEST(StartupChoicePlan, ApplicationsDisableBothServicesAndRunTheChosenProgramOnlyWithAutostart) {
  const TStartupPlan guarded = PlanStartup(Choice(true, false, true), true, skInterBase, kServer, kGuardian);
  EXPECT_EQ(guarded.startTypes, (std::vector<TStartTypeChange>{{ServerRole::Server, false, false},
                                                               {ServerRole::Guardian, false, false}}));
  EXPECT_EQ(guarded.runProgram, kGuardian);
  EXPECT_TRUE(guarded.guardianOption);

  EXPECT_EQ(PlanStartup(Choice(true, false, false), true, skFirebird, kServer, kGuardian).runProgram, kServer);
  EXPECT_EQ(PlanStartup(Choice(false, false, true), true, skFirebird, kServer, kGuardian).runProgram, L"");
  // Without services nothing but the Run value is written, whatever the service box says.
  const TStartupPlan old = PlanStartup(Choice(true, true, false), false, skFirebird, kServer, kGuardian);
  EXPECT_TRUE(old.startTypes.empty());
  EXPECT_EQ(old.runProgram, kServer);
}
