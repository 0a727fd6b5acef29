#pragma once
// Who is connected to the running server, read off the window thread through the installation's
// own client library: the start page's line, the tray's tooltip and the question before a stop.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "remote/AdminLogin.h"
#include "remote/ServerAttachments.h"
#include "server/StartPage.h"

namespace vantrel {

class IDialogs;

class TAttachmentsWatch final : public IAttachmentsSource {
 public:
  // What a reading needs, gathered on the window thread just before it starts.
  struct TQuery {
    std::vector<std::string> libraries;
    std::string serviceManager;
    std::string user;
    std::string password;
  };
  // The last reading as shown: known or not, the numbers and the databases as text.
  struct TView {
    bool known = false;
    int attachments = 0;
    std::vector<std::wstring> databases;
    std::wstring value;   // empty while the server is stopped
    std::wstring detail;  // the databases, or why the numbers are unknown
  };

  // The installation's own library and service manager, and the login a create would use.
  static TQuery QueryFor(const TInstallation& installation, const TAdminLogin& stored);

  TAttachmentsWatch(std::function<TQuery()> queryFor, std::function<void(const TView&)> shown,
                    std::function<IDialogs&()> dialogs);
  ~TAttachmentsWatch() override;
  TAttachmentsWatch(const TAttachmentsWatch&) = delete;
  TAttachmentsWatch& operator=(const TAttachmentsWatch&) = delete;

  // IAttachmentsSource
  void Follow(bool running, bool windowShown) override;
  bool MayStop() override;
  void Forget() override;

  const TView& Last() const { return view_; }
  // Reads once more and waits for the answer with the window's messages read; a reading that
  // does not come back within the limit counts as unknown.
  TView ReadNow();

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  struct TShared;
  void Begin();
  void Delivered(std::uint64_t generation);
  void Show(TView view);

  std::function<TQuery()> queryFor_;
  std::function<void(const TView&)> shown_;
  std::function<IDialogs&()> dialogs_;
  std::shared_ptr<TShared> shared_;
  TAttachmentsSchedule schedule_;
  std::uint64_t generation_ = 0;  // readings begun before the last Forget are dropped
  TView view_;
  HWND window_ = nullptr;
};

}  // namespace vantrel
