// ostragen: writes every picture, model and the song of the show into a data
// folder (gfx/ and sfx/), the same bytes on every run.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "generator.h"

int main(int argc, char** argv) {
    CLI::App app{"Generates the pictures, models and song of Ostramere 05"};
    std::string out = "data";
    app.add_option("-o,--out", out, "data folder to write gfx/ and sfx/ into");
    CLI11_PARSE(app, argc, argv);

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
    std::fprintf(stderr, "ostragen: data written to %s\n", out.c_str());
    return 0;
}
