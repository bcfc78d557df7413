#include "segnali.h"

namespace ondivo::platform {

// Windows has no SIGPIPE: a write to a closed socket fails with an error.
struct SenzaSigpipe::Stato {};

SenzaSigpipe::SenzaSigpipe() = default;
SenzaSigpipe::~SenzaSigpipe() = default;

} // namespace ondivo::platform
