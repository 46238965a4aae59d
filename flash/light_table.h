// What the flash analysis reads from one RGB565 pixel: its relative
// luminance and its red value, both from the 8-bit colour the PNG capture
// writes for it, looked up in one table of every 16-bit value.
#pragma once

#include <cstdint>

namespace flash {

// Relative luminance in units of 1/10000: 0 is black, lum_one white.
inline constexpr int lum_one = 10000;
// The red value max(0, R - G - B) * 320 (linear R, G, B in 0..1) in units
// of 1/100: 0..32000.
inline constexpr int red_unit = 100;

// One entry per RGB565 value:
//   bits 0..13   luminance, 0..lum_one
//   bits 16..30  red value, 0..320 * red_unit
//   bit  31      saturated red: R / (R + G + B) >= 0.8 (linear)
inline constexpr std::uint32_t saturated_bit = 0x80000000u;
inline std::uint32_t lum_of(std::uint32_t entry) { return entry & 0xFFFFu; }
inline std::uint32_t red_of(std::uint32_t entry) { return (entry >> 16) & 0x7FFFu; }

// The 65536-entry table, built on first use (thread-safe).
const std::uint32_t* light_table();
// The same luminance in 16 bits, bit 15 set for saturated red: half the
// cache the inner loop reads (the red value is looked up only when set).
inline constexpr std::uint16_t saturated_bit16 = 0x8000;
const std::uint16_t* lum_table();

// sRGB channel value 0..255 to linear light 0..1:
//   c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055)^2.4, c = v / 255
double srgb_to_linear(int v);

}  // namespace flash
