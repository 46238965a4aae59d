// Image loading into a drawing target: decode a PNG or JPEG file and convert
// it to a 16-bit RGB565 surface of the image's own size. Every image load of
// the show goes through here; it never touches the display.
#pragma once

struct bitmap;

// Replaces b's surface by the picture at path converted to 16 bits; both
// rectangles become {0, 0, width, height}. Files are checked before the show
// starts; if one still fails to decode, the bitmap keeps its surface and the
// failure is reported on stderr with the path.
void load_image(bitmap& b, const char* path);

// The path of the last picture loaded into b, or nullptr. (The bitmap may
// have been drawn into since: a checkpoint compares the pixels before it
// names the file instead of keeping them.)
const char* loaded_from(const bitmap& b);
