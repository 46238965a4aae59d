// Model generator: the builders of the show's four models. Each returns the
// objects of one .3D file in file order; models.cpp writes them.
#pragma once

#include <vector>

#include "models/mesh.h"

namespace mdl {
// nygris2: teeth 0..4, head 5, eyes 6 and 7, gold ornament 8. File axes:
// x points back (the face looks toward -x), y to the creature's left side,
// z up; about 1.6 units tall.
std::vector<mesh> build_nygris();
// blob1: one lumpy closed object, radius about 1, every face with vertices
// of its own.
std::vector<mesh> build_blob();
// rom2: floor, back walls, pillars, ceiling arches (0..3) and the metal
// centrepiece (4); y up, about 560 units across.
std::vector<mesh> build_rom();
// b_kunhjørner: the flat corner room, x and y as pixel offsets from the
// picture's centre, texture coordinates 0..1.
std::vector<mesh> build_corner_room();
}  // namespace mdl
