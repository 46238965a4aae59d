// RGB565 frames as RGBA bytes (red, green, blue, 255 in memory order), the
// form a web page's canvas takes: each channel widened by repeating its top
// bits into the low bits, as SDL converts. Reads the frame, writes only `out`.
#pragma once

#include <cstdint>

namespace canvas_rgba {


// Converts w x h pixels of `pixels` (pitch_px pixels per row) into `out`,
// w words per row, rows top to bottom.
void convert(const std::uint16_t* pixels, int pitch_px, int w, int h, std::uint32_t* out);

}  // namespace canvas_rgba
