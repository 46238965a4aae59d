// Generator part: models (not written yet).
#include "generator.h"

namespace gen {
bool generate_models(const std::string&) { return true; }
}  // namespace gen
