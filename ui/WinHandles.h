// Owning handle types for the window's GDI objects, device contexts and windows.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace kestel {

template <class Handle>
using UniqueGdi = Unique<Handle, DeleteObject>;
using UniqueWindow = Unique<HWND, DestroyWindow>;
using UniqueMemoryDc = Unique<HDC, DeleteDC>;

// A window's (or the screen's, for nullptr) device context, released at scope end.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back at scope end.
class SelectionScope {
 public:
  SelectionScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectionScope() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectionScope(const SelectionScope&) = delete;
  SelectionScope& operator=(const SelectionScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace kestel
