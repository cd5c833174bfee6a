// The windows are designed in pixels at 96 dpi; at any other display scale every length of that
// design is scaled by the window's DPI. The functions that tell a window's DPI and size a frame or a
// font for it came with Windows 10 (1607): they are looked up in user32 at run time, and where they
// are missing (Windows 7 and 8, which run us system-aware) the system DPI stands in for them.
#pragma once

#include <windows.h>

#include "base/SystemLibrary.h"
#include "ui/WinHandles.h"

namespace kestel {

inline constexpr int kDesignDpi = 96;

// A length of the 96-dpi design at dpi, rounded to the nearest pixel as MulDiv rounds.
constexpr int Scaled(int length, int dpi) {
  const long long product = static_cast<long long>(length) * dpi;
  return static_cast<int>(product >= 0 ? (product + kDesignDpi / 2) / kDesignDpi
                                       : -((-product + kDesignDpi / 2) / kDesignDpi));
}

// A rectangle of the design at dpi. Its edges are scaled rather than its size, so that controls that
// touch in the design still touch and the gaps between them scale with everything else.
constexpr RECT ScaledRect(int left, int top, int width, int height, int dpi) {
  return RECT{Scaled(left, dpi), Scaled(top, dpi), Scaled(left + width, dpi), Scaled(top + height, dpi)};
}

// Sizes window so that its client area is clientWidth by clientHeight, keeping its top-left corner.
// The frame is the one the window really has (its window rectangle less its client rectangle), which
// is not always the frame AdjustWindowRectEx computes for its styles: some implementations draw a
// taller caption at some scales. The window must already be larger than its frame.
void FitClientArea(HWND window, int clientWidth, int clientHeight);

class DisplayScale {
 public:
  DisplayScale();
  DisplayScale(const DisplayScale&) = delete;
  DisplayScale& operator=(const DisplayScale&) = delete;

  // The DPI the window is shown at: its monitor's under per-monitor awareness, else the system's.
  int DpiOf(HWND window) const;
  // The outer rectangle of a window of these styles whose client area is client, at dpi.
  RECT OuterOf(const RECT& client, DWORD style, DWORD exStyle, int dpi) const;
  // The font the system uses for message boxes, at dpi.
  UniqueGdi<HFONT> MessageFont(int dpi) const;

 private:
  using DpiForWindowFunction = UINT WINAPI(HWND);
  using AdjustForDpiFunction = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT);
  using ParametersForDpiFunction = BOOL WINAPI(UINT, UINT, void*, UINT, UINT);

  UniqueModule user32_;
  DpiForWindowFunction* dpiForWindow_ = nullptr;
  AdjustForDpiFunction* adjustForDpi_ = nullptr;
  ParametersForDpiFunction* parametersForDpi_ = nullptr;
  int systemDpi_ = kDesignDpi;
};

}  // namespace kestel
