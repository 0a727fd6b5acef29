#include "remote/AttachmentsWatch.h"

#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "remote/CommandProtocol.h"
#include "remote/IB_Ext.h"
#include "remote/LocalServer.h"
#include "shell/Busy.h"
#include "shell/Messages.h"
#include "shell/TextConv.h"
#include "shell/Window.h"
#include "shell/uDialogs.h"

namespace vantrel {
namespace {

constexpr wchar_t kWindowClass[] = L"TVantrelAttachmentsWatch";
// A stop waits this long for the numbers; a server that has not answered by then is stopped
// without the question, as with any unknown count.
constexpr unsigned kReadNowLimitMs = 10000;
constexpr unsigned kPumpStepMs = 20;
constexpr char kNoAnswerInTime[] = "sunucu zamanında yanıt vermedi";

}  // namespace

// Between the window thread and a reading's thread. The thread may outlive the watch (a server
// that does not answer holds it in the library's call): it posts only while the window lives.
struct TAttachmentsWatch::TShared {
  std::mutex mutex;
  HWND window = nullptr;
  TClientLibrary library{{}};
  std::optional<TAttachmentsReading> result;
  std::uint64_t resultGeneration = 0;
};

TAttachmentsWatch::TQuery TAttachmentsWatch::QueryFor(const TInstallation& installation, const TAdminLogin& stored) {
  TLocalServer server{TProtocolOptions{}.serverPrefix, {}, {}};
  ChooseLocalServer(installation, stored, server);
  return {ClientLibraryCandidates(installation), ServiceManagerName(server.prefix), server.user, server.password};
}

TAttachmentsWatch::TAttachmentsWatch(std::function<TQuery()> queryFor, std::function<void(const TView&)> shown,
                                     std::function<IDialogs&()> dialogs)
    : queryFor_(std::move(queryFor)), shown_(std::move(shown)), dialogs_(std::move(dialogs)),
      shared_(std::make_shared<TShared>()) {
  RegisterWindowClassFor<TAttachmentsWatch>({kWindowClass});
  window_ = CreateOwnedWindow(kWindowClass, this, 0, L"", 0, {}, HWND_MESSAGE);
  std::lock_guard lock(shared_->mutex);
  shared_->window = window_;
}

TAttachmentsWatch::~TAttachmentsWatch() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->window = nullptr;
  }
  DestroyOwnedWindow(window_);
}

void TAttachmentsWatch::Follow(bool running, bool windowShown) {
  if (!running) {
    if (!view_.value.empty()) Forget();
    return;
  }
  if (schedule_.Due(GetTickCount(), windowShown)) Begin();
}

void TAttachmentsWatch::Forget() {
  ++generation_;
  schedule_.Reset();
  if (!view_.value.empty()) Show({});
}

void TAttachmentsWatch::Begin() {
  TQuery query = queryFor_();
  shared_->library.SetCandidates(query.libraries);
  schedule_.Began(GetTickCount());
  try {
    std::thread([shared = shared_, query = std::move(query), generation = generation_] {
      TAttachmentsReading reading;
      try {
        reading = ReadServerAttachments(shared->library.Api(), query.serviceManager, query.user, query.password);
      } catch (const std::exception& e) {
        reading.reason = e.what();
      }
      std::lock_guard lock(shared->mutex);
      shared->result = std::move(reading);
      shared->resultGeneration = generation;
      if (shared->window) PostMessageW(shared->window, WMAPP_ATTACHMENTSREAD, 0, 0);
    }).detach();
  } catch (const std::system_error& e) {
    schedule_.Ended();
    TView view;
    view.value = AttachmentsValueText(std::nullopt);
    view.detail = FromUtf8(e.what());
    Show(std::move(view));
  }
}

void TAttachmentsWatch::Delivered(std::uint64_t generation) {
  schedule_.Ended();
  if (generation != generation_) return;
  std::optional<TAttachmentsReading> reading;
  {
    std::lock_guard lock(shared_->mutex);
    reading.swap(shared_->result);
  }
  if (!reading) return;
  TView view;
  view.known = reading->numbers.has_value();
  if (view.known) {
    view.attachments = reading->numbers->attachments;
    // The server names its files in the system's code page.
    for (const std::string& path : reading->numbers->paths) view.databases.push_back(FromAnsi(path));
  }
  view.value = AttachmentsValueText(reading->numbers);
  view.detail = AttachmentsDetailText(reading->numbers, view.databases, FromUtf8(reading->reason));
  Show(std::move(view));
}

void TAttachmentsWatch::Show(TView view) {
  view_ = std::move(view);
  if (shown_) shown_(view_);
}

TAttachmentsWatch::TView TAttachmentsWatch::ReadNow() {
  TBusyScope busy;
  const DWORD start = GetTickCount();
  auto waitForTheReadingOut = [&] {
    while (schedule_.Out() && GetTickCount() - start < kReadNowLimitMs) PumpMessagesFor(kPumpStepMs);
    return !schedule_.Out();
  };
  // One reading at a time: one already out ends first, then a fresh one is made.
  if (waitForTheReadingOut()) {
    Begin();
    if (waitForTheReadingOut()) return view_;
  }
  TView unknown;
  unknown.value = AttachmentsValueText(std::nullopt);
  unknown.detail = FromUtf8(kNoAnswerInTime);
  Show(unknown);
  return unknown;
}

bool TAttachmentsWatch::MayStop() {
  const TView view = ReadNow();
  if (!view.known || view.attachments <= 0) return true;
  return dialogs_().AskWarning(StopWithAttachmentsQuestion(view.attachments, view.databases)) == AnswerYes;
}

LRESULT TAttachmentsWatch::WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WMAPP_ATTACHMENTSREAD) return DefWindowProcW(hwnd, msg, wp, lp);
  std::uint64_t generation;
  {
    std::lock_guard lock(shared_->mutex);
    generation = shared_->resultGeneration;
  }
  Delivered(generation);
  return 0;
}

}  // namespace vantrel
