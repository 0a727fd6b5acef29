// The root directory change, in-process: an InterBase installation in use, a Firebird one to
// move to, the real registration tools (their command lines read back from the tool log) and
// scripted boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "shell/Controls.h"
#include "app/fMain.h"
#include "tests/win32/app/PageControls.h"
#include "resources/Texts.h"
#include "server/RootChange.h"
#include "server/RootChangeTexts.h"
#include "server/uFileVersion.h"
#include "shell/DbugIntf.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "tests/sim/SimTesting.h"
#include "tests/win32/app/Fakes.h"

namespace vantrel {
namespace {

namespace simt = sim::testing;
namespace text = txt::rootchange;
using sim::Kind;

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kFirebirdKey(sim::kFirebirdNames.rootKey);
const std::wstring kFirebirdValue(sim::kFirebirdNames.rootValue);
const std::wstring kInterBaseKey(sim::kInterBaseNames.rootKey);
const std::wstring kInterBaseValue(sim::kInterBaseNames.rootValue);

std::optional<std::string> ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

void SetMachineString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteMachineValue(const std::wstring& key, const std::wstring& name) {
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
}

// A closed window posts the end of the message loop; a later RunAndWait would take it and end
// the test program.
void DropQuitRequests() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// Puts a client library file back as it was found (or removes it).
class SavedFile {
 public:
  explicit SavedFile(std::wstring path) : path_(std::move(path)), bytes_(ReadBytes(path_)) {}
  ~SavedFile() {
    if (bytes_)
      WriteBytes(path_, *bytes_);
    else
      DeleteFileW(path_.c_str());
  }
  SavedFile(const SavedFile&) = delete;
  SavedFile& operator=(const SavedFile&) = delete;

 private:
  std::wstring path_;
  std::optional<std::string> bytes_;
};

class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"vantrel-system-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        RemoveDirectoryW((path_ + L"\\" + entry.cFileName).c_str());
        DeleteFileW((path_ + L"\\" + entry.cFileName).c_str());
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Holds a file open without sharing, as a loaded library would be held.
class FileLock {
 public:
  explicit FileLock(const std::wstring& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~FileLock() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// A debug viewer double in this process: every WM_COPYDATA record it receives.
struct TraceRecord {
  ULONG_PTR data;
  DWORD size;
  std::string bytes;
};
std::vector<TraceRecord> traces;

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    traces.push_back({record->dwData, record->cbData,
                      std::string(static_cast<const char*>(record->lpData), record->cbData)});
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class DebugViewer {
 public:
  DebugViewer() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ViewerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TfmDebug";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"TfmDebug", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    traces.clear();
  }
  ~DebugViewer() { DestroyWindow(window_); }
  DebugViewer(const DebugViewer&) = delete;
  DebugViewer& operator=(const DebugViewer&) = delete;

 private:
  HWND window_;
};

// What a viewer must receive for one trace: command 1, kind 3, the text, its 0 and the buffer's.
std::string TraceBytes(const std::wstring& line) {
  return std::string("\x01\x03", 2) + ToAnsi(line) + std::string(2, '\0');
}

struct HookedDialogs : fakes::Dialogs {
  std::function<void()> onQuestion;  // runs when the change is about to be confirmed
  int AskConfirmation(const std::wstring& t) override {
    if (onQuestion) onQuestion();
    return fakes::Dialogs::AskConfirmation(t);
  }
};

struct ScriptedProbes : fakes::Probes {
  bool windowsIgnoreClose = false;
  bool PostCloseToProgramWindows(const std::wstring& c, const std::wstring& root) override {
    if (!windowsIgnoreClose) return fakes::Probes::PostCloseToProgramWindows(c, root);
    if (!windows.count(c)) return false;
    closed.push_back(c);
    return true;
  }
};

struct PrivateSystemServices : fakes::Services {
  std::wstring systemDir;
  std::wstring SystemDirectory() override { return systemDir; }
};

class RootChange : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (!created) CreateApplicationWindow(GetModuleHandleW(nullptr));
    created = true;
  }

  RootChange() {
    DeleteMachineValue(kFirebirdKey, kFirebirdValue);  // a Firebird registration would win
    SetMachineString(kInterBaseKey, kInterBaseValue, oldRoot.Root() + L"\\");
    services.systemDir = systemFolder.Path();
    WriteBytes(SystemLibrary(), "library of the system");
    dialogs.chooseFolder = true;
    dialogs.folder = newRoot.Root();
  }

  void TearDown() override {
    form.reset();
    DropQuitRequests();
    simt::EndEverythingOf(Kind::Firebird);
    simt::EndEverythingOf(Kind::InterBase);
  }

  void Open(Platform& platform) {
    form = OpenMainForm(platform);
    ASSERT_EQ(form->RootDir, oldRoot.Root() + L"\\");
    ASSERT_TRUE(ui::IsEnabled(Ctl(*form, idChangeRoot)));
  }
  void Open() { Open(scripted); }

  std::wstring SystemLibrary() const { return services.systemDir + L"\\gds32.dll"; }
  std::optional<std::wstring> Registered(const std::wstring& key, const std::wstring& value) const {
    return simt::ReadMachineString(key, value);
  }
  std::wstring NewBin(const wchar_t* name) const { return newRoot.BinFile(name); }
  std::wstring OldBin(const wchar_t* name) const { return oldRoot.BinFile(name); }

  // The command lines of a whole change, in order, on the NT family or elsewhere.
  std::vector<std::wstring> ChangeCommands(bool nt) const {
    const std::wstring quotedNew = L"\"" + newRoot.Root() + L"\"";
    std::vector<std::wstring> lines;
    if (nt) lines.push_back(OldBin(L"instsvc.exe") + L" remove -g");
    lines.push_back(OldBin(L"instreg.exe") + L" remove");
    lines.push_back(NewBin(L"instreg.exe") + L" install " + quotedNew);
    lines.push_back(NewBin(L"instreg.exe") + L" install");
    if (nt) {
      lines.push_back(NewBin(L"instsvc.exe") + L" install " + quotedNew + L" -g -auto");
      lines.push_back(NewBin(L"instsvc.exe") + L" install -g -auto");
    }
    return lines;
  }

  simt::SavedMachineValue savedFirebirdRoot{kFirebirdKey, kFirebirdValue};
  simt::SavedMachineValue savedInterBaseRoot{kInterBaseKey, kInterBaseValue};
  simt::SavedMachineValue savedRunEntry{kRunKey, L"Firebird"};
  simt::TempInstallation oldRoot{Kind::InterBase};
  // Wine puts a program path with a blank in quotes before the child sees it, so the tool log
  // can show the command lines exactly only for a root without one.
  simt::TempInstallation newRoot{Kind::Firebird, L"-yeni-kök"};
  TempFolder systemFolder;
  simt::ToolLogCapture log;

  PrivateSystemServices services;
  ScriptedProbes probes;
  HookedDialogs dialogs;
  std::unique_ptr<IProgramLauncher> launcher = CreateProgramLauncher();
  Platform scripted{services, probes, dialogs, *launcher};
  // Wine's own service manager and windows, for the tests that let the real tools run.
  std::unique_ptr<ISystemProbes> realProbes = CreateSystemProbes();
  std::unique_ptr<IServiceControl> realServices = CreateServiceControl(*realProbes);
  Platform real{*realServices, *realProbes, dialogs, *launcher};
  std::unique_ptr<TfrmMain> form;
};

TEST_F(RootChange, OnWineMovesRegistrationServicesAndLibraryToTheNewRoot) {
  const std::wstring systemLibrary = realServices->SystemDirectory() + L"\\gds32.dll";
  SavedFile savedSystemLibrary(systemLibrary);
  WriteBytes(systemLibrary, "library of the old installation");

  // The old installation as it runs: services installed, server up as an application.
  ASSERT_EQ(simt::RunToEnd(OldBin(L"instsvc.exe") + L" install -g -auto"), std::optional<DWORD>(0));
  ASSERT_NE(simt::ServiceState(L"InterBaseGuardian"), 0u);
  simt::ChildProcess server = simt::ChildProcess::Start(OldBin(L"ibserver.exe") + L" -a", oldRoot.Root());
  ASSERT_TRUE(simt::WaitUntil([] { return simt::WindowExists(L"IB_Server"); }, simt::kStartTimeout));
  SetMachineString(kRunKey, L"Firebird", OldBin(L"ibguard.exe") + L" -a");

  simt::ToolLogCapture changeLog;  // only what the change runs
  DebugViewer viewer;
  Open(real);
  dialogs.folder = newRoot.Root() + L"\\";
  form->EnhancedPage().btnChangeRootClick();

  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  ASSERT_EQ(dialogs.browsed.size(), 1u);
  EXPECT_EQ(dialogs.browsed[0].title, L"Firebird kök/ana dizinini seçin");
  EXPECT_EQ(dialogs.browsed[0].root, L"");
  EXPECT_EQ(dialogs.browsed[0].initialFolder, oldRoot.Root() + L"\\");
  const std::wstring version = VersionText(NewBin(L"fbserver.exe"));
  ASSERT_NE(version.find(L"Firebird Server"), std::wstring::npos);
  EXPECT_EQ(dialogs.questions, std::vector<std::wstring>{
                                   L"Firebird kök dizinini değiştirmek istediğinizden emin misiniz\r\nto " +
                                   newRoot.Root() + L"\r\n(Version " + version + L") ?"});

  const std::vector<std::wstring> commands = ChangeCommands(true);
  EXPECT_EQ(changeLog.Lines(), commands);
  EXPECT_FALSE(simt::WindowExists(L"IB_Server"));
  EXPECT_EQ(Registered(kFirebirdKey, kFirebirdValue), std::optional<std::wstring>(newRoot.Root() + L"\\"));
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::nullopt);
  EXPECT_EQ(Registered(kRunKey, L"Firebird"), std::nullopt);

  EXPECT_EQ(simt::ServiceState(L"InterBaseServer"), 0u);
  EXPECT_EQ(simt::ServiceState(L"InterBaseGuardian"), 0u);
  auto guardian = simt::QueryServiceSetup(L"FirebirdGuardianDefaultInstance");
  auto serverService = simt::QueryServiceSetup(L"FirebirdServerDefaultInstance");
  ASSERT_TRUE(guardian && serverService);
  EXPECT_EQ(guardian->startType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_NE(serverService->binaryPath.find(NewBin(L"fbserver.exe")), std::wstring::npos);

  EXPECT_EQ(ReadBytes(systemLibrary), ReadBytes(NewBin(L"gds32.dll")));

  EXPECT_EQ(form->RootDir, newRoot.Root() + L"\\");
  EXPECT_EQ(ui::GetText(Ctl(*form, idRootDir)), newRoot.Root() + L"\\");
  EXPECT_EQ(ui::GetText(Ctl(*form, idFBVersion)), version);
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idChangeRoot))) << "a Firebird root is not offered for a change";
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply)));
  EXPECT_TRUE(form->GuardianAvailable);

  ASSERT_EQ(traces.size(), commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const std::wstring line = commands[i] + L", Code=0";
    EXPECT_EQ(traces[i].data, 0u);
    EXPECT_EQ(traces[i].size, ToAnsi(line).size() + 4);
    EXPECT_EQ(traces[i].bytes, TraceBytes(line)) << ToUtf8(line);
  }
}

// Firebird 3 and later keep their tools in the root folder and install gds32.dll with instclient.
TEST_F(RootChange, ToARootLayoutFolderItsOwnToolsRunThereAndInstclientInstallsTheLibrary) {
  const std::wstring systemLibrary = realServices->SystemDirectory() + L"\\gds32.dll";
  SavedFile savedSystemLibrary(systemLibrary);
  WriteBytes(systemLibrary, "library of the old installation");
  simt::TempInstallation fb5(Kind::FirebirdRoot, L"-fb5");

  simt::ToolLogCapture changeLog;
  DebugViewer viewer;
  Open(real);
  dialogs.folder = fb5.Root();
  form->EnhancedPage().btnChangeRootClick();

  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  const std::wstring root = fb5.Root() + L"\\", quoted = L"\"" + fb5.Root() + L"\"";
  const std::vector<std::wstring> commands = {
      OldBin(L"instsvc.exe") + L" remove -g",
      OldBin(L"instreg.exe") + L" remove",
      root + L"instreg.exe install " + quoted,
      root + L"instreg.exe install",
      root + L"instsvc.exe install " + quoted + L" -g -auto",
      root + L"instsvc.exe install -g -auto",
      root + L"instclient.exe install gds32",
  };
  EXPECT_EQ(changeLog.Lines(), commands);
  ASSERT_EQ(traces.size(), commands.size());
  EXPECT_EQ(traces.back().bytes, TraceBytes(commands.back() + L", Code=0"));

  EXPECT_EQ(Registered(kFirebirdKey, kFirebirdValue), std::optional<std::wstring>(root));
  auto serverService = simt::QueryServiceSetup(L"FirebirdServerDefaultInstance");
  ASSERT_TRUE(serverService);
  EXPECT_EQ(serverService->binaryPath, L"\"" + root + L"firebird.exe\" -s DefaultInstance");
  EXPECT_EQ(ReadBytes(systemLibrary), ReadBytes(root + L"fbclient.dll"));

  EXPECT_EQ(form->Installation().layout, ServerLayout::RootFolder);
  EXPECT_EQ(form->ServerExePath, root + L"firebird.exe");
  EXPECT_EQ(ui::GetText(Ctl(*form, idFBVersion)), L"Firebird Server 5.0.1.1469");
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idChangeRoot)));
  EXPECT_TRUE(form->GuardianAvailable);
}

TEST_F(RootChange, OutsideNtOnlyTheRegistryToolRunsAndARootWithABlankIsPassedInQuotes) {
  probes.nt = false;
  simt::TempInstallation spaced(Kind::Firebird, L" yeni kök");
  WriteBytes(spaced.BinFile(L"gds32.dll"), "library of the spaced root");
  SetMachineString(kRunKey, L"Firebird", OldBin(L"ibserver.exe") + L" -a");
  DebugViewer viewer;
  Open();
  dialogs.folder = spaced.Root() + L"\\";
  form->EnhancedPage().btnChangeRootClick();

  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  const std::vector<std::wstring> commands = {
      OldBin(L"instreg.exe") + L" remove",
      spaced.BinFile(L"instreg.exe") + L" install \"" + spaced.Root() + L"\"",
      spaced.BinFile(L"instreg.exe") + L" install",
  };
  ASSERT_EQ(traces.size(), commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i)
    EXPECT_EQ(traces[i].bytes, TraceBytes(commands[i] + L", Code=0")) << ToUtf8(commands[i]);
  EXPECT_EQ(log.Lines().size(), commands.size());
  EXPECT_EQ(simt::ServiceState(L"FirebirdServerDefaultInstance"), 0u);
  EXPECT_EQ(Registered(kFirebirdKey, kFirebirdValue), std::optional<std::wstring>(spaced.Root() + L"\\"));
  EXPECT_EQ(Registered(kRunKey, L"Firebird"), std::nullopt);
  EXPECT_EQ(ReadBytes(SystemLibrary()), std::optional<std::string>("library of the spaced root"));
  EXPECT_EQ(form->RootDir, spaced.Root() + L"\\");
}

TEST_F(RootChange, TheSameRootInAnyLetterCaseIsIgnored) {
  Open();
  std::wstring upper = oldRoot.Root();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  for (const std::wstring& folder : {oldRoot.Root(), oldRoot.Root() + L"\\", upper, upper + L"\\"}) {
    dialogs.folder = folder;
    form->EnhancedPage().btnChangeRootClick();
  }
  EXPECT_EQ(dialogs.browsed.size(), 4u);
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  EXPECT_EQ(dialogs.questions, std::vector<std::wstring>{});
  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
}

TEST_F(RootChange, AFolderWithoutServerOrRegistrationToolsIsNoRoot) {
  Open();
  simt::TempInstallation empty(Kind::Firebird);
  DeleteFileW(empty.BinFile(L"fbserver.exe").c_str());
  dialogs.folder = empty.Root() + L"\\";
  form->EnhancedPage().btnChangeRootClick();
  DeleteFileW(NewBin(L"instsvc.exe").c_str());  // instreg alone will do outside the NT family
  dialogs.folder = newRoot.Root();
  form->EnhancedPage().btnChangeRootClick();
  probes.nt = false;
  DeleteFileW(NewBin(L"instreg.exe").c_str());
  form->EnhancedPage().btnChangeRootClick();

  EXPECT_EQ(dialogs.errors,
            (std::vector<std::wstring>{empty.Root() + L" geçerli Firebird kök dizini değil",
                                       newRoot.Root() + L" geçerli Firebird kök dizini değil",
                                       newRoot.Root() + L" geçerli Firebird kök dizini değil"}));
  EXPECT_EQ(dialogs.questions, std::vector<std::wstring>{});
  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::optional<std::wstring>(oldRoot.Root() + L"\\"));
}

TEST_F(RootChange, AnInterBaseRootIsAcceptedAndNoLeavesEverythingAsItWas) {
  simt::TempInstallation other(Kind::InterBase);
  Open();
  dialogs.folder = other.Root();
  dialogs.answer = AnswerNo;
  form->EnhancedPage().btnChangeRootClick();
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_NE(dialogs.questions[0].find(L"\r\nto " + other.Root() + L"\r\n(Version InterBase Server 6.0.1.6) ?"),
            std::wstring::npos);
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::optional<std::wstring>(oldRoot.Root() + L"\\"));
  EXPECT_EQ(ReadBytes(SystemLibrary()), std::optional<std::string>("library of the system"));
}

TEST_F(RootChange, MissingToolsOrLibraryOfTheCurrentRootStopBeforeTheFolderChoice) {
  DeleteFileW(SystemLibrary().c_str());  // nothing to fill a missing library from
  Open();
  for (const wchar_t* name : {L"instsvc.exe", L"instreg.exe", L"gds32.dll"}) {
    const std::wstring path = OldBin(name);
    const std::optional<std::string> bytes = ReadBytes(path);
    DeleteFileW(path.c_str());
    form->EnhancedPage().btnChangeRootClick();
    WriteBytes(path, *bytes);
  }
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>(3, text::ToolsMissing));
  EXPECT_TRUE(dialogs.browsed.empty());
  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
}

TEST_F(RootChange, AMissingLibraryIsFilledFromTheSystemButAnExistingOneIsKept) {
  dialogs.chooseFolder = false;
  Open();
  form->EnhancedPage().btnChangeRootClick();
  EXPECT_NE(ReadBytes(OldBin(L"gds32.dll")), ReadBytes(SystemLibrary())) << "bin already had one";

  DeleteFileW(OldBin(L"gds32.dll").c_str());
  form->EnhancedPage().btnChangeRootClick();
  EXPECT_EQ(ReadBytes(OldBin(L"gds32.dll")), std::optional<std::string>("library of the system"));
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  EXPECT_EQ(dialogs.browsed.size(), 2u);

  // A library that cannot be copied stops the change before anything else.
  DeleteFileW(OldBin(L"gds32.dll").c_str());
  CreateDirectoryW(OldBin(L"gds32.dll").c_str(), nullptr);
  form->EnhancedPage().btnChangeRootClick();
  RemoveDirectoryW(OldBin(L"gds32.dll").c_str());
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0].rfind(L"Kopyalanamadı gds32.dll\r\n", 0), 0u);
  EXPECT_GT(dialogs.errors[0].size(), std::wstring(L"Kopyalanamadı gds32.dll\r\n").size()) << "the system text";
  EXPECT_EQ(dialogs.browsed.size(), 2u);
}

TEST_F(RootChange, ALockedSystemLibraryIsReportedWithItsPath) {
  Open();
  {
    FileLock lock(SystemLibrary());
    ASSERT_TRUE(lock.Held());
    form->EnhancedPage().btnChangeRootClick();
  }
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{L"File is locked, can't replace:\r\n" + SystemLibrary()});
  EXPECT_TRUE(dialogs.browsed.empty());

  DeleteFileW(SystemLibrary().c_str());
  dialogs.errors.clear();
  form->EnhancedPage().btnChangeRootClick();
  EXPECT_EQ(dialogs.browsed.size(), 1u) << "a system directory without library passes";
}

TEST_F(RootChange, ServerThatStillRunsStopsTheChangeAndTheWindowIsRefreshed) {
  Open();
  probes.windowsIgnoreClose = true;
  probes.windows = {L"IB_Server"};
  ui::Enable(Ctl(*form, idApply), true);
  form->EnhancedPage().btnChangeRootClick();
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{L"IB_Server"}) << "it was asked to close";
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{text::CannotStopServer});
  EXPECT_FALSE(ui::IsEnabled(Ctl(*form, idApply))) << "refreshed and shown afresh";

  // A server service whose dependents the user keeps is not stopped either.
  probes.windows.clear();
  services.states[L"InterBaseServer"] = ServiceRunning;
  services.activeDependents[L"InterBaseServer"] = {{L"Backup", L"Yedekleme"}};
  dialogs.answers = {AnswerYes, AnswerNo};
  dialogs.questions.clear();
  form->EnhancedPage().btnChangeRootClick();
  EXPECT_EQ(dialogs.questions.size(), 2u);
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>(2, text::CannotStopServer));
  EXPECT_EQ(services.calls, std::vector<std::wstring>{});

  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::optional<std::wstring>(oldRoot.Root() + L"\\"));
  EXPECT_EQ(form->RootDir, oldRoot.Root() + L"\\");
}

// The user keeps a server others are attached to: the change ends before anything is touched.
TEST_F(RootChange, KeepingAServerWithAttachmentsLeavesEverythingAsItWas) {
  fakes::Attachments kept;  // the user keeps the server
  Open();
  form->StartPage().SetAttachmentsSource(&kept);
  probes.windows = {L"IB_Server"};
  form->EnhancedPage().btnChangeRootClick();
  EXPECT_EQ(kept.asked, 1);
  EXPECT_EQ(probes.closed, std::vector<std::wstring>{});
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{});
  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::optional<std::wstring>(oldRoot.Root() + L"\\"));
  form->StartPage().SetAttachmentsSource(nullptr);
}

TEST_F(RootChange, AServiceToolThatCannotStartKeepsTheRegistrationAndSkipsTheLibrary) {
  Open();
  DebugViewer viewer;
  // Not a program: the start fails for a reason of its own, which the trace must not overwrite.
  dialogs.onQuestion = [this] { WriteBytes(NewBin(L"instsvc.exe"), "not a program"); };
  form->EnhancedPage().btnChangeRootClick();

  std::vector<std::wstring> ran = ChangeCommands(true);
  ran.resize(4);  // the service installation never started
  EXPECT_EQ(log.Lines(), ran);
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{L"InstallService: " + SystemErrorText(ERROR_BAD_EXE_FORMAT)});
  ASSERT_EQ(traces.size(), 6u);
  EXPECT_EQ(traces[5].bytes, TraceBytes(NewBin(L"instsvc.exe") + L" install -g -auto, Code=-1"));
  EXPECT_EQ(Registered(kFirebirdKey, kFirebirdValue), std::optional<std::wstring>(newRoot.Root() + L"\\"));
  EXPECT_EQ(ReadBytes(SystemLibrary()), std::optional<std::string>("library of the system"));
  EXPECT_EQ(form->RootDir, newRoot.Root() + L"\\");
  EXPECT_FALSE(form->QuitRequested);
}

TEST_F(RootChange, AnUnregistrationThatCannotStartLeavesTheOldRegistration) {
  probes.nt = false;
  detail::ResetDebugViewerStarts();  // the first trace looks for a viewer program on disk
  Open();
  dialogs.onQuestion = [this] { WriteBytes(OldBin(L"instreg.exe"), "not a program"); };
  form->EnhancedPage().btnChangeRootClick();

  EXPECT_EQ(dialogs.errors,
            std::vector<std::wstring>{L"UnRegisterServer: " + SystemErrorText(ERROR_BAD_EXE_FORMAT)});
  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{});
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::optional<std::wstring>(oldRoot.Root() + L"\\"));
  EXPECT_EQ(Registered(kFirebirdKey, kFirebirdValue), std::nullopt);
  EXPECT_EQ(form->RootDir, oldRoot.Root() + L"\\");
  EXPECT_FALSE(form->QuitRequested);
}

TEST_F(RootChange, ARegistryToolThatCannotStartLeavesNoRegistrationAndTheProgramEnds) {
  probes.nt = false;
  Open();
  dialogs.onQuestion = [this] { DeleteFileW(NewBin(L"instreg.exe").c_str()); };
  form->EnhancedPage().btnChangeRootClick();

  EXPECT_EQ(log.Lines(), std::vector<std::wstring>{OldBin(L"instreg.exe") + L" remove"});
  // The refresh finds no registration; with the quit request pending the user sees the first two.
  ASSERT_GE(dialogs.errors.size(), 2u);
  EXPECT_EQ(dialogs.errors[0], L"RegisterServer: " + SystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(dialogs.errors[1], txt::NoRegistryEntry);
  EXPECT_EQ(Registered(kInterBaseKey, kInterBaseValue), std::nullopt);
  EXPECT_TRUE(form->QuitRequested);
}

TEST_F(RootChange, ALibraryThatCannotBeReplacedAtTheEndKeepsTheNewRegistration) {
  probes.nt = false;
  Open();
  std::unique_ptr<FileLock> lock;
  dialogs.onQuestion = [&] { lock = std::make_unique<FileLock>(SystemLibrary()); };
  form->EnhancedPage().btnChangeRootClick();

  ASSERT_TRUE(lock && lock->Held());
  EXPECT_EQ(log.Lines(), ChangeCommands(false));
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{L"Kopyalanamadı gds32.dll\r\n" +
                                                      SystemErrorText(ERROR_SHARING_VIOLATION)});
  EXPECT_EQ(Registered(kFirebirdKey, kFirebirdValue), std::optional<std::wstring>(newRoot.Root() + L"\\"));
  EXPECT_EQ(form->RootDir, newRoot.Root() + L"\\");
}

TEST(CopyLibraryFile, AMissingSourceIsNoErrorAndAFailedCopyCarriesTheSystemText) {
  TempFolder source;
  EXPECT_NO_THROW(CopyLibraryFile(L"gds32.dll", source.Path() + L"\\", source.Path() + L"\\none\\"));
  WriteBytes(source.Path() + L"\\gds32.dll", "x");
  try {
    CopyLibraryFile(L"gds32.dll", source.Path() + L"\\", source.Path() + L"\\none\\");
    ADD_FAILURE() << "copy into a missing folder succeeded";
  } catch (const EActionError& e) {
    EXPECT_EQ(e.Message(), L"Kopyalanamadı gds32.dll\r\n" + SystemErrorText(ERROR_PATH_NOT_FOUND));
  }
}

// The start page follows the server's service by the system's notifications alone: with the
// status timer off, a start and a stop made through the service manager change its labels.
using PushedServices = RootChange;
TEST_F(PushedServices, AStartAndAStopMadeElsewhereReachTheStartPageWithoutTheTimer) {
  ASSERT_EQ(simt::RunToEnd(OldBin(L"instsvc.exe") + L" install -g"), std::optional<DWORD>(0));
  std::unique_ptr<IServiceControl> following = CreateFollowingServiceControl(*realProbes);
  Platform watched{*following, *realProbes, dialogs, *launcher};
  Open(watched);
  form->SetTimerEnabled(false);
  const auto limit = std::chrono::seconds(60);  // for a loaded machine; the changes come at once
  auto serverState = [&] { return ui::GetText(Ctl(*form, idServerState)); };
  ASSERT_TRUE(simt::PumpUntil([&] { return following->Pushed(); }, limit));
  ASSERT_TRUE(simt::PumpUntil([&] { return serverState() == L"Durduruldu"; }, limit)) << ToUtf8(serverState());

  ASSERT_EQ(realServices->StartServiceAndWait(L"InterBaseServer"), ServiceRunning);
  EXPECT_TRUE(simt::PumpUntil([&] { return serverState() == L"Servis olarak çalışıyor"; }, limit))
      << ToUtf8(serverState());
  ASSERT_EQ(realServices->StopServiceAndWait(L"InterBaseServer"), ServiceStopped);
  EXPECT_TRUE(simt::PumpUntil([&] { return serverState() == L"Durduruldu"; }, limit)) << ToUtf8(serverState());
  EXPECT_FALSE(form->TimerEnabled());
  form.reset();
}

// A server run as an application elsewhere reaches the start page by its window's creation and
// its program's end alone, with the status timer off.
using FollowedWindows = RootChange;
TEST_F(FollowedWindows, AServerStartedAndEndedElsewhereReachesTheStartPageWithoutTheTimer) {
  Open(real);
  form->SetTimerEnabled(false);
  const auto limit = std::chrono::seconds(60);  // for a loaded machine; the changes come at once
  auto serverState = [&] { return ui::GetText(Ctl(*form, idServerState)); };
  ASSERT_EQ(serverState(), L"Durduruldu");

  simt::ChildProcess server = simt::ChildProcess::Start(OldBin(L"ibserver.exe") + L" -a", oldRoot.Root());
  EXPECT_TRUE(simt::PumpUntil([&] { return serverState() == L"Uygulama olarak çalışıyor"; }, limit))
      << ToUtf8(serverState());
  simt::EndWindowsOfClass(L"IB_Server");
  EXPECT_TRUE(simt::PumpUntil([&] { return serverState() == L"Durduruldu"; }, limit)) << ToUtf8(serverState());
  EXPECT_FALSE(form->TimerEnabled());
  form.reset();
}

}  // namespace
}  // namespace vantrel
