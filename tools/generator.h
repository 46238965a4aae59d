// The data generator's parts: each writes its files under the data folder
// (gfx/ for pictures and models, sfx/ for the song), deterministically.
#pragma once

#include <string>

namespace gen {
// Each returns false after printing what went wrong.
bool generate_pictures(const std::string& data_dir);
bool generate_models(const std::string& data_dir);
bool generate_song(const std::string& data_dir);
}  // namespace gen
