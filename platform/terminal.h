#pragma once

namespace ondivo::platform {

// True when standard error goes to a terminal, where progress may be shown.
bool ErroreStandardSuTerminale();

} // namespace ondivo::platform
