#pragma once
// What the status code asks of the system: platform family, server windows, the clock.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class ISystemProbes {
 public:
  virtual ~ISystemProbes() = default;
  virtual bool IsWindowsNT() = 0;
  // A top-level window of this class exists (any title, any program's).
  virtual bool WindowClassExists(const std::wstring& windowClass) = 0;
  // Every server of every installation owns a window of the same class: these two count only
  // the windows whose process runs a program inside rootDir. A window whose process cannot be
  // asked is not counted.
  virtual bool ProgramWindowExists(const std::wstring& windowClass, const std::wstring& rootDir) = 0;
  // Tells changed, on the calling thread, when a window of one of these classes is made anywhere
  // and when the program of a window ProgramWindowExists found ends; once at the start too.
  // Replaces what was followed before. False when the system tells no such thing: then the
  // windows are asked for every period, as before.
  virtual bool FollowWindows(std::vector<std::wstring> classes, std::function<void()> changed) { return false; }
  // Posts WM_CLOSE to each such window; false when there is none.
  virtual bool PostCloseToProgramWindows(const std::wstring& windowClass, const std::wstring& rootDir) = 0;
  // The process runs with the filtered token of an administrator under User Account Control:
  // it could have full rights after an elevation prompt.
  virtual bool UserCanBeElevated() = 0;
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
};

std::unique_ptr<ISystemProbes> CreateSystemProbes();

}  // namespace vantrel
