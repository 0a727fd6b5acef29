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

struct TServeOptions {
  std::string root;                     // holds aliases.conf and the Data folder
  std::string aliasFile;                // empty: root + "/aliases.conf"
  std::string dataFolder;               // empty: root + "/Data"
  std::optional<int> port;              // empty: the alias file's socket port
  std::vector<std::string> addresses;   // empty: as the address list ticks them
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
