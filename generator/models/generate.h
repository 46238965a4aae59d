// Generator part: the show's four .3D models under gfx/, written into a
// data folder deterministically (the same bytes on every run).
#pragma once

#include <string>

namespace gen {
// Returns false after printing what went wrong.
bool generate_models(const std::string& data_dir);
}  // namespace gen
