// The song's spectrogram picture: Hann-windowed 4096-point FFTs (kissfft) of
// the mono mix, one per song row, drawn on a log-frequency axis 30 Hz..16 kHz
// with a level strip below; written with libpng. Touches nothing else.
#include "song/spectrogram.h"

#include <kiss_fftr.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace song {
namespace {

constexpr int fft_size = 4096;
constexpr int spec_h = 360, gap = 6, strip_h = 64, height = spec_h + gap + strip_h;
constexpr double f_lo = 30.0, f_hi = 16000.0, floor_db = -110.0, top_db = -10.0;
constexpr double column_seconds = 0.125;  // one song row per column

struct rgb {
    uint8_t r, g, b;
};

// Heat map: black, deep blue, purple, red, orange, yellow, white for u = 0..1.
rgb heat(double u) {
    static const double stops[7][3] = {{0, 0, 0}, {20, 10, 90}, {110, 20, 140}, {200, 30, 60}, {245, 120, 20}, {255, 220, 60}, {255, 255, 255}};
    u = std::clamp(u, 0.0, 1.0) * 6.0;
    const int i = std::min(5, int(u));
    const double t = u - i;
    auto mix = [&](int c) { return uint8_t(std::lround(stops[i][c] + (stops[i + 1][c] - stops[i][c]) * t)); };
    return {mix(0), mix(1), mix(2)};
}

// out = (3 * pixel + c) / 4: a faint marker line over the picture.
void mark(std::vector<uint8_t>& img, int width, int x, int y, rgb c) {
    uint8_t* p = &img[(size_t(y) * size_t(width) + size_t(x)) * 3];
    p[0] = uint8_t((3 * p[0] + c.r) / 4);
    p[1] = uint8_t((3 * p[1] + c.g) / 4);
    p[2] = uint8_t((3 * p[2] + c.b) / 4);
}

bool write_png(const std::string& path, const std::vector<uint8_t>& img, int width, int h, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": cannot open for writing";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        error = path + ": libpng failed to write the picture";
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, &img[size_t(y) * size_t(width) * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) {
        error = path + ": write failed";
        return false;
    }
    return true;
}

}  // namespace

bool write_spectrogram(const rendering& r, const std::string& path, std::string& error) {
    const double hop = column_seconds * rendering::rate;
    const int width = std::max(1, int(double(r.mono.size()) / hop));
    std::vector<uint8_t> img(size_t(width) * height * 3, 0);

    kiss_fftr_cfg cfg = kiss_fftr_alloc(fft_size, 0, nullptr, nullptr);
    if (!cfg) {
        error = path + ": cannot set up the FFT";
        return false;
    }
    std::vector<float> window(fft_size), in(fft_size);
    std::vector<kiss_fft_cpx> out(fft_size / 2 + 1);
    double wsum = 0;
    for (int i = 0; i < fft_size; ++i) wsum += window[size_t(i)] = float(0.5 - 0.5 * std::cos(6.283185307179586 * i / fft_size));
    // Pixel row y covers bins [lo_bin[y], hi_bin[y]]; frequency rises upwards on a log axis.
    std::vector<int> lo_bin(spec_h), hi_bin(spec_h);
    const double bin_hz = double(rendering::rate) / fft_size;
    for (int y = 0; y < spec_h; ++y) {
        auto f_at = [](double yy) { return f_lo * std::pow(f_hi / f_lo, (spec_h - yy) / spec_h); };
        lo_bin[size_t(y)] = std::clamp(int(f_at(y + 1.0) / bin_hz), 1, fft_size / 2);
        hi_bin[size_t(y)] = std::clamp(int(f_at(double(y)) / bin_hz), lo_bin[size_t(y)], fft_size / 2);
    }

    for (int x = 0; x < width; ++x) {
        const long centre = long((x + 0.5) * hop);
        double power = 0;
        for (int i = 0; i < fft_size; ++i) {
            const long k = centre - fft_size / 2 + i;
            const float s = (k >= 0 && k < long(r.mono.size())) ? r.mono[size_t(k)] : 0.0f;
            in[size_t(i)] = s * window[size_t(i)];
            power += double(s) * s;
        }
        kiss_fftr(cfg, in.data(), out.data());
        for (int y = 0; y < spec_h; ++y) {
            double m = 0;
            for (int b = lo_bin[size_t(y)]; b <= hi_bin[size_t(y)]; ++b) m = std::max(m, double(out[size_t(b)].r) * out[size_t(b)].r + double(out[size_t(b)].i) * out[size_t(b)].i);
            // dB relative to a full-scale sine: 20 log10(2 |X| / sum(w)).
            const double db = 10.0 * std::log10(m * 4.0 / (wsum * wsum) + 1e-30);
            const rgb c = heat((db - floor_db) / (top_db - floor_db));
            uint8_t* p = &img[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = c.r, p[1] = c.g, p[2] = c.b;
        }
        // Level strip: RMS of the window's mono mix, -45..-5 dBFS as bar height.
        const double rms_db = 10.0 * std::log10(power / fft_size + 1e-20);
        const int bar = std::clamp(int((rms_db + 45.0) / 40.0 * strip_h), 0, strip_h);
        for (int y = 0; y < bar; ++y) {
            uint8_t* p = &img[(size_t(height - 1 - y) * size_t(width) + size_t(x)) * 3];
            p[0] = 60, p[1] = uint8_t(140 + 100 * y / strip_h), p[2] = 90;
        }
    }
    kiss_fftr_free(cfg);

    // Pattern boundaries every 64 columns (8 s) and the 100 Hz / 1 kHz / 10 kHz lines.
    for (int x = 0; x < width; x += 64)
        for (int y = 0; y < height; ++y) mark(img, width, x, y, {255, 255, 255});
    for (double f : {100.0, 1000.0, 10000.0}) {
        const int y = int(spec_h - spec_h * std::log(f / f_lo) / std::log(f_hi / f_lo));
        if (y >= 0 && y < spec_h)
            for (int x = 0; x < width; x += 2) mark(img, width, x, y, {160, 160, 160});
    }
    return write_png(path, img, width, height, error);
}

}  // namespace song
