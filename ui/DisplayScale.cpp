#include "ui/DisplayScale.h"

namespace kestel {

DisplayScale::DisplayScale() : user32_(LoadSystemLibrary("user32.dll")) {
  if (user32_) {
    dpiForWindow_ = ProcedureOf<DpiForWindowFunction>(user32_.get(), "GetDpiForWindow");
    adjustForDpi_ = ProcedureOf<AdjustForDpiFunction>(user32_.get(), "AdjustWindowRectExForDpi");
    parametersForDpi_ = ProcedureOf<ParametersForDpiFunction>(user32_.get(), "SystemParametersInfoForDpi");
  }
  WindowDc screen(nullptr);
  if (screen.get() != nullptr) {
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    if (dpi > 0) systemDpi_ = dpi;
  }
}

void FitClientArea(HWND window, int clientWidth, int clientHeight) {
  RECT outer{};
  RECT client{};
  if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return;
  if (client.right == clientWidth && client.bottom == clientHeight) return;
  SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + clientWidth - client.right,
               outer.bottom - outer.top + clientHeight - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int DisplayScale::DpiOf(HWND window) const {
  if (dpiForWindow_ != nullptr && window != nullptr) {
    const UINT dpi = dpiForWindow_(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return systemDpi_;
}

RECT DisplayScale::OuterOf(const RECT& client, DWORD style, DWORD exStyle, int dpi) const {
  RECT outer = client;
  if (adjustForDpi_ != nullptr && adjustForDpi_(&outer, style, FALSE, exStyle, static_cast<UINT>(dpi))) return outer;
  outer = client;
  AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  if (dpi == systemDpi_) return outer;
  // Only the system DPI's frame is known here: each side of it is scaled to the DPI asked for.
  const auto side = [&](LONG frame) { return static_cast<LONG>(MulDiv(frame, dpi, systemDpi_)); };
  return RECT{client.left - side(client.left - outer.left), client.top - side(client.top - outer.top),
              client.right + side(outer.right - client.right), client.bottom + side(outer.bottom - client.bottom)};
}

UniqueGdi<HFONT> DisplayScale::MessageFont(int dpi) const {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (parametersForDpi_ != nullptr &&
      parametersForDpi_(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi)))
    return UniqueGdi<HFONT>(CreateFontIndirectW(&metrics.lfMessageFont));
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    if (dpi != systemDpi_) metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi_);
    return UniqueGdi<HFONT>(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  return UniqueGdi<HFONT>(CreateFontW(-Scaled(12, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
}

}  // namespace kestel
