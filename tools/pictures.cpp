// Generator part: pictures (not written yet).
#include "generator.h"

namespace gen {
bool generate_pictures(const std::string&) { return true; }
}  // namespace gen
