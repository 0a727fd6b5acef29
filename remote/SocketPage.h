#pragma once
// The socket page: the addresses the command server listens on, its port, starting and
// stopping the listener, and its log. Connection threads reach the alias file and the window
// only through work carried to the window thread.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "aliases/AliasFile.h"
#include "remote/CommandServer.h"
#include "remote/TunnelPage.h"
#include "shell/Page.h"

namespace vantrel {

class TSocketPage final : public TPage {
 public:
  // 0: the button starts the listener next; 1: it stops it.
  static constexpr int kButtonStart = 0;
  static constexpr int kButtonStop = 1;

  TSocketPage(IPageHost& host, TAliasFile& aliasFile, TTunnelPage& tunnel);
  ~TSocketPage() override;

  void FillIPList();
  bool StartSocketServer();
  bool StopSocketServer();
  void btnSocketServerClick();
  // Stops the listener for good and joins its threads, before the window goes.
  void CloseListener();
  // The port as it is now, after a load changed it.
  void ShowSettings();

  std::vector<std::wstring> SocketErrors;
  bool SocketServerRunning = false;
  int ButtonMode() const { return buttonMode_; }
  std::size_t OpenConnections() const;  // served by the listener at this moment

 protected:
  void CreateControls() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  struct TState;

  std::vector<TAddressEntry> Addresses();
  void AppendLog(const std::wstring& line);
  void SetStatus(const wchar_t* text);
  void SetButton(int mode);
  void ShowAddresses();

  TAliasFile& aliasFile_;
  TTunnelPage& tunnel_;
  // Made at the first start of the listener; stopped and freed before the page goes.
  std::unique_ptr<TState> state_;
  std::vector<TAddressEntry> addresses_;
  std::vector<std::wstring> log_;
  std::wstring status_;
  int buttonMode_ = kButtonStart;
  std::wstring buttonCaption_;
  bool filling_ = false;
  HWND lbIPs = nullptr, Socket_Portu = nullptr, btnSocketServer = nullptr, lbProcesses = nullptr,
       StatusBar = nullptr;
};

}  // namespace vantrel
