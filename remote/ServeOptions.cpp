#include "remote/ServeOptions.h"

#include <string_view>

#include "remote/Socket.h"

namespace vantrel {
namespace {

constexpr char kDefaultUser[] = "SYSDBA";
constexpr char kDefaultPassword[] = "velmoraxe";

constexpr int kMaxLineTimeoutSeconds = 86400;

// A decimal number from low to high, nothing else; EUsageError with `what` otherwise.
int ParseNumber(const std::string& text, int low, int high, const std::string& what) {
  if (text.empty() || text.size() > 6) throw EUsageError(what);
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw EUsageError(what);
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) throw EUsageError(what);
  return value;
}

// A DNS name as RFC 1123 allows it: dot-separated labels of letters, digits and inner hyphens.
bool IsHostName(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  std::size_t label = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (label == 0 || label > 63 || text[i - 1] == '-' || text[i - label] == '-') return false;
      label = 0;
      continue;
    }
    char c = text[i];
    bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '-') return false;
    ++label;
  }
  return true;
}

bool TakesValue(const std::string& name) {
  for (const char* known : {"--root", "--alias-file", "--data-folder", "--port", "--bind",
                            "--per-client", "--line-timeout", "--allow", "--server"})
    if (name == known) return true;
  return false;
}

void SetOption(TServeOptions& options, const std::string& name, const std::string& value) {
  if (name == "--root") {
    options.root = value;
  } else if (name == "--alias-file") {
    options.aliasFile = value;
  } else if (name == "--data-folder") {
    options.dataFolder = value;
  } else if (name == "--port") {
    options.port = ParseNumber(value, 0, 65535, "--port needs a number from 0 to 65535");
  } else if (name == "--server") {
    options.serverPrefix = ServerPrefixOf(value);
  } else if (name == "--bind") {
    if (!net::ParseIPv4(value)) throw EUsageError("--bind needs an IPv4 address: " + value);
    options.addresses.push_back(value);
  } else if (name == "--per-client") {
    options.limits.perClient = static_cast<std::size_t>(ParseNumber(
        value, 1, static_cast<int>(net::kMaxConnections),
        "--per-client needs a number from 1 to " + std::to_string(net::kMaxConnections)));
  } else if (name == "--line-timeout") {
    options.limits.lineTimeout = std::chrono::seconds(ParseNumber(
        value, 1, kMaxLineTimeoutSeconds,
        "--line-timeout needs seconds from 1 to " + std::to_string(kMaxLineTimeoutSeconds)));
  } else {
    auto network = net::ParseIPv4Network(value);
    if (!network) throw EUsageError("--allow needs an IPv4 address or ADDRESS/BITS: " + value);
    options.limits.allowed.push_back(*network);
  }
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
    if (name == "--version") {
      options.version = true;
      continue;
    }
    if (!TakesValue(name)) throw EUsageError("unknown argument: " + args[i]);
    if (!value) {
      if (i + 1 >= args.size()) throw EUsageError(name + " needs a value");
      value = args[++i];
    }
    SetOption(options, name, *value);
  }
  bool rootNeeded = options.aliasFile.empty() || options.dataFolder.empty();
  if (!options.help && !options.version && rootNeeded && options.root.empty())
    throw EUsageError("--root is required unless --alias-file and --data-folder are given");
  return options;
}

std::string ServerPrefixOf(const std::string& value) {
  const std::string what = "--server needs HOST or HOST/PORT (an IPv4 address or host name, a port "
                           "from 1 to 65535): " + value;
  const std::size_t slash = value.find('/');
  const std::string host = value.substr(0, slash);
  // All digits and dots is meant as an address, and must be a whole one.
  const bool dotted = !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
  if (dotted ? !net::ParseIPv4(host) : !IsHostName(host)) throw EUsageError(what);
  if (slash == std::string::npos) return host + ":";
  const int port = ParseNumber(value.substr(slash + 1), 1, 65535, what);
  if (port == kFirebirdDefaultPort) return host + ":";
  return host + "/" + std::to_string(port) + ":";
}

std::string ServeUsage() {
  return "usage: vantrel-serve --root DIR [options]\n"
         "       vantrel-serve --alias-file FILE --data-folder DIR [options]\n"
         "  --root DIR           folder of aliases.conf; new databases go to DIR/Data/ unless the\n"
         "                       alias file names another default folder\n"
         "  --alias-file FILE    alias file instead of DIR/aliases.conf\n"
         "  --data-folder DIR    folder for new databases instead of DIR/Data/, until the alias\n"
         "                       file names one\n"
         "  --port N             port instead of the alias file's socket port (3049 without one)\n"
         "  --bind ADDR          local IPv4 address to listen on; repeatable. Default: 127.0.0.1\n"
         "                       and the host name's second address\n"
         "  --per-client N       connections at once from one client address (default 16, at\n"
         "                       most 256 for all clients together)\n"
         "  --line-timeout SEC   close a connection whose request line is not finished within\n"
         "                       SEC seconds (default 30)\n"
         "  --allow ADDR[/BITS]  serve only clients in this IPv4 network; repeatable. Default:\n"
         "                       every client\n"
         "  --server HOST[/PORT] the Firebird server that creates the databases (default: the\n"
         "                       local one on port 3050, 127.0.0.1)\n"
         "  --version            print the version and exit\n"
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
