#include "server/uService.h"

namespace vantrel {
namespace {

// Windows start types (winsvc.h); this file stays free of <windows.h>.
constexpr std::uint32_t AutoStart = 2;
constexpr std::uint32_t DemandStart = 3;
constexpr std::uint32_t Disabled = 4;

}  // namespace

TServiceListItem& TServiceList::AddService(std::wstring serviceName, std::wstring displayName) {
  items_.push_back({std::move(serviceName), std::move(displayName)});
  return items_.back();
}

std::wstring TServiceList::DisplayNames() const {
  std::wstring joined;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) joined += L", ";
    joined += items_[i].DisplayName;
  }
  return joined;
}

void StartTypeToFlags(std::uint32_t startType, bool& enabled, bool& automatic) {
  switch (startType) {
    case AutoStart:
      enabled = true;
      automatic = true;
      break;
    case DemandStart:
      enabled = true;
      automatic = false;
      break;
    case Disabled:
      enabled = false;
      automatic = false;
      break;
    default:  // boot and system start: left as the caller initialised them
      break;
  }
}

std::uint32_t FlagsToStartType(bool enabled, bool automatic) {
  if (!enabled) return Disabled;
  return automatic ? AutoStart : DemandStart;
}

}  // namespace vantrel
