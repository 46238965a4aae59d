// Contact sheet of the show: reads frames.csv of a capture folder, picks one
// written PNG frame per scene moment below (nearest to its target time, on
// the rows that show the scene at its best) and lays them out with the
// pictures' sheet writer. Touches nothing but the capture and the output.
#include "show_sheet.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/sheet.h"
#include "show_timeline.h"
#include "common/text.h"

namespace gen {

namespace {

namespace fs = std::filesystem;

// One line of frames.csv; music time, pattern and row are -1 before the song.
struct frame_row {
    long index = -1;
    long music_ms = -1;
    int pattern = -1, row = -1;
    std::string scene;
};

// A moment of the show to put on the sheet. For the loading screen (no music
// yet) `target` and the range are frame indices, otherwise music ms from the
// start of the scene as the show's timeline has it.
struct moment {
    const char* scene;
    const char* caption;
    long lo, hi, target;
    uint64_t rows;  // bit r set: row r may be picked
};

constexpr uint64_t any_row = ~uint64_t(0);
// The corner room's active rows: the blob and its light or picture show.
constexpr uint64_t corner_rows = (1ull << 0) | (1ull << 16) | (1ull << 32) | (1ull << 48) | (1ull << 56) | (1ull << 62);
// Rows 2, 6, 10, ...: the backdrop cycle shows new2.
constexpr uint64_t backdrop_new2_rows = 0x4444444444444444ull;

const moment moments[] = {
    {"loading", "loading screen", 150, 260, 200, any_row},
    {"title", "title: logo card", 900, 3500, 1000, any_row},
    {"title", "title: title card", 15900, 18500, 16000, any_row},
    {"beat", "beat scene", 1000, 19000, 5000, any_row},
    {"flame", "flame, scope, lights", 20000, 39000, 25000, any_row},
    {"corner", "corner room, light", 0, 2999, 2000, corner_rows},      // before the sea picture at 83 s
    {"corner", "corner room, new3", 3000, 13299, 8000, corner_rows},
    {"backdrop", "backdrop cycle", 9700, 24600, 16700, backdrop_new2_rows},
    {"greetings", "greetings", 8000, 11900, 10500, any_row},
    {"final", "final room", 3000, 17900, 11000, any_row},
};

// Splits one CSV line on commas (the capture writes no quoted fields).
std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) out.push_back(cell);
    if (!line.empty() && line.back() == ',') out.push_back("");
    return out;
}

bool parse_long(const std::string& s, long& v) {
    if (s.empty()) return false;
    try {
        size_t used = 0;
        v = std::stol(s, &used);
        return used == s.size();
    } catch (...) {
        return false;
    }
}

bool read_frames_csv(const std::string& path, std::vector<frame_row>& rows, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open for reading";
        return false;
    }
    std::string line;
    long n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (n == 1 || line.empty()) continue;  // header
        std::vector<std::string> c = split(line);
        frame_row r;
        long v = 0;
        if ((c.size() != 7 && c.size() != 8) || !parse_long(c[0], r.index) || r.index < 0) {
            error = path + ": line " + std::to_string(n) + " is not 'frame,tick_ms,music_ms,order,pattern,row,scene[,hash]'";
            return false;
        }
        if (parse_long(c[2], v)) r.music_ms = v;
        if (parse_long(c[4], v)) r.pattern = int(v);
        if (parse_long(c[5], v)) r.row = int(v);
        r.scene = c[6];
        rows.push_back(r);
    }
    if (rows.empty()) {
        error = path + ": no frames listed";
        return false;
    }
    return true;
}

// Reads a captured frame as 8-bit RGB (libpng's simplified reader).
bool read_png_rgb(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb, std::string& error) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        error = path + ": not a readable PNG (" + img.message + ")";
        return false;
    }
    if (img.width == 0 || img.height == 0 || img.width > 8192 || img.height > 8192) {
        png_image_free(&img);
        error = path + ": picture size out of range";
        return false;
    }
    img.format = PNG_FORMAT_RGB;
    w = int(img.width), h = int(img.height);
    rgb.assign(PNG_IMAGE_SIZE(img), 0);
    if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) {
        error = path + ": PNG decoding failed (" + img.message + ")";
        return false;
    }
    return true;
}

std::string frame_path(const std::string& dir, long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", index);
    return (fs::path(dir) / name).string();
}

// The written frame of the moment's scene, range and rows nearest its target;
// null when the capture has none.
const frame_row* pick(const std::vector<frame_row>& rows, const moment& m, const std::string& dir) {
    const show_timeline::scene* scene = show_timeline::find(m.scene);  // null: the loading screen
    const bool by_index = !scene;
    const long from = by_index ? 0 : long(scene->first_ms);
    const long lo = from + m.lo, hi = std::min(from + m.hi, by_index ? m.hi : long(scene->last_ms) - 1);
    const long target = from + m.target;
    const frame_row* best = nullptr;
    long best_d = 0;
    for (const frame_row& r : rows) {
        if (r.scene != m.scene) continue;
        const long at = by_index ? r.index : r.music_ms;
        if (at < lo || at > hi) continue;
        if (!by_index && (r.row < 0 || r.row > 63 || !((m.rows >> r.row) & 1))) continue;
        const long d = at > target ? at - target : target - at;
        if (best && d >= best_d) continue;
        if (!fs::exists(frame_path(dir, r.index))) continue;  // only every Nth frame may be written
        best = &r, best_d = d;
    }
    return best;
}

}  // namespace

bool make_show_sheet(const std::string& capture_dir, const std::string& out_path) {
    std::string error;
    std::vector<frame_row> rows;
    if (!read_frames_csv((fs::path(capture_dir) / "frames.csv").string(), rows, error)) {
        std::fprintf(stderr, "ostragen: %s\n", error.c_str());
        return false;
    }
    std::vector<pic::sheet_entry> entries;
    for (const moment& m : moments) {
        const frame_row* r = pick(rows, m, capture_dir);
        if (!r) {
            std::fprintf(stderr, "ostragen: %s: no written frame of scene '%s' for \"%s\" (capture every frame, "
                         "or a smaller --png-every)\n", capture_dir.c_str(), m.scene, m.caption);
            return false;
        }
        pic::sheet_entry e;
        if (!read_png_rgb(frame_path(capture_dir, r->index), e.w, e.h, e.rgb, error)) {
            std::fprintf(stderr, "ostragen: %s\n", error.c_str());
            return false;
        }
        char label[96];
        if (r->music_ms < 0)
            std::snprintf(label, sizeof label, "%s, frame %ld", m.caption, r->index);
        else
            std::snprintf(label, sizeof label, "%s, %.1f s", m.caption, double(r->music_ms) / 1000.0);
        e.name = label;
        std::fprintf(stderr, "ostragen:   %-24s frame %ld\n", m.caption, r->index);
        entries.push_back(std::move(e));
    }
    pic::typesetter ts;
    pic::sheet_layout layout;
    layout.title = "Ostramere 05 - the show, one captured frame per scene (music time)";
    layout.cols = 5, layout.thumb_w = 320, layout.thumb_h = 240;
    if (!pic::write_contact_sheet(out_path, entries, ts, error, layout)) {
        std::fprintf(stderr, "ostragen: %s\n", error.c_str());
        return false;
    }
    std::fprintf(stderr, "ostragen: show sheet written to %s\n", out_path.c_str());
    return true;
}

}  // namespace gen
