#include "remote/SocketPage.h"

#include <commctrl.h>

#include "remote/AdminLogin.h"
#include "remote/IB_Ext.h"
#include "remote/LocalServer.h"
#include "remote/ProtocolTexts.h"
#include "remote/SocketPageTexts.h"
#include "resources/Texts.h"
#include "shell/Application.h"
#include "shell/Busy.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"
#include "shell/Dpi.h"
#include "shell/Messages.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/Window.h"

namespace vantrel {
namespace {

constexpr wchar_t kWorkWindowClass[] = L"TVantrelCommandWork";
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryIntervalMs = 250;
// Aliases whose lines could not be written are tried again this often while any waits.
constexpr UINT_PTR kPendingTimer = 2;
constexpr UINT kPendingIntervalMs = 15000;
constexpr int kAddressTextLength = 64;

// The shared state of a connection's request, always touched on the window thread.
class TWindowCommandHost final : public TQueuedCommandHost {
 public:
  TWindowCommandHost(IPageHost& host, TAliasFile& aliasFile, const TTunnelPage& tunnel, TClientLibrary& library,
                     TOwnerThreadQueue::Notifier notifier)
      : TQueuedCommandHost(std::move(notifier)), host_(host), aliasFile_(aliasFile), tunnel_(tunnel),
        library_(library) {}

  // The installation found last decides the library and the server's path form; the login is
  // the environment's, the user's stored one or the fixed one, in that order.
  void ChooseLocalServer(TLocalServer& server) override {
    library_.SetCandidates(ClientLibraryCandidates(host_.Installation()));
    vantrel::ChooseLocalServer(host_.Installation(), tunnel_.AdminLogin(), server);
  }

  // Clients get the file as it is on disk, without the page's unapplied edits.
  std::vector<std::string> AliasLines() override { return Disk().SendableLinesNow(); }
  std::string DefaultPath() override { return Disk().DefaultPathNow(aliasFile_.Settings().DefaultPath()); }
  bool HasAliasName(const std::string& name) override { return Disk().HasAliasNow(name); }
  std::optional<std::string> NewAliasProblem(const std::string& alias, const std::string& path) override {
    return Disk().NewAliasProblem(alias, path);
  }
  void ReserveAlias(const std::string& name) override { Disk().Reserve(name); }
  void ReleaseAlias(const std::string& name) override { Disk().Release(name); }
  bool AddAlias(const std::string& alias, const std::string& path) override {
    const bool added = Disk().AddAlias(alias, path);
    NotePendingWritten();
    aliasFile_.FollowDisk(host_.ChangesPending());
    return added;
  }
  void KeepAliasPending(const std::string& alias, const std::string& path, const std::string& reason) override {
    Disk().KeepPending({alias, path});
    hadPending_ = true;
    log(FromUtf8(texts::kLogAliasPending + alias + "=" + path + " (" + reason + ")"));
  }
  void AliasFileHeld(const std::string& alias, const std::string& reason) override {
    log(FromUtf8(texts::kLogAliasFileHeld + alias + " (" + reason + ")"));
  }
  void RefreshCurrentPage() override { host_.RefreshCurrentPage(); }

  std::size_t PendingCount() { return Disk().PendingCount(); }

  // Tries once to write the aliases still waiting (on the window thread, between requests), each
  // into the file it belongs to.
  void WritePendingAliases() {
    if (Disk().WritePending() != TAliasFileSync::TPendingWrite::Written) return;
    NotePendingWritten();
    aliasFile_.FollowDisk(host_.ChangesPending());
    host_.RefreshCurrentPage();
  }
  // Read for every request, so a changed system setting counts at once.
  char DateSeparator() override { return LocaleSeparator(LOCALE_SDATE, '.'); }
  char TimeSeparator() override { return LocaleSeparator(LOCALE_STIME, ':'); }

 private:
  TAliasFileSync& Disk() { return aliasFile_.Disk(); }

  void NotePendingWritten() {
    if (!hadPending_ || !Disk().Pending().empty()) return;
    hadPending_ = false;
    log(FromUtf8(texts::kLogAliasWritten + ToUtf8(Disk().Path().wstring())));
  }

  static char LocaleSeparator(LCTYPE item, char fallback) {
    char buffer[8] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer) > 1 ? buffer[0] : fallback;
  }

  IPageHost& host_;
  TAliasFile& aliasFile_;
  const TTunnelPage& tunnel_;
  TClientLibrary& library_;
  bool hadPending_ = false;

 public:
  std::function<void(const std::wstring&)> log;  // the socket page's log
};

// A message-only window on the window thread that runs the connections' work when it arrives.
class TWorkWindow {
 public:
  TWorkWindow(std::function<void()> run, std::function<void()> retryPending)
      : run_(std::move(run)), retryPending_(std::move(retryPending)) {
    RegisterWindowClassFor<TWorkWindow>({kWorkWindowClass});
    hwnd_ = CreateOwnedWindow(kWorkWindowClass, this, 0, L"", 0, {}, HWND_MESSAGE);
  }
  ~TWorkWindow() { DestroyOwnedWindow(hwnd_); }
  TWorkWindow(const TWorkWindow&) = delete;
  TWorkWindow& operator=(const TWorkWindow&) = delete;
  HWND Get() const { return hwnd_; }

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WMAPP_RUNQUEUEDWORK || (msg == WM_TIMER && wp == kRetryTimer)) {
      run_();
      return 0;
    }
    if (msg == WM_TIMER && wp == kPendingTimer) {
      retryPending_();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

 private:
  std::function<void()> run_;
  std::function<void()> retryPending_;
  HWND hwnd_ = nullptr;
};

std::wstring JoinedLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return text;
}

}  // namespace

// The listener and the work it carries to the window thread. Created on the window thread.
struct TSocketPage::TState {
  TState(TSocketPage& page, IPageHost& host, TAliasFile& aliasFile, const TTunnelPage& tunnel)
      : host_(host),
        aliasFile_(aliasFile),
        work([this] { RunQueuedWorkWhenIdle(); }, [this] { RetryPendingWhenIdle(); }),
        commands(host, aliasFile, tunnel, library,
                 [hwnd = work.Get()] { return hwnd && PostMessageW(hwnd, WMAPP_RUNQUEUEDWORK, 0, 0) != FALSE; }),
        server(commands, ProtocolOptions()) {
    commands.log = [this, &page](const std::wstring& line) {
      page.AppendLog(line);
      if (commands.PendingCount() > 0) SetTimer(work.Get(), kPendingTimer, kPendingIntervalMs, nullptr);
    };
    aliasFile.Disk().notice = [this](TAliasFileSync::TNotice notice, const std::string& detail) {
      commands.log(FromUtf8(LogTextOf(notice)) + FromAnsi(detail));
    };
  }
  ~TState() {
    server.Stop();
    aliasFile_.Disk().notice = {};
    aliasFile_.Disk().ReleaseAll();  // a request cancelled by the stop could not give its alias back
  }

  // A modal dialog or message box of the window may be working on the alias list (holding a
  // line's index, say), or a start, stop, root change or switch is waiting with the window's
  // messages read (the alias file may be changing hands): the work waits until it is over.
  bool WindowBusy() const {
    HWND application = ApplicationHandle();
    return ApplicationBusy() || !IsWindowEnabled(host_.Window()) || (application && !IsWindowEnabled(application));
  }

  // A dialog may hold a line of the list; the retry waits for the next turn then.
  void RetryPendingWhenIdle() {
    if (WindowBusy()) return;
    commands.WritePendingAliases();
    if (commands.PendingCount() == 0) KillTimer(work.Get(), kPendingTimer);
  }

  void RunQueuedWorkWhenIdle() {
    if (WindowBusy()) {
      SetTimer(work.Get(), kRetryTimer, kRetryIntervalMs, nullptr);
      return;
    }
    KillTimer(work.Get(), kRetryTimer);
    commands.RunQueuedWork();
  }

  // New databases are created through the installation's own library (ChooseLocalServer).
  TProtocolOptions ProtocolOptions() {
    TProtocolOptions options;
    options.createDatabase = [this](const std::string& path, const std::string& user, const std::string& password,
                                    std::uint16_t dialect, const std::string& clause) {
      CreateDatabaseWith(library.Api(), path, user, password, dialect, clause);
    };
    return options;
  }

  IPageHost& host_;
  TAliasFile& aliasFile_;
  TClientLibrary library;
  TWorkWindow work;  // before the command host: its notifier posts to this window
  TWindowCommandHost commands;
  TCommandServer server;
};

TSocketPage::TSocketPage(IPageHost& host, TAliasFile& aliasFile, TTunnelPage& tunnel)
    : TPage(host, txt::TabSocketInfo), aliasFile_(aliasFile), tunnel_(tunnel),
      status_(txt::ServerStoppedStatus), buttonCaption_(txt::SocketServerStartInitial) {}

TSocketPage::~TSocketPage() { CloseListener(); }

void TSocketPage::CloseListener() { state_.reset(); }

void TSocketPage::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  Label(p, txt::BindToIP, {4, 2, 120, 14}, Font());
  lbIPs = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS,
                          0, 0, 0, 0, p, reinterpret_cast<HMENU>(idIPs), GetModuleHandleW(nullptr), nullptr);
  dpi::Place(lbIPs, {4, 17, 120, 106}, dpi::ForWindow(p));
  SendMessageW(lbIPs, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  ListView_SetExtendedListViewStyle(lbIPs, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  AddListViewColumn(lbIPs, 0, L"", 96);
  Label(p, txt::BindPort, {130, 2, 80, 14}, Font());
  filling_ = true;  // the up-down control writes the value it is given into its edit
  Socket_Portu = SpinEdit(p, idSocketPort, aliasFile_.Settings().SocketPort(), {130, 17, 80, 21}, Font());
  filling_ = false;
  btnSocketServer = Button(p, idSocketServer, buttonCaption_, {130, 44, 80, 58}, Font(), BS_MULTILINE);
  // A log line longer than the box can be scrolled to.
  lbProcesses = ListBox(p, idProcesses, {216, 2, 186, 121}, Font(), WS_HSCROLL);
  StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, status_.c_str(), WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0,
                              p, reinterpret_cast<HMENU>(idStatusBar), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);

  ShowAddresses();
  for (const std::wstring& line : log_) SendMessageW(lbProcesses, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (!log_.empty()) SendMessageW(lbProcesses, LB_SETTOPINDEX, log_.size() - 1, 0);
  ui::FitHorizontalExtent(lbProcesses);
}

bool TSocketPage::OnCommand(int id, int code, HWND control) {
  if (id == idSocketServer && code == BN_CLICKED) {
    btnSocketServerClick();
    return true;
  }
  if (id != idSocketPort || code != EN_CHANGE) return false;
  if (!filling_) {
    filling_ = true;  // the value comes from this control: nothing to show back
    aliasFile_.Settings().SetSocketPort(PortOfText(ui::GetText(Socket_Portu)));
    filling_ = false;
    host_.AnyChangeToSettings();
  }
  return true;
}

void TSocketPage::ShowSettings() {
  if (!Created() || filling_) return;
  const int port = aliasFile_.Settings().SocketPort();
  if (PortOfText(ui::GetText(Socket_Portu)) == port) return;
  filling_ = true;
  ui::SetText(Socket_Portu, std::to_wstring(port));
  filling_ = false;
}

// The user's ticks are in the list once it is shown.
std::vector<TAddressEntry> TSocketPage::Addresses() {
  if (!Created()) return addresses_;
  for (int i = 0; i < static_cast<int>(addresses_.size()); ++i) {
    wchar_t text[kAddressTextLength] = {};
    ListView_GetItemText(lbIPs, i, 0, text, kAddressTextLength);
    addresses_[static_cast<std::size_t>(i)] = {ToAnsi(text), ListView_GetCheckState(lbIPs, i) != 0};
  }
  return addresses_;
}

void TSocketPage::AppendLog(const std::wstring& line) {
  log_.push_back(line);
  if (!Created()) return;
  const LRESULT index = SendMessageW(lbProcesses, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (index >= 0) SendMessageW(lbProcesses, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  ui::FitHorizontalExtent(lbProcesses);
}

void TSocketPage::SetStatus(const wchar_t* text) {
  status_ = text;
  if (Created()) SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));
}

void TSocketPage::SetButton(int mode) {
  buttonMode_ = mode;
  buttonCaption_ = mode == kButtonStart ? socktxt::StartCaption : socktxt::StopCaption;
  if (!Created()) return;
  ui::SetText(btnSocketServer, buttonCaption_);
  RedrawWindow(btnSocketServer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TSocketPage::ShowAddresses() {
  if (!Created()) return;
  ListView_DeleteAllItems(lbIPs);
  for (std::size_t i = 0; i < addresses_.size(); ++i) {
    std::wstring text = FromAnsi(addresses_[i].address);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    const int at = ListView_InsertItem(lbIPs, &item);
    ListView_SetCheckState(lbIPs, at, addresses_[i].ticked);
  }
}

std::size_t TSocketPage::OpenConnections() const { return state_ ? state_->server.OpenConnections() : 0; }

void TSocketPage::FillIPList() {
  addresses_ = AddressListEntries(HostAddressTexts());
  ShowAddresses();
}

bool TSocketPage::StartSocketServer() {
  const std::vector<std::string> addresses = TickedAddresses(Addresses());
  if (addresses.empty()) {
    SocketErrors.push_back(FromUtf8(texts::kNoAddress));
    return false;
  }
  SocketErrors.clear();
  if (!StopSocketServer()) {
    SocketErrors.push_back(socktxt::StopFailedError);
    return false;
  }
  // Nothing is created for a window that no longer exists.
  if (!state_ && host_.Window() && IsWindow(host_.Window())) state_ = std::make_unique<TState>(*this, host_, aliasFile_, tunnel_);
  if (!state_) {
    SocketServerRunning = false;
    return false;
  }
  try {
    std::vector<net::TBinding> bindings;
    std::vector<std::wstring> noted;
    const int port = aliasFile_.List().SocketPort();
    for (const std::string& address : addresses) {
      bindings.push_back({address, port});
      noted.push_back(FromUtf8(BoundLogLine(bindings.back())));
    }
    state_->server.Start(bindings);
    SocketServerRunning = state_->server.Active();
    for (const std::wstring& line : noted) AppendLog(line);
    AppendLog(FromUtf8(texts::kLogStarted));
    SetStatus(SocketServerRunning ? socktxt::StatusRunningAfterStart : socktxt::StatusStoppedAfterStart);
  } catch (...) {
    AppendLog(FromUtf8(texts::kLogStartFailed));
    SocketErrors.push_back(CaughtErrorText());
    SocketServerRunning = false;
  }
  // A failed start leaves the button in its start mode, so that the next click tries again.
  if (SocketServerRunning) SetButton(kButtonStop);
  return SocketServerRunning;
}

bool TSocketPage::StopSocketServer() {
  SetButton(kButtonStart);
  // Work that connections still wait for is cancelled first, so the stop never waits on a
  // connection that waits for this thread.
  if (state_) state_->server.Stop();
  if (!state_ || !state_->server.Active()) {
    SetStatus(socktxt::StatusStopped);
    AppendLog(FromUtf8(texts::kLogStopped));
    return true;
  }
  SetStatus(socktxt::StatusRunning);
  AppendLog(FromUtf8(texts::kLogNotStopped));
  return false;
}

void TSocketPage::btnSocketServerClick() {
  IDialogs& dialogs = host_.Sys().dialogs;
  if (buttonMode_ == kButtonStart) {
    if (TickedAddresses(Addresses()).empty()) {
      dialogs.ShowInformation(FromUtf8(texts::kNoAddress));
      return;
    }
    SocketErrors.clear();
    if (StartSocketServer())
      dialogs.ShowInformation(socktxt::Started);
    else
      dialogs.ShowInformation(socktxt::StartFailed + JoinedLines(SocketErrors));
    return;
  }
  SocketErrors.clear();
  if (!SocketServerRunning) {
    dialogs.ShowInformation(socktxt::NotRunning);
    return;
  }
  if (StopSocketServer())
    dialogs.ShowInformation(socktxt::Stopped);
  else
    dialogs.ShowInformation(socktxt::StopFailed + JoinedLines(SocketErrors));
}

}  // namespace vantrel
