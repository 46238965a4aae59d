// The song's spectrogram picture: one column per row of the song (0.125 s),
// log-frequency spectrum above a level strip, pattern boundaries marked.
// Reads a finished rendering; owns only the PNG it writes.
#pragma once

#include <string>

#include "song/render.h"

namespace song {

// Writes the picture to `path` (PNG); false with a message naming the file on failure.
bool write_spectrogram(const rendering& r, const std::string& path, std::string& error);

}  // namespace song
