// Generator part: the soundtrack sfx/demomusic.xm and its spectrogram, written into a
// data folder deterministically (the same bytes on every run).
#pragma once

#include <string>

namespace gen {
// Returns false after printing what went wrong.
bool generate_song(const std::string& data_dir);
}  // namespace gen
