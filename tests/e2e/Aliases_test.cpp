// The alias page of the running program: aliases added, changed and deleted through the editor
// dialog reach aliases.conf when the settings are applied, and a failed save keeps the old file.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "aliases/AliasTexts.h"
#include "aliases/fAlias.h"
#include "shell/ControlIds.h"
#include "tests/e2e/Harness.h"
#include "tests/win32/socketpage/ClientLibraryDouble.h"
#include "tests/win32/socketpage/LineClient.h"

using namespace e2e;
using vantrel::testing_support::FreePort;
using vantrel::testing_support::TLineClient;
namespace clientdouble = vantrel::clientdouble;

namespace {

using vantrel::TfrmAlias;
constexpr DWORD kMessageTimeoutMs = 5000;

std::string Ansi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

LRESULT Send(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wp, lp, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

// A list view of another process: the item records it reads and writes must live there.
class RemoteListView {
 public:
  explicit RemoteListView(HWND list) : list_(list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      memory_ = VirtualAllocEx(process_, nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteListView() {
    if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteListView(const RemoteListView&) = delete;
  RemoteListView& operator=(const RemoteListView&) = delete;

  bool Usable() const { return memory_ != nullptr; }
  int Count() { return static_cast<int>(Send(list_, LVM_GETITEMCOUNT, 0, 0)); }

  std::wstring Text(int item, int column) {
    auto* text = reinterpret_cast<wchar_t*>(static_cast<char*>(memory_) + sizeof(LVITEMW));
    LVITEMW record{};
    record.iSubItem = column;
    record.pszText = text;
    record.cchTextMax = kTextChars;
    WriteProcessMemory(process_, memory_, &record, sizeof record, nullptr);
    const int length = static_cast<int>(Send(list_, LVM_GETITEMTEXTW, item, Remote()));
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ReadProcessMemory(process_, text, result.data(), result.size() * sizeof(wchar_t), nullptr);
    return result;
  }

  // "name=path" per item, as the page shows them.
  std::vector<std::wstring> Items() {
    std::vector<std::wstring> items;
    for (int i = 0; i < Count(); ++i) items.push_back(Text(i, 0) + L"=" + Text(i, 1));
    return items;
  }

  bool Select(const std::wstring& name) {
    for (int i = 0; i < Count(); ++i) {
      if (Text(i, 0) != name) continue;
      LVITEMW record{};
      record.stateMask = record.state = LVIS_SELECTED | LVIS_FOCUSED;
      WriteProcessMemory(process_, memory_, &record, sizeof record, nullptr);
      Send(list_, LVM_SETITEMSTATE, i, Remote());
      return true;
    }
    return false;
  }

 private:
  static constexpr int kTextChars = 1024;
  static constexpr SIZE_T kBytes = sizeof(LVITEMW) + kTextChars * sizeof(wchar_t);
  LPARAM Remote() const { return reinterpret_cast<LPARAM>(memory_); }

  HWND list_;
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
};

class Aliases : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRegistrations();
    ResetUserSettings();
    root = LayInstallation(L"aliases", Kind::Firebird);
    RegisterRoot(Kind::Firebird, root);
    aliasFile = root + L"\\aliases.conf";
    CreateDirectoryW((root + L"\\data").c_str(), nullptr);
    for (const wchar_t* name : {L"stock.fdb", L"müşteri.fdb", L"archive.gdb"})
      WriteBytes(Data(name), "db");
    // No settings lines: the program adds them at start.
    original = Ansi(L"# Müşteri veri tabanları\r\n"
                    L"stock = C:\\old\\stock.fdb # moved\r\n"
                    L"main=C:\\db\\main.fdb\r\n"
                    L"\r\n"
                    L"# son\r\n");
    WriteBytes(aliasFile, original);
  }
  void TearDown() override { ClearRegistrations(); }

  std::wstring Data(const wchar_t* name) { return root + L"\\data\\" + name; }

  std::string SettingsLines() {
    return "# Socket_Port=3049\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=True\r\n# DEFAULT_PATH=" +
           Ansi(BinDir()) + "\\\r\n";
  }

  // Starts the program and brings the alias page to the front through the tray menu's command.
  HWND StartOnAliasPage(Vantrel& app) {
    HWND main = app.WaitMainWindow();
    if (!main || !WaitFor([&] { return IsWindowVisible(main) != FALSE; })) return nullptr;
    PostMessageW(main, WM_COMMAND, vantrel::idMenuAliasManager, 0);
    HWND list = FindControl(main, vantrel::idAliasList);
    if (!WaitFor([&] { return IsWindowVisible(list) != FALSE; })) return nullptr;
    return main;
  }

  // A click as the button reports it to its page, once the button follows its enabled action
  // (actions are brought up to date when the program is idle).
  static bool Click(HWND main, int id) {
    HWND button = FindControl(main, id);
    if (!WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, 5000)) return false;
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
  }

  static HWND WaitEditor(Vantrel& app) {
    HWND found = nullptr;
    WaitFor([&] {
      found = nullptr;
      while ((found = FindWindowExW(nullptr, found, nullptr, vantrel::txt::alias::DialogCaption)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(found, &pid);
        if (pid == app.Pid() && IsWindowVisible(found)) return true;
      }
      return false;
    });
    return found;
  }

  // Opens the editor with the button, types into the given fields, presses OK and waits until
  // the dialog is gone.
  static bool FillEditor(Vantrel& app, HWND main, int buttonId, const std::wstring* name,
                         const std::wstring* path) {
    if (!Click(main, buttonId)) return false;
    HWND editor = WaitEditor(app);
    if (!editor) return false;
    if (name)
      Send(GetDlgItem(editor, TfrmAlias::idAliasName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name->c_str()));
    if (path)
      Send(GetDlgItem(editor, TfrmAlias::idDatabase), WM_SETTEXT, 0,
           reinterpret_cast<LPARAM>(path->c_str()));
    PressButton(editor, IDOK);
    return WaitFor([&] { return !IsWindowVisible(editor); }, 5000);
  }

  // Waits for the change to be pending first: the editor is gone a moment before its change counts.
  static bool Apply(HWND main) {
    HWND apply = FindControl(main, vantrel::idApply);
    if (!WaitFor([&] { return IsWindowEnabled(apply) != FALSE; }, 5000)) return false;
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(vantrel::idApply, BN_CLICKED),
                 reinterpret_cast<LPARAM>(apply));
    return WaitFor([&] { return !IsWindowEnabled(apply); });
  }

  std::wstring root, aliasFile;
  std::string original;
};

TEST_F(Aliases, AddEditAndDeleteOnThePageReachTheFileWhenApplied) {
  Vantrel app;
  HWND main = StartOnAliasPage(app);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(ReadBytes(aliasFile), SettingsLines() + original);

  RemoteListView list(FindControl(main, vantrel::idAliasList));
  ASSERT_TRUE(list.Usable());
  EXPECT_EQ(list.Items(),
            (std::vector<std::wstring>{L"stock=C:\\old\\stock.fdb", L"main=C:\\db\\main.fdb"}));

  const std::wstring newName = L"müşteri", newPath = Data(L"müşteri.fdb");
  ASSERT_TRUE(FillEditor(app, main, vantrel::idAddAlias, &newName, &newPath));

  // The line has a blank before "=", so the changed alias moves to the end, written without it.
  ASSERT_TRUE(list.Select(L"stock"));
  const std::wstring stockPath = Data(L"stock.fdb");
  ASSERT_TRUE(FillEditor(app, main, vantrel::idEditAlias, nullptr, &stockPath));

  ASSERT_TRUE(list.Select(L"main"));
  ASSERT_TRUE(Click(main, vantrel::idDeleteAlias));
  HWND box = app.WaitMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Bu takma adı silmek istediğinizden emin misiniz: main ?");
  PressButton(box, IDYES);

  ASSERT_TRUE(WaitFor([&] { return list.Count() == 2; }));
  EXPECT_EQ(list.Items(), (std::vector<std::wstring>{newName + L"=" + newPath,
                                                     L"stock=" + stockPath}));
  // Nothing reaches the file before Apply.
  EXPECT_EQ(ReadBytes(aliasFile), SettingsLines() + original);

  ASSERT_TRUE(Apply(main));
  EXPECT_EQ(ReadBytes(aliasFile), SettingsLines() + Ansi(L"# Müşteri veri tabanları\r\n"
                                                         L"\r\n"
                                                         L"# son\r\n" +
                                                         newName + L"=" + newPath + L"\r\n"
                                                         L"stock=" + stockPath + L"\r\n"));
}

// Under Wine a file that another process holds open cannot be replaced, whatever the user's
// rights (on Windows the missing delete sharing does the same), so holding aliases.conf open
// makes the save fail the way a folder that refuses writing would.
TEST_F(Aliases, FailedSaveKeepsTheOldFileReportsAndCanBeRetried) {
  Vantrel app;
  HWND main = StartOnAliasPage(app);
  ASSERT_NE(main, nullptr);
  const std::string before = ReadBytes(aliasFile);
  const std::wstring name = L"archive", path = Data(L"archive.gdb");
  ASSERT_TRUE(FillEditor(app, main, vantrel::idAddAlias, &name, &path));

  HANDLE held = CreateFileW(aliasFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(vantrel::idApply, BN_CLICKED),
               reinterpret_cast<LPARAM>(FindControl(main, vantrel::idApply)));
  // A held file is waited for (ten seconds of tries) before the box says it could not be written.
  HWND box = app.WaitMessageBox(60000);
  CloseHandle(held);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find(aliasFile), std::wstring::npos) << MessageBoxText(box);
  PressButton(box, IDOK);

  EXPECT_EQ(ReadBytes(aliasFile), before);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((root + L"\\*.tmp").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << found.cFileName;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  // Still pending: Apply is given back once the wait is over.
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(FindControl(main, vantrel::idApply)) != FALSE; }));

  ASSERT_TRUE(Apply(main));
  EXPECT_EQ(ReadBytes(aliasFile), before + Ansi(name + L"=" + path + L"\r\n"));
}

// databases.conf of Firebird 3 and later: its blocks stay byte for byte through add, edit, delete
// and Apply, block lines are not listed, and a name already there is refused.
class DatabasesConfPage : public Aliases {
 protected:
  void SetUp() override {
    ClearRegistrations();
    ResetUserSettings();
    root = LayInstallation(L"databases-conf", Kind::FirebirdRoot);
    RegisterRoot(Kind::FirebirdRoot, root);
    aliasFile = root + L"\\databases.conf";
    CreateDirectoryW((root + L"\\data").c_str(), nullptr);
    for (const wchar_t* name : {L"stock.fdb", L"sales.fdb"}) WriteBytes(Data(name), "db");
    WriteBytes(aliasFile, Ansi(Joined(kHead) + Joined(kMain) + Joined(kTail)));
  }
  static std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    return text;
  }
  const std::vector<std::wstring> kHead = {
      L"# Your databases.conf",
      L"employee = $(dir_sampleDb)/employee.fdb",
      L"security.db = $(dir_secDb)/security5.fdb",
      L"{",
      L"\tRemoteAccess = false",
      L"\tDefaultDbCachePages = 256",
      L"}",
  };
  const std::vector<std::wstring> kMain = {L"main = C:\\db\\main.fdb {", L"  LockTimeout = 5", L"}  # main's own"};
  const std::vector<std::wstring> kTail = {L"stock = C:\\old\\stock.fdb"};
};

}  // namespace

TEST_F(DatabasesConfPage, BlocksSurviveAddEditDeleteAndApplyAndADuplicateNameIsRefused) {
  Vantrel app;
  HWND main = StartOnAliasPage(app);
  ASSERT_NE(main, nullptr);
  RemoteListView list(FindControl(main, vantrel::idAliasList));
  ASSERT_TRUE(list.Usable());
  EXPECT_EQ(list.Items(), (std::vector<std::wstring>{L"employee=$(dir_sampleDb)/employee.fdb",
                                                     L"security.db=$(dir_secDb)/security5.fdb",
                                                     L"main=C:\\db\\main.fdb", L"stock=C:\\old\\stock.fdb"}));

  // A name that is there already, in another letter case: OK keeps the dialog open.
  ASSERT_TRUE(Click(main, vantrel::idAddAlias));
  HWND editor = WaitEditor(app);
  ASSERT_NE(editor, nullptr);
  const std::wstring taken = L"STOCK", salesPath = Data(L"sales.fdb");
  Send(GetDlgItem(editor, TfrmAlias::idAliasName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(taken.c_str()));
  Send(GetDlgItem(editor, TfrmAlias::idDatabase), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(salesPath.c_str()));
  PressButton(editor, IDOK);
  Sleep(500);
  EXPECT_TRUE(IsWindowVisible(editor));
  const std::wstring sales = L"sales";
  Send(GetDlgItem(editor, TfrmAlias::idAliasName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sales.c_str()));
  PressButton(editor, IDOK);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(editor); }, 5000));

  ASSERT_TRUE(list.Select(L"stock"));
  const std::wstring stockPath = Data(L"stock.fdb");
  ASSERT_TRUE(FillEditor(app, main, vantrel::idEditAlias, nullptr, &stockPath));

  ASSERT_TRUE(list.Select(L"main"));
  ASSERT_TRUE(Click(main, vantrel::idDeleteAlias));
  HWND box = app.WaitMessageBox();
  ASSERT_NE(box, nullptr);
  PressButton(box, IDYES);
  ASSERT_TRUE(WaitFor([&] { return list.Count() == 4; }));

  ASSERT_TRUE(Apply(main));
  // The settings lines on top, the security block as it was, main gone with its block, stock
  // changed in place, the new alias at the end.
  const std::string onDisk = ReadBytes(aliasFile);
  EXPECT_EQ(onDisk, SettingsLines() + Ansi(Joined(kHead) + L"stock=" + stockPath + L"\r\n" + L"sales=" +
                                           salesPath + L"\r\n"));
}

namespace {

// Firebird 5's databases.conf as the server's own file: edited by hand and held open by other
// programs while vantrel.exe runs, its command server creating databases through the
// installation's library double.
class OutsideEdits : public Aliases {
 protected:
  void SetUp() override {
    port = FreePort();
    ClearRegistrations();
    ResetUserSettings();
    root = LayInstallation(L"outside-edits", Kind::FirebirdRoot);
    RegisterRoot(Kind::FirebirdRoot, root);
    CopyFileW((BinDir() + L"\\" + clientdouble::kFolderFromBin + L"\\" + clientdouble::kFileName).c_str(),
              (root + L"\\" + clientdouble::kFileName).c_str(), FALSE);
    aliasFile = root + L"\\databases.conf";
    CreateDirectoryW((root + L"\\data").c_str(), nullptr);
    data = Ansi(root) + "\\data\\";
    WriteBytes(Data(L"stock.fdb"), "db");
    WriteBytes(aliasFile, "# Socket_Port=" + std::to_string(port) +
                              "\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=False\r\n# DEFAULT_PATH=" + data +
                              "\r\nsecurity.db = $(dir_secDb)/security5.fdb\r\n{\r\n\tRemoteAccess = false\r\n}\r\n"
                              "stock = C:\\old\\stock.fdb\r\n");
  }

  void Append(const std::string& line) {
    std::ofstream(std::filesystem::path(aliasFile), std::ios::binary | std::ios::app) << line << "\r\n";
  }
  bool OnDisk(const std::string& line) {
    const std::string bytes = ReadBytes(aliasFile);
    return bytes.find("\r\n" + line + "\r\n") != std::string::npos;
  }
  // The create request's reply, read on a thread of its own so that the test can watch the window.
  std::future<std::string> CreateLater(const std::string& name) {
    return std::async(std::launch::async, [name, port = port] {
      TLineClient client;
      if (!WaitFor([&] { return client.Connect(port); })) return std::string("(no connection)");
      client.ReadLine();
      client.Send("#CREATE_DB#>#" + name + ".fdb>#>#" + name + ">#4096\r\n");
      return client.ReadLine(40000).value_or("(no reply)");
    });
  }
  std::string Okey(const std::string& name) { return "#Create_db Okey >" + data + name + ".fdb db Created..."; }

  // Holds the file open as a scanner or an editor does, without delete sharing.
  static HANDLE Hold(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  }
  // A line of the socket page's log holds the text.
  static bool LogSays(HWND main, const std::wstring& part) {
    HWND log = FindControl(main, vantrel::idProcesses);
    const LRESULT count = log ? SendMessageW(log, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = SendMessageW(log, LB_GETTEXTLEN, i, 0);
      if (length <= 0) continue;
      std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
      line.resize(static_cast<std::size_t>(SendMessageW(log, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
      if (line.find(part) != std::wstring::npos) return true;
    }
    return false;
  }
  // Pings the window until the reply has come; true when every ping was answered and at least
  // one answer came while the reply was still outstanding. Each ping may take as long as a loaded
  // machine needs: a window blocked by the hold answers only after the reply.
  static bool AnswersWhileTheReplyWaits(HWND main, std::future<std::string>& reply,
                                        const std::function<void()>& meanwhile = {}) {
    int answeredBeforeTheReply = 0;
    while (reply.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout) {
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 60000, &result)) return false;
      if (reply.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) ++answeredBeforeTheReply;
      if (meanwhile) meanwhile();
    }
    return answeredBeforeTheReply > 0;
  }

  std::string data;
  int port = 0;
};

}  // namespace

// A line added by hand shows on the page, and stays through a remote create and through an Apply
// of an alias edited on the page while another hand edit lands.
TEST_F(OutsideEdits, AHandEditShowsOnThePageAndSurvivesACreateAndAnApply) {
  Vantrel app;
  HWND main = StartOnAliasPage(app);
  ASSERT_NE(main, nullptr);
  RemoteListView list(FindControl(main, vantrel::idAliasList));
  ASSERT_TRUE(list.Usable());

  Append("manual = C:\\db\\manual.fdb");
  EXPECT_TRUE(WaitFor([&] {
    const auto items = list.Items();
    return std::find(items.begin(), items.end(), L"manual=C:\\db\\manual.fdb") != items.end();
  })) << "the hand edit never showed on the page";

  EXPECT_EQ(CreateLater("made").get(), Okey("made"));
  EXPECT_TRUE(OnDisk("manual = C:\\db\\manual.fdb"));
  EXPECT_TRUE(OnDisk("made=" + data + "made.fdb"));

  ASSERT_TRUE(list.Select(L"stock"));
  const std::wstring stockPath = Data(L"stock.fdb");
  ASSERT_TRUE(FillEditor(app, main, vantrel::idEditAlias, nullptr, &stockPath));
  Append("late = C:\\db\\late.fdb");  // while the page's change waits for Apply
  ASSERT_TRUE(Apply(main));
  for (const std::string& line : {std::string("manual = C:\\db\\manual.fdb"), "made=" + data + "made.fdb",
                                  std::string("late = C:\\db\\late.fdb"), "stock=" + Ansi(stockPath),
                                  std::string("\tRemoteAccess = false")})
    EXPECT_TRUE(OnDisk(line)) << line << "\n" << ReadBytes(aliasFile);
}

// A file held until the database is made and its alias waits to be written: the reply waits for
// the hold to end and is "Okey"; the window answers its messages all along.
TEST_F(OutsideEdits, AShortHoldDelaysTheReplyButNeverTheWindow) {
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  HANDLE held = Hold(aliasFile);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  auto reply = CreateLater("waited");
  // The hold ends only once the command server's log says the alias waits for the file.
  auto release = [&] {
    if (held != INVALID_HANDLE_VALUE && LogSays(main, L"bekleniyor: waited (")) {
      CloseHandle(held);
      held = INVALID_HANDLE_VALUE;
    }
  };
  EXPECT_TRUE(AnswersWhileTheReplyWaits(main, reply, release));
  EXPECT_EQ(held, INVALID_HANDLE_VALUE) << "answered during the hold";
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  EXPECT_EQ(reply.get(), Okey("waited"));
  EXPECT_TRUE(OnDisk("waited=" + data + "waited.fdb"));
}

// Held until the client hears that its database exists and its alias waits; the
// alias is written once the hold ends, and nothing in the file is lost.
TEST_F(OutsideEdits, ALongHoldIsToldTheTruthAndTheAliasIsWrittenAfterwards) {
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  const std::string before = ReadBytes(aliasFile);
  HANDLE held = Hold(aliasFile);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  auto reply = CreateLater("pending");
  EXPECT_TRUE(AnswersWhileTheReplyWaits(main, reply));  // held until the client has heard
  CloseHandle(held);
  const std::string answer = reply.get();
  EXPECT_EQ(answer.rfind("#Create_db error >" + data + "pending.fdb< db Created, alias not written yet", 0), 0u)
      << answer;
  EXPECT_TRUE(WaitFor([&] { return OnDisk("pending=" + data + "pending.fdb"); }, 40000)) << ReadBytes(aliasFile);
  EXPECT_EQ(ReadBytes(aliasFile).rfind(before, 0), 0u) << "the file's own lines changed";
}
