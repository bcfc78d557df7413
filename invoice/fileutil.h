#pragma once

#include <string>

namespace ondivo {

// True for an existing regular file (a symbolic link counts by its target); false for a
// folder, a device, a pipe or nothing at all.
bool FileEsiste(const std::string& percorso);

} // namespace ondivo
