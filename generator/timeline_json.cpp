// The show's timeline table written out as JSON for the web page.
#include "timeline_json.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "show_timeline.h"

namespace gen {

std::string timeline_json() {
    // Names and labels are plain ASCII words: nothing to escape.
    std::string out = "{\"end_ms\": " + std::to_string(show_timeline::show_end_ms) + ", \"scenes\": [\n";
    for (int i = 0; i < show_timeline::scene_count; ++i) {
        const show_timeline::scene& s = show_timeline::scenes[i];
        out += std::string("  {\"name\": \"") + s.name + "\", \"label\": \"" + s.label +
               "\", \"first_ms\": " + std::to_string(s.first_ms) + ", \"last_ms\": " + std::to_string(s.last_ms) +
               ", \"chapter\": " + (s.chapter ? "true" : "false") + "}" +
               (i + 1 < show_timeline::scene_count ? ",\n" : "\n");
    }
    return out + "]}\n";
}

bool write_timeline_json(const std::string& path) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    const std::string text = timeline_json();
    if (!f || !f.write(text.data(), static_cast<std::streamsize>(text.size())) || !f.flush()) {
        std::fprintf(stderr, "ostragen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace gen
