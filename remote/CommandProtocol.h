#pragma once
// The line protocol of the command server: the greeting, the requests and their replies.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "aliases/AliasFileSync.h"
#include "remote/CommandHost.h"

namespace vantrel {

namespace net {
class TConnection;
}

enum class TRequestKind { CreateDb, GiveAliasList, Time, Date, DateTime, Quit, Unknown };

// Matches the request table in order, after turning a-z into A-Z.
TRequestKind ClassifyRequest(std::string_view line);

// The fields of "#CREATE_DB#", cut by position from the line as received.
struct TCreateRequest {
  std::string fileName;
  std::string alias;
  std::string pageSize;
};
TCreateRequest ParseCreateRequest(std::string_view line);

// The refusal reply line (without CR LF) for fields that must not reach the disk, the alias
// file or the statement; nothing when they may.
std::optional<std::string> CreateRequestRefusal(const TCreateRequest& request);

// "hh:nn:ss" and "#DateSeparator" + sep + "#" + dd sep mm sep yyyy.
std::string TimeLine(const std::tm& moment, char separator);
std::string DateLine(const std::tm& moment, char separator);

using DatabaseCreator =
    std::function<void(const std::string& path, const std::string& user,
                       const std::string& password, std::uint16_t dialect,
                       const std::string& clause)>;

struct TProtocolOptions {
  // Put before the database path to reach the local server.
  std::string serverPrefix = "\\\\127.0.0.1\\";
  std::string user = "SYSDBA";
  std::string password = "velmoraxe";
  DatabaseCreator createDatabase;      // empty: CreateDatabase of IB_Ext
  std::function<std::tm()> localTime;  // empty: the system clock in local time
  // How a connection waits before trying a held alias file again; empty: it sleeps.
  std::function<void(std::chrono::milliseconds)> pause;
};

inline constexpr std::uint16_t kCreateDialect = 3;

class TCommandProtocol {
 public:
  struct TReply {
    std::string bytes;   // whole lines with CR LF, code page 1254 where the text is fixed
    bool close = false;  // end the connection after sending bytes
  };

  TCommandProtocol(ICommandHost& host, TProtocolOptions options);

  std::string Greeting(const std::string& localAddress) const;
  // Serves one request line. A failure without a reply of its own gives no bytes and close.
  TReply Serve(const std::string& line);
  // Greeting, then requests until the peer leaves, QUIT, a failure or the listener stops.
  void ServeConnection(net::TConnection& connection);

 private:
  TReply ServeAliasList();
  TReply ServeCreate(const std::string& line);
  // Registers a created database's alias; the reply line that tells how it went.
  std::string RegisterAlias(const std::string& alias, const std::string& path);
  std::tm Now() const;

  ICommandHost& host_;
  TProtocolOptions options_;
};

}  // namespace vantrel
