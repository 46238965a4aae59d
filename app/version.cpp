// The text of --version: the show's version and build type, and the versions
// of the libraries it runs on as linked at run time. Opens nothing.
#include "options.h"

#include "platform.h"
#include "sound_layer.h"

#include <string>

#ifndef OSTRA_BUILD_TYPE
#define OSTRA_BUILD_TYPE ""
#endif

std::string version_text() {
    const std::string build = *OSTRA_BUILD_TYPE ? OSTRA_BUILD_TYPE : "no build type";
    return std::string("ostramere 05, version ") + OSTRA_VERSION + " (" + build + " build)\n" +
           platform::describe() + " (linked)\n" + sound_layer::library_version();
}
