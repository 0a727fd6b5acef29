#include "shell/OsError.h"

#include <windows.h>

#include "shell/TextConv.h"

namespace vantrel {

std::wstring SystemErrorText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length && buffer) text.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return text;
}

EOSError::EOSError(std::uint32_t code, std::wstring text)
    : std::runtime_error(ToUtf8(text)), code_(code), text_(std::move(text)) {}

std::wstring EOSError::StandardMessage() const {
  if (code_ == 0) return L"A call to an OS function failed";
  return L"System Error.  Code: " + std::to_wstring(code_) + L".\r\n" + text_;
}

void RaiseLastOSError() {
  DWORD code = GetLastError();
  throw EOSError(code, code ? SystemErrorText(code) : std::wstring());
}

EActionError::EActionError(std::wstring message)
    : std::runtime_error(ToUtf8(message)), message_(std::move(message)) {}

}  // namespace vantrel

namespace vantrel {

std::wstring CaughtErrorText() {
  try {
    throw;
  } catch (const EOSError& e) {
    return e.StandardMessage();
  } catch (const EActionError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return FromUtf8(e.what());
  } catch (...) {
    return EOSError(0, L"").StandardMessage();
  }
}

}  // namespace vantrel
