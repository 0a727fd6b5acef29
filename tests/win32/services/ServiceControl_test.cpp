// Service control against the real service control manager (Wine's when run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "server/Probes.h"
#include "server/uService.h"
#include "shell/OsError.h"
#include "tests/sim/SimTesting.h"
#include "tests/win32/shellsvc/TestApplication.h"

namespace vantrel {
namespace {

using test::Cursor;
using test::CursorShown;

std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.rfind(L'\\'));
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring UniqueServiceName() {
  static int counter = 0;
  return L"VantrelTest" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

class Sc {
 public:
  explicit Sc(SC_HANDLE h) : h_(h) {}
  ~Sc() {
    if (h_) CloseServiceHandle(h_);
  }
  Sc(const Sc&) = delete;
  Sc& operator=(const Sc&) = delete;
  SC_HANDLE Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  SC_HANDLE h_;
};

// A service registered for one test and removed again, stopped or killed first when needed.
class InstalledService {
 public:
  using CommandFor = std::function<std::wstring(const std::wstring& serviceName)>;

  explicit InstalledService(const CommandFor& commandFor, DWORD startType = SERVICE_DEMAND_START)
      : name_(UniqueServiceName()), displayName_(L"Vantrel test service " + name_) {
    std::wstring commandLine = commandFor(name_);
    Sc manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    Sc service(CreateServiceW(manager.Get(), name_.c_str(), displayName_.c_str(), SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                              commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    created_ = static_cast<bool>(service);
  }

  ~InstalledService() {
    Sc manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    Sc service(OpenServiceW(manager.Get(), name_.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof(status), &needed) &&
        status.dwCurrentState != SERVICE_STOPPED) {
      SERVICE_STATUS ignored{};
      bool asked = ControlService(service.Get(), SERVICE_CONTROL_STOP, &ignored);
      if (!(asked && WaitStopped(service.Get())) && status.dwProcessId) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId);
        if (process) {
          TerminateProcess(process, 1);
          WaitForSingleObject(process, 5000);
          CloseHandle(process);
        }
        WaitStopped(service.Get());
      }
    }
    DeleteService(service.Get());
  }

  InstalledService(const InstalledService&) = delete;
  InstalledService& operator=(const InstalledService&) = delete;

  bool Created() const { return created_; }
  const std::wstring& Name() const { return name_; }
  const std::wstring& DisplayName() const { return displayName_; }

  // The start type and display name as the manager stores them.
  DWORD StoredStartType(std::wstring* displayName = nullptr) const {
    Sc manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    Sc service(OpenServiceW(manager.Get(), name_.c_str(), SERVICE_QUERY_CONFIG));
    alignas(8) BYTE buffer[8192];
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    if (!QueryServiceConfigW(service.Get(), config, sizeof(buffer), &needed)) return 0xFFFFFFFF;
    if (displayName) *displayName = config->lpDisplayName ? config->lpDisplayName : L"";
    return config->dwStartType;
  }

 private:
  static bool WaitStopped(SC_HANDLE service) {
    for (int i = 0; i < 50; ++i) {
      SERVICE_STATUS status{};
      if (!QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED) return true;
      Sleep(100);
    }
    return false;
  }

  std::wstring name_;
  std::wstring displayName_;
  bool created_ = false;
};

std::wstring TestServiceCommand(const std::wstring& serviceName, const std::wstring& mode) {
  return L"\"" + BinDir() + L"\\vantrel_test_service.exe\" " + serviceName + L" " + mode;
}

// Service programs whose start and stop are checked the same way: the test double and,
// once it is built, the simulated Firebird server.
enum class Program { TestService, SimulatedServer };

std::string ProgramName(const testing::TestParamInfo<Program>& info) {
  return info.param == Program::TestService ? "TestService" : "SimulatedServer";
}

void PrintTo(Program program, std::ostream* out) {
  *out << (program == Program::TestService ? "vantrel_test_service.exe" : "fbserver.exe");
}

std::unique_ptr<InstalledService> InstallTestService(const std::wstring& mode,
                                                     DWORD startType = SERVICE_DEMAND_START) {
  return std::make_unique<InstalledService>(
      [&](const std::wstring& name) { return TestServiceCommand(name, mode); }, startType);
}

// The system's waits, counted: a start or stop waits through them and nothing else.
struct CountedWaits : ISystemProbes {
  std::unique_ptr<ISystemProbes> system = CreateSystemProbes();
  unsigned waited = 0;
  bool IsWindowsNT() override { return system->IsWindowsNT(); }
  bool WindowClassExists(const std::wstring& c) override { return system->WindowClassExists(c); }
  bool ProgramWindowExists(const std::wstring& c, const std::wstring& r) override {
    return system->ProgramWindowExists(c, r);
  }
  bool PostCloseToProgramWindows(const std::wstring& c, const std::wstring& r) override {
    return system->PostCloseToProgramWindows(c, r);
  }
  bool UserCanBeElevated() override { return system->UserCanBeElevated(); }
  std::uint32_t TickCount() override { return system->TickCount(); }
  void Sleep(unsigned milliseconds) override {
    waited += milliseconds;
    system->Sleep(milliseconds);
  }
};

class ServiceControlTest : public testing::Test {
 protected:
  void SetUp() override { test::ResetCursor(); }

  CountedWaits waits_;
  std::unique_ptr<IServiceControl> control_ = CreateServiceControl(waits_);
};

class ServiceStartStopTest : public ServiceControlTest,
                             public testing::WithParamInterface<Program> {
 protected:
  std::unique_ptr<InstalledService> Install() {
    if (GetParam() == Program::TestService) return InstallTestService(L"normal");
    return std::make_unique<InstalledService>(
        [](const std::wstring&) { return L"\"" + BinDir() + L"\\fbserver.exe\""; });
  }
};

TEST_P(ServiceStartStopTest, StartsAndStopsWithinThePollLimitAndAnswersAtOnceWhenAlreadyThere) {
  if (GetParam() == Program::SimulatedServer && !FileExists(BinDir() + L"\\fbserver.exe"))
    GTEST_SKIP() << "fbserver.exe of the simulated installation is not built in this tree";
  auto service = Install();
  ASSERT_TRUE(service->Created());
  ASSERT_EQ(ServiceStopped, control_->QueryServiceState(service->Name()));

  // The waits go through the system's waits and end at the first poll that reads the state.
  EXPECT_EQ(ServiceRunning, control_->StartServiceAndWait(service->Name()));
  EXPECT_GT(waits_.waited, 0u);
  EXPECT_LT(waits_.waited, 10000u);
  EXPECT_EQ(1, Cursor().hourglassCalls);
  EXPECT_EQ(CursorShown::Default, Cursor().current);
  EXPECT_EQ(ServiceRunning, control_->QueryServiceState(service->Name()));
  EXPECT_TRUE(control_->QueryServiceSetup(service->Name()).Running);

  // Already running: no request, no wait, no hourglass.
  test::ResetCursor();
  waits_.waited = 0;
  EXPECT_EQ(ServiceRunning, control_->StartServiceAndWait(service->Name()));
  EXPECT_EQ(waits_.waited, 0u);
  EXPECT_EQ(0, Cursor().hourglassCalls);

  EXPECT_EQ(ServiceStopped, control_->StopServiceAndWait(service->Name()));
  EXPECT_GT(waits_.waited, 0u);
  EXPECT_LT(waits_.waited, 10000u);
  EXPECT_EQ(1, Cursor().hourglassCalls);
  EXPECT_EQ(CursorShown::Default, Cursor().current);
  EXPECT_FALSE(control_->QueryServiceSetup(service->Name()).Running);

  test::ResetCursor();
  waits_.waited = 0;
  EXPECT_EQ(ServiceStopped, control_->StopServiceAndWait(service->Name()));
  EXPECT_EQ(waits_.waited, 0u);
  EXPECT_EQ(0, Cursor().hourglassCalls);
}

INSTANTIATE_TEST_SUITE_P(Programs, ServiceStartStopTest,
                         testing::Values(Program::TestService, Program::SimulatedServer), ProgramName);

TEST_F(ServiceControlTest, ServiceNotInstalledReadsUnknownAndIsNeverStarted) {
  std::wstring missing = UniqueServiceName();
  EXPECT_EQ(ServiceStateUnknown, control_->QueryServiceState(missing));
  EXPECT_EQ(ServiceStateUnknown, control_->StartServiceAndWait(missing));
  EXPECT_EQ(ServiceStateUnknown, control_->StopServiceAndWait(missing));
  EXPECT_EQ(0, Cursor().hourglassCalls);

  ServiceSetup setup = control_->QueryServiceSetup(missing);
  EXPECT_TRUE(setup.DisplayName.empty());
  EXPECT_FALSE(setup.Enabled || setup.Automatic || setup.Running);
  EXPECT_FALSE(control_->SetServiceStartType(missing, true, true));

  TServiceList list;
  list.AddService(L"kept", L"Kept");
  EXPECT_FALSE(control_->ListDependentServices(missing, true, list));
  EXPECT_EQ(1u, list.Count());
  // These three never show the hourglass but always leave the default cursor.
  EXPECT_EQ(3, Cursor().defaultCalls);
}

// Reads go through a kept manager connection; a kept service handle would leave a removed
// service marked for deletion, and an installer could not register it again.
TEST_F(ServiceControlTest, ReadsHoldNothingThatKeepsARemovedServiceFromBeingRegisteredAgain) {
  auto service = InstallTestService(L"normal");
  ASSERT_TRUE(service->Created());
  const std::wstring name = service->Name();
  EXPECT_EQ(ServiceStopped, control_->QueryServiceState(name));
  EXPECT_TRUE(control_->QueryServiceSetup(name).Enabled);
  service.reset();
  EXPECT_EQ(ServiceStateUnknown, control_->QueryServiceState(name));

  Sc manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  const std::wstring command = TestServiceCommand(name, L"normal");
  Sc again(CreateServiceW(manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                          SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED, SERVICE_ERROR_NORMAL,
                          command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(again) << "registering again failed, error " << GetLastError();
  EXPECT_EQ(ServiceStopped, control_->QueryServiceState(name));
  EXPECT_FALSE(control_->QueryServiceSetup(name).Enabled);
  DeleteService(again.Get());
}

// Within one look each service is read once: the listing's reading answers for it, so a change
// made elsewhere shows after the look; a change made through the control is read afresh.
TEST_F(ServiceControlTest, WithinOneLookEachServiceIsReadOnce) {
  auto service = InstallTestService(L"normal");
  ASSERT_TRUE(service->Created());
  const std::wstring& name = service->Name();
  std::unique_ptr<IServiceControl> elsewhere = CreateServiceControl(waits_);
  {
    const TOneLook look(*control_);
    ASSERT_EQ(control_->ListServices(name).size(), 1u);
    ASSERT_EQ(elsewhere->StartServiceAndWait(name), ServiceRunning);
    EXPECT_EQ(control_->QueryServiceState(name), ServiceStopped);
    const ServiceSetup listed = control_->QueryServiceSetup(name);
    EXPECT_FALSE(listed.Running);
    EXPECT_EQ(listed.DisplayName, service->DisplayName());
    EXPECT_TRUE(listed.Enabled);

    EXPECT_EQ(control_->StopServiceAndWait(name), ServiceStopped);
    ASSERT_EQ(elsewhere->StartServiceAndWait(name), ServiceRunning);
    EXPECT_TRUE(control_->QueryServiceSetup(name).Running) << "read afresh after the stop";
    ASSERT_EQ(elsewhere->StopServiceAndWait(name), ServiceStopped);
    EXPECT_EQ(control_->QueryServiceState(name), ServiceRunning) << "kept from that reading";
  }
  EXPECT_EQ(control_->QueryServiceState(name), ServiceStopped);
}

TEST_F(ServiceControlTest, StartRefusedByTheManagerGivesUnknownAndLeavesTheServiceStopped) {
  auto service = InstallTestService(L"normal", SERVICE_DISABLED);
  ASSERT_TRUE(service->Created());
  ASSERT_EQ(ServiceStopped, control_->QueryServiceState(service->Name()));
  EXPECT_EQ(ServiceStateUnknown, control_->StartServiceAndWait(service->Name()));
  EXPECT_EQ(CursorShown::Default, Cursor().current);
  EXPECT_EQ(ServiceStopped, control_->QueryServiceState(service->Name()));
}

TEST_F(ServiceControlTest, StopRefusedByTheServiceGivesUnknown) {
  auto service = InstallTestService(L"nostop");
  ASSERT_TRUE(service->Created());
  ASSERT_EQ(ServiceRunning, control_->StartServiceAndWait(service->Name()));
  EXPECT_EQ(ServiceStateUnknown, control_->StopServiceAndWait(service->Name()));
  EXPECT_EQ(CursorShown::Default, Cursor().current);
  EXPECT_EQ(ServiceRunning, control_->QueryServiceState(service->Name()));
}

TEST_F(ServiceControlTest, StartStillPendingAfterTenPollsReturnsStartPending) {
  auto service = InstallTestService(L"slowstart 14000");
  ASSERT_TRUE(service->Created());
  EXPECT_EQ(ServiceStartPending, control_->StartServiceAndWait(service->Name()));
  EXPECT_EQ(waits_.waited, 10000u) << "ten polls, a second apart";
  EXPECT_EQ(CursorShown::Default, Cursor().current);
}

TEST_F(ServiceControlTest, StartTypeIsWrittenAndReadBackThroughTheTwoFlags) {
  auto service = InstallTestService(L"normal");
  ASSERT_TRUE(service->Created());
  struct Case {
    bool enabled, automatic;
    DWORD stored;
  } cases[] = {{true, true, SERVICE_AUTO_START},
               {true, false, SERVICE_DEMAND_START},
               {false, true, SERVICE_DISABLED},
               {false, false, SERVICE_DISABLED}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "enabled " << c.enabled << ", automatic " << c.automatic);
    test::ResetCursor();
    ASSERT_TRUE(control_->SetServiceStartType(service->Name(), c.enabled, c.automatic));
    EXPECT_EQ(CursorShown::Default, Cursor().current);
    EXPECT_EQ(1, Cursor().defaultCalls);
    std::wstring storedName;
    EXPECT_EQ(c.stored, service->StoredStartType(&storedName));
    EXPECT_EQ(service->DisplayName(), storedName);

    ServiceSetup setup = control_->QueryServiceSetup(service->Name());
    EXPECT_EQ(service->DisplayName(), setup.DisplayName);
    EXPECT_EQ(c.enabled, setup.Enabled);
    EXPECT_EQ(c.enabled && c.automatic, setup.Automatic);
    EXPECT_FALSE(setup.Running);
  }
}

TEST_F(ServiceControlTest, DependentsOfAServiceWithoutAnyLeaveTheListAsItWas) {
  auto service = InstallTestService(L"normal");
  ASSERT_TRUE(service->Created());
  TServiceList list;
  list.AddService(L"kept", L"Kept");
  EXPECT_TRUE(control_->ListDependentServices(service->Name(), true, list));
  EXPECT_TRUE(control_->ListDependentServices(service->Name(), false, list));
  ASSERT_EQ(1u, list.Count());
  EXPECT_EQ(L"kept", list[0].ServiceName);
  EXPECT_EQ(CursorShown::Default, Cursor().current);
}

TEST_F(ServiceControlTest, SystemDirectoryAndManagerAccess) {
  std::wstring system = control_->SystemDirectory();
  ASSERT_FALSE(system.empty());
  EXPECT_NE(L'\\', system.back());
  DWORD attributes = GetFileAttributesW(system.c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

  // The test user administers services here, which the tests above rely on.
  Sc full(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  EXPECT_EQ(static_cast<bool>(full), control_->CanControlServices());
}

bool PumpUntil(const std::function<bool()>& condition, DWORD limitMs = 60000) {
  return sim::testing::PumpUntil(condition, std::chrono::milliseconds(limitMs));
}

// The manager pushes the state: a start and a stop made by another program reach the following
// control as notifications, each told to the caller; a service followed no more is let go at once.
TEST_F(ServiceControlTest, AFollowedServicesStateIsPushedThroughEveryChange) {
  auto following = CreateFollowingServiceControl(waits_);
  auto service = std::make_unique<InstalledService>(
      [](const std::wstring& name) { return TestServiceCommand(name, L"normal"); });
  ASSERT_TRUE(service->Created());
  const std::wstring name = service->Name();
  int told = 0;
  following->Follow({name}, [&] { ++told; });
  ASSERT_TRUE(PumpUntil([&] { return following->Pushed(); })) << "the manager pushed nothing";
  EXPECT_EQ(following->QueryServiceState(name), ServiceStopped);
  EXPECT_EQ(following->QueryServiceSetup(name).DisplayName, service->DisplayName());
  EXPECT_EQ(following->QueryServiceState(L"VantrelNoSuchService"), ServiceStateUnknown);

  // Nothing changes, nothing is told: a state the service is in already is not asked for again.
  const int quiet = told;
  PumpUntil([] { return false; }, 1000);
  EXPECT_EQ(told, quiet) << "told again without a change";

  const int before = told;
  ASSERT_EQ(control_->StartServiceAndWait(name), ServiceRunning);
  EXPECT_TRUE(PumpUntil([&] { return following->QueryServiceState(name) == ServiceRunning; }));
  EXPECT_TRUE(following->QueryServiceSetup(name).Running);
  EXPECT_GT(told, before);
  ASSERT_EQ(control_->StopServiceAndWait(name), ServiceStopped);
  EXPECT_TRUE(PumpUntil([&] { return following->QueryServiceState(name) == ServiceStopped; }));

  // Followed no more, its handle is closed before Follow returns: a removal finishes at once.
  following->Follow({}, [] {});
  service.reset();
  EXPECT_EQ(control_->QueryServiceSetup(name).DisplayName, L"") << "the removal was held up";
}

// A system that refuses the notification: every answer is asked for, as without following.
TEST_F(ServiceControlTest, WithoutNotificationsAFollowingControlAsks) {
  auto refusing = CreateFollowingServiceControl(waits_, [](void*, unsigned long, void*) -> unsigned long {
    return ERROR_CALL_NOT_IMPLEMENTED;
  });
  auto service = InstallTestService(L"normal");
  ASSERT_TRUE(service->Created());
  refusing->Follow({service->Name()}, [] {});
  PumpUntil([] { return false; }, 500);  // whatever the worker would do, it has done by now or never
  EXPECT_FALSE(refusing->Pushed());
  ASSERT_EQ(control_->StartServiceAndWait(service->Name()), ServiceRunning);
  EXPECT_EQ(refusing->QueryServiceState(service->Name()), ServiceRunning);  // asked, at once
  EXPECT_TRUE(refusing->QueryServiceSetup(service->Name()).Running);
}

}  // namespace
}  // namespace vantrel

