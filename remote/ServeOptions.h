#pragma once
// The command line and environment of vantrel-serve.
#include <chrono>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "remote/Listener.h"

namespace vantrel {

// The local server on Firebird's default port.
inline constexpr char kDefaultServerPrefix[] = "127.0.0.1:";
inline constexpr int kFirebirdDefaultPort = 3050;

struct TServeOptions {
  std::string root;                     // holds aliases.conf and the Data folder
  std::string aliasFile;                // empty: root + "/aliases.conf"
  std::string dataFolder;               // empty: root + "/Data"
  std::optional<int> port;              // empty: the alias file's socket port
  std::vector<std::string> addresses;   // empty: as the address list ticks them
  // What CREATE DATABASE puts before the path: the Firebird server that makes the databases
  // ("127.0.0.1:", or "HOST/PORT:" for one on another port).
  std::string serverPrefix = kDefaultServerPrefix;
  net::TListenerLimits limits;
  bool help = false;
  bool version = false;
};

class EUsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Arguments after the program name. Raises EUsageError naming what is wrong.
TServeOptions ParseServeOptions(const std::vector<std::string>& args);
std::string ServeUsage();

// The database path prefix for --server's HOST[/PORT] (an IPv4 address or a host name, a port
// from 1 to 65535): "HOST:" on the default port, "HOST/PORT:" on another. The value becomes part
// of a statement and of a path the server parses, so anything else raises EUsageError.
std::string ServerPrefixOf(const std::string& value);

struct TCredentials {
  std::string user;
  std::string password;
};
// ISC_USER / ISC_PASSWORD when set and not empty, else the program's own.
TCredentials ServeCredentials(const char* iscUser, const char* iscPassword);

// The separator a strftime-style format puts after its first conversion ("%d.%m.%Y" gives '.');
// fallback when it has none that is a printable ASCII character.
char SeparatorOfFormat(const std::string& format, char fallback);

// The date and time separators of the environment's LC_TIME; the process's own locale stays
// untouched. Defined for POSIX only.
struct TDateTimeSeparators {
  char date = '/';
  char time = ':';
};
TDateTimeSeparators EnvironmentSeparators();

}  // namespace vantrel
