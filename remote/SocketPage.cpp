// The command-server pages of the main window: the address list, starting and stopping the
// listener, and the default database folder. Connection threads reach the alias list and the
// window only through work carried to the window thread by a hidden message-only window.
#include "remote/SocketPage.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <memory>

#include "app/Controls.h"
#include "app/fMain.h"
#include "remote/AdminLogin.h"
#include "remote/CommandServer.h"
#include "remote/Credentials.h"
#include "remote/IB_Ext.h"
#include "remote/ProtocolTexts.h"
#include "remote/SocketPageTexts.h"
#include "shell/Application.h"
#include "shell/Files.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

constexpr wchar_t kWorkWindowClass[] = L"TVantrelCommandWork";
constexpr UINT WMAPP_RUNQUEUEDWORK = WM_APP + 1;
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryIntervalMs = 250;
constexpr int kAddressTextLength = 64;

// The shared state of a connection's request, always touched on the window thread.
class TWindowCommandHost final : public TQueuedCommandHost {
 public:
  TWindowCommandHost(TfrmMain& form, TClientLibrary& library, TOwnerThreadQueue::Notifier notifier)
      : TQueuedCommandHost(std::move(notifier)), form_(form), library_(library) {}

  // The installation found last decides the library and the server's path form; the login is
  // the environment's, the user's stored one or the fixed one, in that order.
  void ChooseLocalServer(TLocalServer& server) override {
    const TInstallation& installation = form_.Installation;
    std::vector<std::string> candidates;
    for (const std::wstring& path : installation.clientLibraries) candidates.push_back(ToUtf8(path));
    for (const std::string& name : ClientLibraryNames()) candidates.push_back(name);
    library_.SetCandidates(std::move(candidates));
    if (!installation.localServerPrefix.empty()) server.prefix = ToAnsi(installation.localServerPrefix);
    const TCredentials stored{ToAnsi(form_.AdminLogin.user), ToAnsi(form_.AdminLogin.password)};
    const TCredentials chosen = ChooseCredentials(std::getenv("ISC_USER"), std::getenv("ISC_PASSWORD"), stored);
    server.user = chosen.user;
    server.password = chosen.password;
  }

  std::vector<std::string> AliasLines() override { return form_.Aliases.SendableLines(); }
  std::string DefaultPath() override { return form_.Aliases.DefaultPath(); }
  bool HasAliasName(const std::string& name) override { return form_.Aliases.ContainsAlias(name); }
  void AppendAliasLine(const std::string& line) override { form_.Aliases.AddLine(line); }
  void SaveAliasFile() override { form_.SaveAliasFile(); }
  void RefreshCurrentPage() override { form_.pagMainChange(); }
  // Read for every request, so a changed system setting counts at once.
  char DateSeparator() override { return LocaleSeparator(LOCALE_SDATE, '.'); }
  char TimeSeparator() override { return LocaleSeparator(LOCALE_STIME, ':'); }

 private:
  static char LocaleSeparator(LCTYPE item, char fallback) {
    char buffer[8] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer) > 1 ? buffer[0]
                                                                                 : fallback;
  }

  TfrmMain& form_;
  TClientLibrary& library_;
};

LRESULT CALLBACK WorkWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// A message-only window on the window thread; destroyed with its owner.
class TWorkWindow {
 public:
  TWorkWindow() {
    static const bool registered = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = WorkWindowProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = kWorkWindowClass;
      return RegisterClassExW(&wc) != 0;
    }();
    if (registered)
      hwnd_ = CreateWindowExW(0, kWorkWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~TWorkWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  TWorkWindow(const TWorkWindow&) = delete;
  TWorkWindow& operator=(const TWorkWindow&) = delete;
  HWND Get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace

// Everything the pages keep for one main window. Created on its window thread.
struct TSocketPageState {
  explicit TSocketPageState(TfrmMain& form)
      : form(form),
        host(form, library,
             [hwnd = work.Get()] { return hwnd && PostMessageW(hwnd, WMAPP_RUNQUEUEDWORK, 0, 0) != FALSE; }),
        server(host, ProtocolOptions()) {
    SetWindowLongPtrW(work.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TSocketPageState() {
    server.Stop();
    SetWindowLongPtrW(work.Get(), GWLP_USERDATA, 0);
  }

  // A modal dialog or message box of the window may be working on the alias list (holding a
  // line's index, say); the work waits until it is closed.
  bool WindowBusy() const {
    HWND application = ApplicationHandle();
    return !IsWindowEnabled(form.Handle()) || (application && !IsWindowEnabled(application));
  }

  void RunQueuedWorkWhenIdle() {
    if (WindowBusy()) {
      SetTimer(work.Get(), kRetryTimer, kRetryIntervalMs, nullptr);
      return;
    }
    KillTimer(work.Get(), kRetryTimer);
    host.RunQueuedWork();
  }

  // New databases are created through the installation's own library (ChooseLocalServer).
  TProtocolOptions ProtocolOptions() {
    TProtocolOptions options;
    options.createDatabase = [this](const std::string& path, const std::string& user,
                                    const std::string& password, std::uint16_t dialect,
                                    const std::string& clause) {
      CreateDatabaseWith(library.Api(), path, user, password, dialect, clause);
    };
    return options;
  }

  TfrmMain& form;
  TClientLibrary library;
  TWorkWindow work;  // before the host: its notifier posts to this window
  TWindowCommandHost host;
  TCommandServer server;
  int buttonMode = kSocketButtonStart;
};

void TSocketPageStateDeleter::operator()(TSocketPageState* state) const { delete state; }

namespace {

LRESULT CALLBACK WorkWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<TSocketPageState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (state && (msg == WMAPP_RUNQUEUEDWORK || (msg == WM_TIMER && wp == kRetryTimer))) {
    state->RunQueuedWorkWhenIdle();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Null once the main window is gone: nothing is created for a window that no longer exists.
TSocketPageState* StateOf(TfrmMain& form) {
  if (!form.SocketPage && form.Handle() && IsWindow(form.Handle()))
    form.SocketPage.reset(new TSocketPageState(form));
  return form.SocketPage.get();
}

std::vector<TAddressEntry> ReadAddressList(HWND list) {
  std::vector<TAddressEntry> entries;
  const int count = ListView_GetItemCount(list);
  for (int i = 0; i < count; ++i) {
    wchar_t text[kAddressTextLength] = {};
    ListView_GetItemText(list, i, 0, text, kAddressTextLength);
    entries.push_back({ToAnsi(text), ListView_GetCheckState(list, i) != 0});
  }
  return entries;
}

void AppendLog(HWND list, const std::wstring& line) {
  const LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (index >= 0) SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

void SetStatus(HWND statusBar, const wchar_t* text) {
  SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));
}

void SetButton(HWND button, const wchar_t* caption) {
  ui::SetText(button, caption);
  RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

std::wstring JoinedLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return text;
}

}  // namespace

int SocketButtonMode(const TfrmMain& form) {
  return form.SocketPage ? form.SocketPage->buttonMode : kSocketButtonStart;
}

std::size_t SocketServerConnections(const TfrmMain& form) {
  return form.SocketPage ? form.SocketPage->server.OpenConnections() : 0;
}

void TfrmMain::FillIPList() {
  ListView_DeleteAllItems(lbIPs);
  const std::vector<TAddressEntry> entries = AddressListEntries(HostAddressTexts());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::wstring text = FromAnsi(entries[i].address);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    const int at = ListView_InsertItem(lbIPs, &item);
    ListView_SetCheckState(lbIPs, at, entries[i].ticked);
  }
}

bool TfrmMain::StartSocketServer() {
  const std::vector<std::string> addresses = TickedAddresses(ReadAddressList(lbIPs));
  if (addresses.empty()) {
    SocketErrors.push_back(FromUtf8(texts::kNoAddress));
    return false;
  }
  SocketErrors.clear();
  if (!StopSocketServer()) {
    SocketErrors.push_back(socktxt::StopFailedError);
    return false;
  }
  TSocketPageState* state = StateOf(*this);
  if (!state) {  // the window is gone
    SocketServerRunning = false;
    return false;
  }
  try {
    std::vector<net::TBinding> bindings;
    std::vector<std::wstring> noted;
    const int port = Aliases.SocketPort();
    for (const std::string& address : addresses) {
      bindings.push_back({address, port});
      noted.push_back(FromUtf8(BoundLogLine(bindings.back())));
    }
    state->server.Start(bindings);
    SocketServerRunning = state->server.Active();
    for (const std::wstring& line : noted) AppendLog(lbProcesses, line);
    AppendLog(lbProcesses, FromUtf8(texts::kLogStarted));
    SetStatus(StatusBar, SocketServerRunning ? socktxt::StatusRunningAfterStart
                                             : socktxt::StatusStoppedAfterStart);
  } catch (const std::exception& e) {
    // The socket layer's texts come in the system's code page.
    AppendLog(lbProcesses, FromUtf8(texts::kLogStartFailed));
    SocketErrors.push_back(FromAnsi(e.what()));
    SocketServerRunning = false;
  }
  // A failed start leaves the button in its start mode, so that the next click tries again.
  if (SocketServerRunning) {
    SetButton(btnSocketServer, socktxt::StopCaption);
    state->buttonMode = kSocketButtonStop;
  }
  return SocketServerRunning;
}

bool TfrmMain::StopSocketServer() {
  TSocketPageState* state = SocketPage.get();
  SetButton(btnSocketServer, socktxt::StartCaption);
  if (state) {
    state->buttonMode = kSocketButtonStart;
    // Work that connections still wait for is cancelled first, so the stop never waits on a
    // connection that waits for this thread.
    state->server.Stop();
  }
  if (!state || !state->server.Active()) {
    SetStatus(StatusBar, socktxt::StatusStopped);
    AppendLog(lbProcesses, FromUtf8(texts::kLogStopped));
    return true;
  }
  SetStatus(StatusBar, socktxt::StatusRunning);
  AppendLog(lbProcesses, FromUtf8(texts::kLogNotStopped));
  return false;
}

void TfrmMain::btnSocketServerClick() {
  if (SocketButtonMode(*this) == kSocketButtonStart) {
    if (TickedAddresses(ReadAddressList(lbIPs)).empty()) {
      Sys().dialogs.ShowInformation(FromUtf8(texts::kNoAddress));
      return;
    }
    SocketErrors.clear();
    if (StartSocketServer())
      Sys().dialogs.ShowInformation(socktxt::Started);
    else
      Sys().dialogs.ShowInformation(socktxt::StartFailed + JoinedLines(SocketErrors));
    return;
  }
  SocketErrors.clear();
  if (!SocketServerRunning) {
    Sys().dialogs.ShowInformation(socktxt::NotRunning);
    return;
  }
  if (StopSocketServer())
    Sys().dialogs.ShowInformation(socktxt::Stopped);
  else
    Sys().dialogs.ShowInformation(socktxt::StopFailed + JoinedLines(SocketErrors));
}

void TfrmMain::LoadAdminLogin() {
  AdminLogin = ReadAdminLogin();
  ShowAdminLogin();
}

// The applied login back in the two fields, without counting as a change.
void TfrmMain::ShowAdminLogin() {
  fillingAdminLogin_ = true;
  ui::SetText(edtAdminUser, AdminLogin.user);
  ui::SetText(edtAdminPassword, AdminLogin.password);
  fillingAdminLogin_ = false;
}

void TfrmMain::AdminLoginChanged() {
  if (!fillingAdminLogin_) AnyChangeToSettings();
}

void TfrmMain::ApplyAdminLogin() {
  const TAdminLogin typed{TrimBlanks(ui::GetText(edtAdminUser)), ui::GetText(edtAdminPassword)};
  if (typed.user == AdminLogin.user && typed.password == AdminLogin.password) return;
  if (!WriteAdminLogin(typed)) {
    Sys().dialogs.ShowError(socktxt::LoginNotStored);
    return;
  }
  AdminLogin = typed;
}

void TfrmMain::BTN_Def_PathClick() {
  const std::wstring initialFolder = IncludeTrailingDelimiter(ProgramFolder()) + socktxt::DataFolder;
  std::wstring chosen;
  if (!Sys().dialogs.BrowseForFolder(socktxt::DefaultFolderTitle, L"", initialFolder, chosen) ||
      chosen.empty())
    return;
  ui::SetText(PAN_Def_Path, IncludeTrailingDelimiter(chosen));
  AnyChangeToSettings();
}

}  // namespace vantrel
