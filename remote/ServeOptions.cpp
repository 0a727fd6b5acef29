#include "remote/ServeOptions.h"

#include <string_view>

#include "remote/Socket.h"

namespace vantrel {
namespace {

constexpr char kDefaultUser[] = "SYSDBA";
constexpr char kDefaultPassword[] = "velmoraxe";

int ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) throw EUsageError("--port needs a number from 0 to 65535");
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw EUsageError("--port needs a number from 0 to 65535");
    port = port * 10 + (c - '0');
  }
  if (port > 65535) throw EUsageError("--port needs a number from 0 to 65535");
  return port;
}

}  // namespace

TServeOptions ParseServeOptions(const std::vector<std::string>& args) {
  TServeOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (name == "-h" || name == "--help") {
      options.help = true;
      continue;
    }
    if (name != "--root" && name != "--alias-file" && name != "--port" && name != "--bind")
      throw EUsageError("unknown argument: " + args[i]);
    if (!value) {
      if (i + 1 >= args.size()) throw EUsageError(name + " needs a value");
      value = args[++i];
    }
    if (name == "--root") {
      options.root = *value;
    } else if (name == "--alias-file") {
      options.aliasFile = *value;
    } else if (name == "--port") {
      options.port = ParsePort(*value);
    } else {
      if (!net::ParseIPv4(*value)) throw EUsageError("--bind needs an IPv4 address: " + *value);
      options.addresses.push_back(*value);
    }
  }
  if (!options.help && options.root.empty()) throw EUsageError("--root is required");
  return options;
}

std::string ServeUsage() {
  return "usage: vantrel-serve --root DIR [--alias-file FILE] [--port N] [--bind ADDR]...\n"
         "  --root DIR         folder of aliases.conf; new databases go to DIR/Data/ unless the\n"
         "                     alias file names another default folder\n"
         "  --alias-file FILE  alias file instead of DIR/aliases.conf\n"
         "  --port N           port instead of the alias file's socket port (3049 without one)\n"
         "  --bind ADDR        local IPv4 address to listen on; repeatable. Default: 127.0.0.1\n"
         "                     and the host name's second address\n"
         "SYSDBA's name and password come from ISC_USER and ISC_PASSWORD when they are set.\n";
}

TCredentials ServeCredentials(const char* iscUser, const char* iscPassword) {
  TCredentials c{kDefaultUser, kDefaultPassword};
  if (iscUser && *iscUser) c.user = iscUser;
  if (iscPassword && *iscPassword) c.password = iscPassword;
  return c;
}

char SeparatorOfFormat(const std::string& format, char fallback) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    ++i;
    while (i < format.size() && std::string_view("EO-_0^#123456789").find(format[i]) != std::string_view::npos)
      ++i;
    if (i + 1 < format.size()) {
      char next = format[i + 1];
      if (next != '%' && next > ' ' && next < 0x7F) return next;
    }
  }
  return fallback;
}

}  // namespace vantrel
