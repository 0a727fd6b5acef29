#pragma once
// Display scaling. Every window is laid out in 96-DPI design units and placed at the DPI of the
// monitor it is on; these helpers are the only place that scales. Functions that Windows 7 and 8
// lack are looked up at run time, with the system DPI as the fallback.
#include <windows.h>

#include <initializer_list>
#include <utility>

#include "shell/Controls.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vantrel::dpi {

inline constexpr UINT kDesignDpi = 96;

// Where a DPI and a screen are read from: the system's functions, looked up once. Tests replace
// entries to play monitors Wine cannot show; a null entry falls back as Windows 7 would.
struct TMonitorLookups {
  UINT(WINAPI* dpiForWindow)(HWND) = nullptr;                           // Windows 10 1607
  HRESULT(WINAPI* dpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;  // Windows 8.1
  HMONITOR (*monitorOf)(HWND window) = nullptr;
  HMONITOR (*taskbarMonitor)() = nullptr;
  bool (*workArea)(HMONITOR monitor, RECT& area) = nullptr;
};
TMonitorLookups& MonitorLookups();

UINT SystemDpi();
// The DPI of a monitor; the system DPI where monitors have no DPI of their own.
UINT ForMonitor(HMONITOR monitor);
// The DPI of the monitor the window is on (its top-level window's).
UINT ForWindow(HWND window);
// The notification area draws its icons at the DPI of the taskbar's monitor.
UINT ForTaskbar();
// Puts the window in the middle of the work area of its owner's monitor (without an owner, of
// the primary monitor).
void CentreOver(HWND window, HWND owner);

inline int Scale(int designValue, UINT dpi) { return MulDiv(designValue, static_cast<int>(dpi), kDesignDpi); }
inline int Unscale(int pixels, UINT dpi) { return MulDiv(pixels, kDesignDpi, static_cast<int>(dpi)); }
RECT Scale(const ui::Rect& design, UINT dpi);

// GetSystemMetrics for a DPI (the icon sizes, the frame).
int SystemMetric(int index, UINT dpi);
// The window rectangle around a client rectangle at that DPI.
void AdjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
// A top-level window's frame, at the origin, around a client area given in design units.
RECT FrameAround(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);
// Resizes the window so that its client area is the design size at dpi (menus, wrapped captions
// and the like make the frame differ from what FrameAround foresaw).
void FitClientArea(HWND window, int clientWidth, int clientHeight, UINT dpi);
// An icon resource at the exact size (scaled down from a larger image where needed): the small
// size for the title bar and the notification area, the large one for Alt+Tab. The caller owns it.
HICON LoadSmallIcon(HINSTANCE instance, const wchar_t* name, UINT dpi);
HICON LoadLargeIcon(HINSTANCE instance, const wchar_t* name, UINT dpi);
// For WM_NCCREATE of a top-level window: per-monitor (v1) systems then scale its frame too.
void EnableNonClientScaling(HWND window);
// Makes the calling thread per-monitor aware when the manifest could not (harmless if refused).
void BecomePerMonitorAware();

// Puts a control at its design rectangle for dpi and remembers that rectangle, so a change of
// DPI can place it again. Relative to its parent, as CreateWindowEx takes it.
void Place(HWND control, const ui::Rect& design, UINT dpi);
// The same in two steps, for a control made at its place: where design lands at dpi, and the
// design rectangle kept for the next change of DPI.
RECT ScaledPlace(const ui::Rect& design, UINT dpi);
void RememberDesignRect(HWND control, const ui::Rect& design);
// Whether the control was placed by Place, and where, in design units.
bool DesignRect(HWND control, ui::Rect& design);
// A window's normal and bold font at its DPI. Rescale makes the pair for another DPI, hands it to
// every control of top that had the old pair, places the controls again and frees the old pair.
class TWindowFonts {
 public:
  explicit TWindowFonts(UINT dpi);
  ~TWindowFonts();
  TWindowFonts(const TWindowFonts&) = delete;
  TWindowFonts& operator=(const TWindowFonts&) = delete;
  UINT Dpi() const { return dpi_; }
  HFONT Normal() const { return normal_; }
  HFONT Bold() const { return bold_; }
  void Rescale(HWND top, UINT dpi);

 private:
  UINT dpi_;
  HFONT normal_, bold_;
};

// Places every descendant of top that has a design rectangle for dpi, gives each control whose
// font is one of the pairs' first the pair's second, and scales list-view columns from oldDpi.
void Relayout(HWND top, UINT oldDpi, UINT dpi, std::initializer_list<std::pair<HFONT, HFONT>> fonts);

}  // namespace vantrel::dpi
