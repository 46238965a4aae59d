// Generator part: every picture of the show under gfx/, and their contact sheet, written into a
// data folder deterministically (the same bytes on every run).
#pragma once

#include <string>

namespace gen {
// Returns false after printing what went wrong.
bool generate_pictures(const std::string& data_dir);
}  // namespace gen
