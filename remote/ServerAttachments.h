#pragma once
// Who is connected to the server: the number of attachments and the databases in use, as the
// server's service manager tells them (isc_info_svc_svr_db_info).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "remote/IB_Ext.h"

namespace vantrel {

struct TServerAttachments {
  int attachments = 0;
  int databases = 0;
  std::vector<std::string> paths;  // the databases in use, as the server names them
  bool operator==(const TServerAttachments&) const = default;
};

// The numbers, or why they could not be read (no login, a wrong password, a server that does
// not answer, a library without the service calls): never both.
struct TAttachmentsReading {
  std::optional<TServerAttachments> numbers;
  std::string reason;
};

// The answer's bytes: the item 50, then 5 and 6 each with a 4-byte count, 106 with a 2-byte
// length and a path for each database, 127, and 1 at the end (all little-endian). Nothing, with
// the reason, for an answer cut short, an item this reader does not know or counts that do not
// fit their paths.
std::optional<TServerAttachments> ParseServerDbInfo(std::string_view answer, std::string& reason);

// The service manager's name for a server reached by the text put before a database path
// ("127.0.0.1/3051:", "127.0.0.1:", "\\127.0.0.1\"): the same form, ending in service_mgr.
std::string ServiceManagerName(const std::string& localServerPrefix);

// Attaches to the service manager with the login, asks, detaches. Any thread; several at once.
TAttachmentsReading ReadServerAttachments(const TClientApi& api, const std::string& serviceManager,
                                          const std::string& user, const std::string& password);

// When the numbers are read again: every 5 s while the window is shown, every 30 s while it sits
// in the notification area, at once after Reset, and never while a reading is still out.
class TAttachmentsSchedule {
 public:
  static constexpr std::uint32_t kShownPeriodMs = 5000;
  static constexpr std::uint32_t kHiddenPeriodMs = 30000;

  bool Due(std::uint32_t now, bool windowShown) const;
  void Began(std::uint32_t now);
  void Ended() { out_ = false; }
  void Reset() { read_ = false; }
  bool Out() const { return out_; }

 private:
  bool out_ = false;
  bool read_ = false;
  std::uint32_t last_ = 0;
};

// What the start page, its tooltip and the stop's question say. Paths come in already turned
// into text; a reading without numbers shows "bilinmiyor" with its reason as the detail.
std::wstring AttachmentsValueText(const std::optional<TServerAttachments>& numbers);
std::wstring AttachmentsDetailText(const std::optional<TServerAttachments>& numbers,
                                   const std::vector<std::wstring>& databases, const std::wstring& reason);
// The question before a stop cuts attachments off, the databases in use under it (ten at most).
std::wstring StopWithAttachmentsQuestion(int attachments, const std::vector<std::wstring>& databases);

}  // namespace vantrel
