#pragma once
// One-way traces to an outside debug viewer window of class "TfmDebug", by WM_COPYDATA.
#include <string>

namespace vantrel {

void DebugTrace(const std::wstring& text);

// The WM_COPYDATA payload: command byte (1, or 3 for the lone character 0x03), kind + 1,
// the text, a 0 byte. The record's cbData is text length + 4.
std::string DebugPayload(const std::string& ansiText, int messageKind);

namespace detail {
// For tests: viewer starts tried in this process, and forgetting an earlier failed start.
int DebugViewerStartAttempts();
void ResetDebugViewerStarts();
}  // namespace detail

}  // namespace vantrel
