#pragma once
// The command server: the threaded listener serving the command protocol for one host.
#include <string>
#include <vector>

#include "remote/CommandHost.h"
#include "remote/CommandProtocol.h"
#include "remote/Listener.h"

namespace vantrel {

class TCommandServer {
 public:
  TCommandServer(ICommandHost& host, TProtocolOptions options, net::TListenerLimits limits = {});
  ~TCommandServer();

  // Throws net::ESocketError when a binding fails; nothing listens then.
  void Start(const std::vector<net::TBinding>& bindings);
  // Cancels work waiting on the host first, so a connection waiting there cannot hold the stop.
  void Stop();
  bool Active() const { return listener_.Active(); }
  std::uint16_t BoundPort(std::size_t i) const { return listener_.BoundPort(i); }
  std::size_t OpenConnections() const { return listener_.OpenConnections(); }

 private:
  ICommandHost& host_;
  TCommandProtocol protocol_;
  net::TTcpListener listener_;
};

// One entry of the listener's address list, as the socket page shows it.
struct TAddressEntry {
  std::string address;
  bool ticked = false;
};

// The host's addresses with 127.0.0.1 put first when missing; 127.0.0.1 and the second entry
// are ticked.
std::vector<TAddressEntry> AddressListEntries(const std::vector<std::string>& hostAddresses);
std::vector<std::string> TickedAddresses(const std::vector<TAddressEntry>& entries);
// The local host's IPv4 addresses, dotted.
std::vector<std::string> HostAddressTexts();

// "Sunucu bağlandı " + address + " :" + port (UTF-8).
std::string BoundLogLine(const net::TBinding& binding);

}  // namespace vantrel
