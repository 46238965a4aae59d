// ostragen: writes every picture, model and the song of the show into a data
// folder (gfx/ and sfx/, and the timeline for the web page), the same bytes
// on every run; with --show-sheet it
// instead makes the show's contact sheet from a capture folder.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "parts.h"
#include "show_sheet.h"
#include "timeline_json.h"

int main(int argc, char** argv) {
    CLI::App app{"Generates the pictures, models and song of Ostramere 05"};
    std::string out = "data";
    app.add_option("-o,--out", out, "data folder to write gfx/ and sfx/ into");
    std::string capture_dir, sheet_out = "show_sheet.png";
    app.add_option("--show-sheet", capture_dir,
                   "make the show's contact sheet from this capture folder (frames.csv and PNG frames) "
                   "instead of writing the data");
    app.add_option("--sheet-out", sheet_out, "PNG file of the show's contact sheet (default show_sheet.png)");
    CLI11_PARSE(app, argc, argv);
    if (!capture_dir.empty()) return gen::make_show_sheet(capture_dir, sheet_out) ? 0 : 1;

    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(out) / "gfx", ec);
    std::filesystem::create_directories(std::filesystem::path(out) / "sfx", ec);
    if (ec) {
        std::fprintf(stderr, "ostragen: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    const struct {
        const char* what;
        bool (*run)(const std::string&);
    } steps[] = {{"pictures", gen::generate_pictures}, {"models", gen::generate_models}, {"song", gen::generate_song}};
    int n = 0;
    for (const auto& s : steps) {
        std::fprintf(stderr, "ostragen: [%d/3] %s\n", ++n, s.what);
        if (!s.run(out)) return 1;
    }
    if (!gen::write_timeline_json((std::filesystem::path(out) / "timeline.json").string())) return 1;
    std::fprintf(stderr, "ostragen: data written to %s\n", out.c_str());
    return 0;
}
