#include "shell/DbugIntf.h"

namespace vantrel {
namespace {

constexpr char CommandMessage = 1;
constexpr char CommandSeparator = 3;  // the viewer draws a separator for the lone 0x03 text

}  // namespace

std::string DebugPayload(const std::string& ansiText, int messageKind) {
  std::string payload;
  payload.reserve(ansiText.size() + 3);
  payload += ansiText == "\x03" ? CommandSeparator : CommandMessage;
  payload += static_cast<char>(messageKind + 1);
  payload += ansiText;
  payload += '\0';
  return payload;
}

}  // namespace vantrel
