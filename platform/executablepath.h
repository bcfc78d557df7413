#pragma once

#include <string>

namespace ondivo::platform {

// Full path of the running executable, or "" when the system cannot tell.
std::string PercorsoEseguibile();

} // namespace ondivo::platform
