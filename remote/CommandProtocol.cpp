#include "remote/CommandProtocol.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

#include "aliases/AliasFileIO.h"
#include "aliases/DatabasesConf.h"
#include "remote/Cp1254.h"
#include "remote/IB_Ext.h"
#include "remote/Listener.h"
#include "remote/ProtocolTexts.h"

namespace vantrel {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr std::size_t kCommandLength = 11;    // "#CREATE_DB#"
constexpr std::size_t kSkippedAfterCommand = 2;
constexpr std::size_t kSkippedAfterFileName = 2;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string Line(std::string_view text) { return std::string(text) + kCrLf; }

// The fixed texts that hold Turkish letters, in code page 1254.
struct TWireTexts {
  std::string greeting = Cp1254FromUtf8(texts::kGreeting);
  std::string goodbye = Cp1254FromUtf8(texts::kGoodbye);
  std::string unknownCommand = Cp1254FromUtf8(texts::kUnknownCommand);
};

const TWireTexts& Wire() {
  static const TWireTexts wire;
  return wire;
}

// Removes count characters from the front, or all there are.
void DropFront(std::string& s, std::size_t count) { s.erase(0, count < s.size() ? count : s.size()); }

bool IsControl(char c) {
  auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

bool HasControl(std::string_view s) {
  for (char c : s)
    if (IsControl(c)) return true;
  return false;
}

// Echoed in a refusal; the reply must stay one line whatever was sent.
std::string Shown(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (IsControl(c)) c = '?';
  return out;
}

// Text from elsewhere (the database server's message) put into a reply: the reply stays one line.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (IsControl(c)) c = ' ';
  return out;
}

// Every part of the name between delimiters is a plain name: not empty, not "." or "..", no
// blank at either end and no dot at its end (Windows drops those, so the file made would not be
// the one registered).
bool PartsArePlainNames(std::string_view name) {
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.front() == ' ' || part.back() == ' ' ||
        part.back() == '.')
      return false;
    start = end + 1;
  }
  return true;
}

bool FileNameAcceptable(std::string_view name) {
  if (name.empty() || HasControl(name)) return false;
  if (name.front() == '/' || name.front() == '\\') return false;  // absolute or UNC
  // A colon names a drive or a server.
  if (name.find(':') != std::string_view::npos) return false;
  // The alias line must read back as this path: no quotes, comment, braces or macros.
  if (name.find_first_of("\"#{}") != std::string_view::npos || name.find("$(") != std::string_view::npos) return false;
  return PartsArePlainNames(name);
}

bool AliasAcceptable(std::string_view alias) { return IsWritableAliasName(alias); }

bool PageSizeAcceptable(std::string_view size) {
  if (size.empty()) return false;
  for (char c : size)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

}  // namespace

TRequestKind ClassifyRequest(std::string_view line) {
  std::string upper = Upper(line);
  if (upper.compare(0, kCommandLength, "#CREATE_DB#") == 0) return TRequestKind::CreateDb;
  if (upper == "GIVEALIASLIST") return TRequestKind::GiveAliasList;
  if (upper == "TIME") return TRequestKind::Time;
  if (upper == "DATE") return TRequestKind::Date;
  if (upper == "DATETIME") return TRequestKind::DateTime;
  if (upper == "QUIT") return TRequestKind::Quit;
  return TRequestKind::Unknown;
}

TCreateRequest ParseCreateRequest(std::string_view line) {
  TCreateRequest request;
  std::string rest(line);
  DropFront(rest, kCommandLength + kSkippedAfterCommand);
  std::size_t p = rest.find(">#");
  std::size_t cut = 3;  // nothing found: the first three characters go
  if (p != std::string::npos) {
    request.fileName = rest.substr(0, p);
    cut = p + 2 + kSkippedAfterFileName;
  }
  DropFront(rest, cut);
  std::size_t q = rest.find(">#");
  cut = 1;
  if (q != std::string::npos) {
    request.alias = rest.substr(0, q);
    cut = q + 2;
  }
  DropFront(rest, cut);
  request.pageSize = rest;
  return request;
}

std::optional<std::string> CreateRequestRefusal(const TCreateRequest& request) {
  const char* reason = nullptr;
  const std::string* field = nullptr;
  if (!FileNameAcceptable(request.fileName)) {
    reason = texts::kBadFileName;
    field = &request.fileName;
  } else if (!AliasAcceptable(request.alias)) {
    reason = texts::kBadAlias;
    field = &request.alias;
  } else if (!PageSizeAcceptable(request.pageSize)) {
    reason = texts::kBadPageSize;
    field = &request.pageSize;
  } else {
    return std::nullopt;
  }
  return texts::kCreateError + Shown(*field) + reason;
}

std::string TimeLine(const std::tm& moment, char separator) {
  return TwoDigits(moment.tm_hour) + separator + TwoDigits(moment.tm_min) + separator +
         TwoDigits(moment.tm_sec);
}

std::string DateLine(const std::tm& moment, char separator) {
  char year[16];
  std::snprintf(year, sizeof year, "%04d", moment.tm_year + 1900);
  return std::string(texts::kDateSeparator) + separator + "#" + TwoDigits(moment.tm_mday) +
         separator + TwoDigits(moment.tm_mon + 1) + separator + year;
}

TCommandProtocol::TCommandProtocol(ICommandHost& host, TProtocolOptions options)
    : host_(host), options_(std::move(options)) {
  if (!options_.createDatabase) options_.createDatabase = CreateDatabase;
}

std::tm TCommandProtocol::Now() const {
  if (options_.localTime) return options_.localTime();
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::string TCommandProtocol::Greeting(const std::string& localAddress) const {
  return Line(Wire().greeting + localAddress);
}

TCommandProtocol::TReply TCommandProtocol::Serve(const std::string& line) {
  switch (ClassifyRequest(line)) {
    case TRequestKind::CreateDb:
      return ServeCreate(line);
    case TRequestKind::GiveAliasList:
      return ServeAliasList();
    case TRequestKind::Time:
      return {Line(TimeLine(Now(), host_.TimeSeparator()))};
    case TRequestKind::Date:
    case TRequestKind::DateTime:
      return {Line(DateLine(Now(), host_.DateSeparator()))};
    case TRequestKind::Quit:
      return {Line(Wire().goodbye), true};
    case TRequestKind::Unknown:
      break;
  }
  return {Line(Wire().unknownCommand)};
}

TCommandProtocol::TReply TCommandProtocol::ServeAliasList() {
  std::vector<std::string> lines;
  if (!host_.RunSerialised([&] { lines = host_.AliasLines(); })) return {{}, true};
  std::string reply = Line(texts::kServerIP + host_.LocalIPAddress());
  for (const std::string& l : lines) reply += Line(l);
  reply += Line(texts::kListDone);
  return {std::move(reply)};
}

TCommandProtocol::TReply TCommandProtocol::ServeCreate(const std::string& line) {
  TCreateRequest request = ParseCreateRequest(line);
  if (auto refusal = CreateRequestRefusal(request)) return {Line(*refusal)};

  std::string path;
  std::optional<std::string> refused;
  TLocalServer server{options_.serverPrefix, options_.user, options_.password};
  // The check and the reservation are one step: a second request for the alias hears it exists.
  bool ran = host_.RunSerialised([&] {
    host_.ChooseLocalServer(server);
    path = host_.DefaultPath() + request.fileName;
    if (!AliasLineReadsBack(request.alias, path))
      refused = texts::kCreateError + Shown(path) + texts::kBadFileName;
    else if (host_.FileExists(path))
      refused = texts::kCreateError + path + texts::kFileExists;
    else if (host_.HasAliasName(request.alias))
      refused = texts::kCreateError + request.alias + texts::kAliasExists;
    else if (auto problem = host_.NewAliasProblem(request.alias, path))
      refused = texts::kCreateError + request.alias + texts::kAliasUnusable + OneLine(*problem);
    else
      host_.ReserveAlias(request.alias);
  });
  if (!ran) return {{}, true};
  if (refused) return {Line(*refused)};

  struct TReservation {
    ICommandHost& host;
    const std::string& alias;
    ~TReservation() {
      host.RunSerialised([&] { host.ReleaseAlias(alias); });
    }
  } reservation{host_, request.alias};

  try {
    options_.createDatabase(server.prefix + path, server.user, server.password, kCreateDialect,
                            "PAGE_SIZE " + request.pageSize + " DEFAULT CHARACTER SET WIN1254");
  } catch (const EDatabaseError& e) {
    return {Line(texts::kCreateError + path + texts::kCannotCreate + OneLine(e.what()))};
  }
  return {Line(RegisterAlias(request.alias, path))};
}

// The database exists: the server made it, whatever this process may see of its folder. A file
// held by another process is tried again from this connection's thread, so the alias list's
// owner (the window) keeps serving everyone else between the attempts; when the wait is over
// the client hears the truth: its database exists, its alias is kept and written later. Any
// other failure is answered at once with its reason, and nothing is kept.
std::string TCommandProtocol::RegisterAlias(const std::string& alias, const std::string& path) {
  bool added = false;
  bool cancelled = false;
  bool heldTold = false;
  auto attempt = [&] {
    std::optional<EAliasFileError> failure;
    cancelled = !host_.RunSerialised([&] {
      try {
        added = host_.AddAlias(alias, path);
      } catch (const EAliasFileError& e) {
        failure = e;
        if (e.Held() && !std::exchange(heldTold, true)) host_.AliasFileHeld(alias, OneLine(e.Reason()));
      }
      if (!failure) host_.RefreshCurrentPage();
    });
    if (failure) throw *failure;
  };
  auto pause = [this](std::chrono::milliseconds wait) {
    if (options_.pause)
      options_.pause(wait);
    else
      std::this_thread::sleep_for(wait);
  };
  try {
    RetryWhileHeld(attempt, pause);
  } catch (const EAliasFileError& e) {
    if (!e.Held()) return texts::kCreateError + path + texts::kAliasRefused + OneLine(e.Reason());
    if (!host_.RunSerialised([&] { host_.KeepAliasPending(alias, path, e.what()); }))
      return texts::kCreateError + path + texts::kAliasNotKept;
    return texts::kCreateError + path + texts::kAliasNotWritten + OneLine(e.Reason());
  }
  if (cancelled) return texts::kCreateError + path + texts::kAliasNotKept;
  // Another program (a second command server on the same file) registered the name meanwhile.
  if (!added) return texts::kCreateError + alias + texts::kAliasExists + texts::kCreatedWithoutAlias + path + "<";
  return texts::kCreateOkay + path + texts::kCreated;
}

void TCommandProtocol::ServeConnection(net::TConnection& connection) {
  if (!connection.Send(Greeting(connection.LocalAddress()))) return;
  while (auto line = connection.ReadLine()) {
    TReply reply;
    try {
      reply = Serve(*line);
    } catch (...) {
      return;  // no reply of its own: the connection ends
    }
    if (!reply.bytes.empty() && !connection.Send(reply.bytes)) return;
    if (reply.close) return;
  }
}

}  // namespace vantrel
