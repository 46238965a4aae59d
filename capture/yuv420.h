// RGB565 pictures to the 4:2:0 YUV planes a video encoder takes: BT.601
// limited range (black 16, white 235, chroma 128 +- 112), chroma from each
// 2x2 block's mean colour. Plain integer arithmetic, no tables, no state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace yuv420 {

// Bytes of the planes of a w x h picture (w and h even): Y, then U, then V.
inline constexpr std::size_t size(int w, int h) {
    return static_cast<std::size_t>(w) * h * 3 / 2;
}

// Converts a w x h RGB565 picture (rows `pitch` pixels apart) into the
// planes at out (size(w, h) bytes). w and h must be even.
void from_rgb565(const std::uint16_t* pixels, int w, int h, int pitch, std::uint8_t* out);

}  // namespace yuv420
