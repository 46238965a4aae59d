// An XM module's layout checked against its bytes before the player sees
// it: the header, every pattern's packed data, every instrument's header,
// sample headers and sample data must lie inside the file (the player
// itself plays a cut file silently short). Reads bytes only.
#pragma once

#include <cstddef>
#include <string>

// Empty when the bytes are an XM 1.04 module that holds every byte its
// headers claim; else what is wrong ("the file ends inside pattern 12's
// data (at byte 741906 of the 1483813 its headers need)").
std::string check_xm(const unsigned char* data, std::size_t size);
