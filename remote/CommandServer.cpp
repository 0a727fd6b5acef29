#include "remote/CommandServer.h"

#include <algorithm>

#include "remote/ProtocolTexts.h"

namespace vantrel {

namespace {
constexpr char kLoopback[] = "127.0.0.1";
}

TCommandServer::TCommandServer(ICommandHost& host, TProtocolOptions options,
                               net::TListenerLimits limits)
    : host_(host),
      protocol_(host, std::move(options)),
      listener_([this](net::TConnection& c) { protocol_.ServeConnection(c); },
                std::move(limits)) {}

TCommandServer::~TCommandServer() { Stop(); }

void TCommandServer::Start(const std::vector<net::TBinding>& bindings) {
  Stop();
  listener_.Start(bindings);
}

void TCommandServer::Stop() {
  host_.CancelWork();
  listener_.Stop();
  host_.AcceptWork();
}

std::vector<TAddressEntry> AddressListEntries(const std::vector<std::string>& hostAddresses) {
  std::vector<TAddressEntry> entries;
  for (const std::string& a : hostAddresses) entries.push_back({a, false});
  auto isLoopback = [](const TAddressEntry& e) { return e.address == kLoopback; };
  auto loopback = std::find_if(entries.begin(), entries.end(), isLoopback);
  if (loopback == entries.end()) {
    entries.insert(entries.begin(), {kLoopback, false});
    loopback = entries.begin();
  }
  loopback->ticked = true;
  if (entries.size() > 1) entries[1].ticked = true;
  return entries;
}

std::vector<std::string> TickedAddresses(const std::vector<TAddressEntry>& entries) {
  std::vector<std::string> ticked;
  for (const TAddressEntry& e : entries)
    if (e.ticked) ticked.push_back(e.address);
  return ticked;
}

std::vector<std::string> HostAddressTexts() {
  net::TSocketLibrary library;
  std::vector<std::string> texts;
  if (!library.Started()) return texts;
  for (std::uint32_t a : net::HostIPv4Addresses()) texts.push_back(net::FormatIPv4(a));
  return texts;
}

std::string BoundLogLine(const net::TBinding& binding) {
  return texts::kLogBound + binding.address + " :" + std::to_string(binding.port);
}

}  // namespace vantrel
