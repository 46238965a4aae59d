// Contact sheet of the show: one captured frame per scene, picked from a
// capture folder (frames.csv and its PNG frames) of `ostramere --capture`.
// Reads the capture only; writes one PNG.
#pragma once

#include <string>

namespace gen {
// False after printing what went wrong (naming the file).
bool make_show_sheet(const std::string& capture_dir, const std::string& out_path);
}  // namespace gen
