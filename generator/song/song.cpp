// Generator part: the soundtrack sfx/demomusic.xm. Composes the song, writes
// the XM file, renders it once through libopenmpt to report its figures, and
// draws its spectrogram (spectrogram.png in the data folder).
#include <cstdio>
#include <fstream>
#include <string>

#include "parts.h"
#include "song/compose.h"
#include "song/render.h"
#include "song/spectrogram.h"
#include "song/xm_writer.h"
#include "show_files.h"

namespace gen {

bool generate_song(const std::string& data_dir) {
    const std::string path = data_dir + "/" + std::string(show_files::song.in_data());
    std::string error;
    const std::vector<uint8_t> bytes = xm::write(song::compose(), error);
    if (bytes.empty()) {
        std::fprintf(stderr, "ostragen: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "ostragen: %s: cannot write\n", path.c_str());
            return false;
        }
    }

    song::rendering r;
    if (!song::render(bytes, r, error)) {
        std::fprintf(stderr, "ostragen: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    const song::position p72 = r.at(72.01), p80 = r.at(80.01);
    std::fprintf(stderr, "ostragen:   %s: %zu bytes, %.1f s, peak %.2f dBFS, pattern %d row %d at 72 s, pattern %d row %d at 80 s\n",
                 path.c_str(), bytes.size(), r.duration, r.peak_dbfs(), p72.pattern, p72.row, p80.pattern, p80.row);
    std::fprintf(stderr, "ostragen:   RMS per 8 s (dBFS):");
    for (int k = 0; k * 8.0 < r.duration; ++k) std::fprintf(stderr, " %.0f", r.rms_dbfs(k * 8.0, k * 8.0 + 8.0));
    std::fprintf(stderr, "\n");
    if (r.peak_dbfs() > -1.0) std::fprintf(stderr, "ostragen:   warning: %s peaks above -1 dBFS\n", path.c_str());

    const std::string picture = data_dir + "/spectrogram.png";
    if (!song::write_spectrogram(r, picture, error)) {
        std::fprintf(stderr, "ostragen: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace gen
