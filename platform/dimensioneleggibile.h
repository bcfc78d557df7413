#pragma once

#include <cstdint>
#include <string>

namespace ondivo::platform {

// "30,0 GB", "512,0 MB": a size as the refusal of a huge file names it.
std::string DimensioneLeggibile(std::uint64_t byte);

} // namespace ondivo::platform
