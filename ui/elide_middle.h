#pragma once
// A port name too long for its box, shortened in the middle: its head and
// its tail with an ellipsis between, since both tell ports apart
// ("rfc2217://bench3:7000", ".../usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").
#include <functional>
#include <string>
#include <string_view>

namespace qelisp {

// The ellipsis put between head and tail, in UTF-8.
inline constexpr std::string_view kEllipsis = "\u2026";

// `text` (UTF-8) whole when `textWidth` says it fits `width`; else as many
// of its first and last characters as fit with the ellipsis between, the
// tail a character the longer when they cannot be even.
std::string elideMiddle(const std::string& text, int width, const std::function<int(std::string_view)>& textWidth);

}  // namespace qelisp
