#include "remote/ServerAttachments.h"

#include <cstdint>
#include <cstring>

#include "resources/Texts.h"
#include "shell/rules/TextRules.h"

namespace vantrel {
namespace {

// The service manager's items, as its clients have them.
constexpr unsigned char kInfoEnd = 1;
constexpr unsigned char kInfoTruncated = 2;
constexpr unsigned char kNumAttachments = 5;
constexpr unsigned char kNumDatabases = 6;
constexpr unsigned char kSvrDbInfo = 50;
constexpr unsigned char kDatabaseName = 106;
constexpr unsigned char kFlagEnd = 127;
constexpr unsigned char kSpbVersion = 2;
constexpr unsigned char kSpbCurrentVersion = 2;
constexpr unsigned char kSpbUserName = 28;
constexpr unsigned char kSpbPassword = 29;
// Room for the counts and a few hundred paths; a longer answer comes back marked truncated.
constexpr unsigned short kAnswerSize = 32768;

std::uint32_t LittleEndian(std::string_view bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

// The status vector's text, as the library words it; the first message is the reason.
std::string StatusText(const TClientApi& api, const ISC_STATUS* status) {
  if (!api.fbInterpret) return "hata " + std::to_string(status[1]);
  char buffer[512] = {};
  const ISC_STATUS* cursor = status;
  const std::int32_t length = api.fbInterpret(buffer, sizeof buffer, &cursor);
  if (length <= 0) return "hata " + std::to_string(status[1]);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

void AddParameter(std::string& spb, unsigned char item, const std::string& value) {
  spb += static_cast<char>(item);
  spb += static_cast<char>(value.size() > 255 ? 255 : value.size());
  spb += value.substr(0, 255);
}

}  // namespace

std::optional<TServerAttachments> ParseServerDbInfo(std::string_view answer, std::string& reason) {
  auto fail = [&](std::string why) {
    reason = std::move(why);
    return std::nullopt;
  };
  if (answer.empty() || static_cast<unsigned char>(answer[0]) != kSvrDbInfo) return fail("sunucunun yanıtında veri tabanı bilgisi yok");
  TServerAttachments numbers;
  bool counted[2] = {false, false};
  std::size_t at = 1;
  for (;;) {
    if (at >= answer.size()) return fail("sunucunun yanıtı eksik");
    const unsigned char item = static_cast<unsigned char>(answer[at++]);
    auto take = [&](std::size_t size) -> std::optional<std::string_view> {
      if (answer.size() - at < size) return std::nullopt;
      const std::string_view bytes = answer.substr(at, size);
      at += size;
      return bytes;
    };
    if (item == kFlagEnd) break;
    if (item == kNumAttachments || item == kNumDatabases) {
      const auto count = take(4);
      if (!count) return fail("sunucunun yanıtı eksik");
      (item == kNumAttachments ? numbers.attachments : numbers.databases) = static_cast<int>(LittleEndian(*count));
      counted[item == kNumDatabases] = true;
    } else if (item == kDatabaseName) {
      const auto length = take(2);
      const auto path = length ? take(LittleEndian(*length)) : std::nullopt;
      if (!path) return fail("sunucunun yanıtı eksik");
      numbers.paths.emplace_back(*path);
    } else if (item == kInfoTruncated) {
      return fail("sunucunun yanıtı eksik");
    } else {
      return fail("yanıtta bilinmeyen öğe " + std::to_string(item));
    }
  }
  if (at >= answer.size() || static_cast<unsigned char>(answer[at]) != kInfoEnd) return fail("sunucunun yanıtı eksik");
  if (!counted[0] || !counted[1]) return fail("yanıtta sayılar yok");
  if (numbers.databases != static_cast<int>(numbers.paths.size()))
    return fail("sunucu " + std::to_string(numbers.databases) + " veri tabanı sayıyor, " +
                std::to_string(numbers.paths.size()) + " tanesinin adını veriyor");
  return numbers;
}

std::string ServiceManagerName(const std::string& localServerPrefix) {
  return localServerPrefix + "service_mgr";
}

TAttachmentsReading ReadServerAttachments(const TClientApi& api, const std::string& serviceManager,
                                          const std::string& user, const std::string& password) {
  TAttachmentsReading reading;
  if (!api.serviceAttach || !api.serviceQuery || !api.serviceDetach) {
    reading.reason = "istemci kitaplığında servis çağrıları yok";
    return reading;
  }
  std::string spb;
  spb += static_cast<char>(kSpbVersion);
  spb += static_cast<char>(kSpbCurrentVersion);
  AddParameter(spb, kSpbUserName, user);
  AddParameter(spb, kSpbPassword, password);

  ISC_STATUS status[kStatusVectorSize] = {};
  IscHandleStorage service = 0;
  if (api.serviceAttach(status, static_cast<unsigned short>(serviceManager.size()), serviceManager.data(), &service,
                        static_cast<unsigned short>(spb.size()), spb.data()) != 0) {
    reading.reason = StatusText(api, status);
    return reading;
  }
  const char request[] = {static_cast<char>(kSvrDbInfo)};
  std::string answer(kAnswerSize, '\0');
  const bool asked = api.serviceQuery(status, &service, nullptr, 0, nullptr, sizeof request, request, kAnswerSize,
                                      answer.data()) == 0;
  if (!asked) reading.reason = StatusText(api, status);
  ISC_STATUS detach[kStatusVectorSize] = {};
  api.serviceDetach(detach, &service);  // the answer stands whatever the detach says
  if (!asked) return reading;
  reading.numbers = ParseServerDbInfo(answer, reading.reason);
  return reading;
}

bool TAttachmentsSchedule::Due(std::uint32_t now, bool windowShown) const {
  if (out_) return false;
  if (!read_) return true;
  return static_cast<std::uint32_t>(now - last_) >= (windowShown ? kShownPeriodMs : kHiddenPeriodMs);
}

void TAttachmentsSchedule::Began(std::uint32_t now) {
  out_ = true;
  read_ = true;
  last_ = now;
}

std::wstring AttachmentsValueText(const std::optional<TServerAttachments>& numbers) {
  if (!numbers) return txt::AttachmentsUnknown;
  return FormatCounts(txt::AttachmentsFmt, {numbers->attachments, numbers->databases});
}

std::wstring AttachmentsDetailText(const std::optional<TServerAttachments>& numbers,
                                   const std::vector<std::wstring>& databases, const std::wstring& reason) {
  if (!numbers) return reason;
  if (databases.empty()) return txt::NoDatabaseInUse;
  std::wstring text;
  for (const std::wstring& database : databases) text += (text.empty() ? L"" : L"\r\n") + database;
  return text;
}

std::wstring StopWithAttachmentsQuestion(int attachments, const std::vector<std::wstring>& databases) {
  constexpr std::size_t kListed = 10;
  std::wstring text = FormatCounts(txt::StopWithAttachmentsFmt, {attachments});
  if (!databases.empty()) text += L"\n";
  for (std::size_t i = 0; i < databases.size() && i < kListed; ++i) text += L"\n" + databases[i];
  if (databases.size() > kListed) text += L"\n" + FormatCounts(txt::MoreDatabasesFmt, {static_cast<long long>(databases.size() - kListed)});
  return text;
}

}  // namespace vantrel
