#pragma once
// Operating-system errors carried as exceptions, with the system's own message text.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantrel {

// The system's message text for an error code, without the trailing line break.
std::wstring SystemErrorText(std::uint32_t code);

// An error raised from the last operating-system error ("raise the last OS error").
class EOSError : public std::runtime_error {
 public:
  EOSError(std::uint32_t code, std::wstring text);
  std::uint32_t Code() const { return code_; }
  const std::wstring& Text() const { return text_; }
  // "System Error.  Code: %d.\r\n%s", or "A call to an OS function failed" without a code.
  std::wstring StandardMessage() const;

 private:
  std::uint32_t code_;
  std::wstring text_;
};

[[noreturn]] void RaiseLastOSError();

// An error of a multi-step action: the handler that started the action shows its message.
class EActionError : public std::runtime_error {
 public:
  explicit EActionError(std::wstring message);
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring message_;
};

// The text the user is shown for the exception being handled; call it inside a catch block.
// Every what() of this program's errors is UTF-8.
std::wstring CaughtErrorText();

}  // namespace vantrel
