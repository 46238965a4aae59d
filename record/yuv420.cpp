// RGB565 -> Y'CbCr 4:2:0, BT.601 limited range, in 16.16 fixed point:
//   Y  = 16  + ( 0.256788 R + 0.504129 G + 0.097906 B)   R, G, B in 0..255
//   Cb = 128 + (-0.148223 R - 0.290993 G + 0.439216 B)   (from the 2x2 mean)
//   Cr = 128 + ( 0.439216 R - 0.367788 G - 0.071427 B)
// 5- and 6-bit channels widen to 8 bits by repeating their top bits.
#include "yuv420.h"

namespace yuv420 {
namespace {

constexpr int yr = 16829, yg = 33039, yb = 6416;    // * 65536; sum = 219/255
constexpr int ur = -9714, ug = -19070, ub = 28784;  // sum 0
constexpr int vr = 28784, vg = -24103, vb = -4681;  // sum 0

struct rgb {
    int r, g, b;
};

inline rgb widen(std::uint16_t p) {
    const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

// Y = 16 + ..., rounded: the sum stays below 2^24, positive.
inline std::uint8_t luma(const rgb& c) {
    return static_cast<std::uint8_t>((yr * c.r + yg * c.g + yb * c.b + (16 << 16) + (1 << 15)) >> 16);
}

// Chroma of a 2x2 block from its channel sums (each 0..1020): the mean is
// sum / 4, so the 16.16 products shift by 18; 128 << 18 keeps them positive.
inline std::uint8_t chroma(int kr, int kg, int kb, int sr, int sg, int sb) {
    return static_cast<std::uint8_t>((kr * sr + kg * sg + kb * sb + (128 << 18) + (1 << 17)) >> 18);
}

}  // namespace

void from_rgb565(const std::uint16_t* pixels, int w, int h, int pitch, std::uint8_t* out) {
    std::uint8_t* y_plane = out;
    std::uint8_t* u_plane = out + static_cast<std::size_t>(w) * h;
    std::uint8_t* v_plane = u_plane + static_cast<std::size_t>(w / 2) * (h / 2);
    for (int y = 0; y + 1 < h; y += 2) {
        const std::uint16_t* top = pixels + static_cast<std::size_t>(y) * pitch;
        const std::uint16_t* bottom = top + pitch;
        std::uint8_t* y0 = y_plane + static_cast<std::size_t>(y) * w;
        std::uint8_t* y1 = y0 + w;
        std::uint8_t* u = u_plane + static_cast<std::size_t>(y / 2) * (w / 2);
        std::uint8_t* v = v_plane + static_cast<std::size_t>(y / 2) * (w / 2);
        for (int x = 0; x + 1 < w; x += 2) {
            const rgb a = widen(top[x]), b = widen(top[x + 1]);
            const rgb c = widen(bottom[x]), d = widen(bottom[x + 1]);
            y0[x] = luma(a);
            y0[x + 1] = luma(b);
            y1[x] = luma(c);
            y1[x + 1] = luma(d);
            const int sr = a.r + b.r + c.r + d.r, sg = a.g + b.g + c.g + d.g, sb = a.b + b.b + c.b + d.b;
            u[x / 2] = chroma(ur, ug, ub, sr, sg, sb);
            v[x / 2] = chroma(vr, vg, vb, sr, sg, sb);
        }
    }
}

}  // namespace yuv420
