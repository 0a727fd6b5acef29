#include <windows.h>

#include "tests/win32/sim/SimTestKinds.h"

namespace vantrel::sim::testing {
namespace {

class SimService : public PerKind {
 protected:
  void SetUp() override {
    PerKind::SetUp();
    ASSERT_EQ(RunToEnd(Tool(L"instsvc.exe") + L" install -g"), std::optional<DWORD>(0));
  }
  bool WaitForState(const std::wstring& service, DWORD state) {
    return WaitUntil([&] { return ServiceState(service) == state; }, kStartTimeout);
  }
  std::wstring ServerService() const { return std::wstring(Names().serverService); }
  std::wstring GuardianService() const { return std::wstring(Names().guardianService); }
  ToolLogCapture log_;
};

TEST_P(SimService, ServerServiceOwnsItsWindowWhileRunning) {
  ASSERT_TRUE(StartServiceByName(ServerService()));
  ASSERT_TRUE(WaitForState(ServerService(), SERVICE_RUNNING));
  EXPECT_TRUE(WindowExists(Names().serverWindowClass));
  EXPECT_FALSE(WindowExists(Names().guardianWindowClass));

  ASSERT_TRUE(SendStop(ServerService()));
  EXPECT_TRUE(WaitForState(ServerService(), SERVICE_STOPPED));
  EXPECT_TRUE(WaitUntil([&] { return !WindowExists(Names().serverWindowClass); }, kStartTimeout));
}

TEST_P(SimService, GuardianServiceStartsAndStopsTheServerService) {
  ASSERT_TRUE(StartServiceByName(GuardianService()));
  ASSERT_TRUE(WaitForState(GuardianService(), SERVICE_RUNNING));
  EXPECT_EQ(ServiceState(ServerService()), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(WindowExists(Names().guardianWindowClass));
  EXPECT_TRUE(WindowExists(Names().serverWindowClass));

  ASSERT_TRUE(SendStop(GuardianService()));
  EXPECT_TRUE(WaitForState(GuardianService(), SERVICE_STOPPED));
  EXPECT_EQ(ServiceState(ServerService()), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(WaitUntil([&] { return !WindowExists(Names().serverWindowClass); }, kStartTimeout));
  EXPECT_FALSE(WindowExists(Names().guardianWindowClass));
}

TEST_P(SimService, GuardianServiceFailsWhenTheServerServiceIsMissing) {
  ASSERT_TRUE(DeleteServiceByName(ServerService()));
  ASSERT_TRUE(StartServiceByName(GuardianService()));
  EXPECT_TRUE(WaitForState(GuardianService(), SERVICE_STOPPED));
  EXPECT_EQ(ServiceExitCode(GuardianService()), std::optional<DWORD>(ERROR_SERVICE_DEPENDENCY_FAIL));
  EXPECT_FALSE(WindowExists(Names().guardianWindowClass));
}

TEST_P(SimService, ClosingTheServiceWindowStopsTheService) {
  ASSERT_TRUE(StartServiceByName(ServerService()));
  ASSERT_TRUE(WaitForState(ServerService(), SERVICE_RUNNING));
  PostMessageW(FindClassWindow(Names().serverWindowClass), WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitForState(ServerService(), SERVICE_STOPPED));
}

TEST_P(SimService, ServerServiceDoesNotStartBesideARunningApplication) {
  ChildProcess application = ChildProcess::Start(Server() + L" -a", install_.Root());
  ASSERT_TRUE(WaitUntil([&] { return WindowExists(Names().serverWindowClass); }, kStartTimeout));
  StartServiceByName(ServerService());
  EXPECT_TRUE(WaitForState(ServerService(), SERVICE_STOPPED));
  EXPECT_EQ(CountClassWindows(Names().serverWindowClass), 1);
}

SIM_FOR_BOTH_KINDS(SimService);

}  // namespace
}  // namespace vantrel::sim::testing
