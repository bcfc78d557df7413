#include "terminal.h"

#include <unistd.h>

namespace ondivo::platform {

bool ErroreStandardSuTerminale() {
    return isatty(STDERR_FILENO) == 1;
}

} // namespace ondivo::platform
