// The generator's three parts, each writing its files into a data folder
// deterministically (the same bytes on every run): the pictures under gfx/
// with their contact sheet, the four .3D models under gfx/, and the
// soundtrack under sfx/ with its spectrogram.
#pragma once

#include <string>

namespace gen {
// Each returns false after printing what went wrong.
bool generate_pictures(const std::string& data_dir);
bool generate_models(const std::string& data_dir);
bool generate_song(const std::string& data_dir);
}  // namespace gen
