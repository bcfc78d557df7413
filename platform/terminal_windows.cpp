#include "terminal.h"
#include "largo_windows.h"

namespace ondivo::platform {

bool ErroreStandardSuTerminale() {
    DWORD modo = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &modo) != 0;
}

} // namespace ondivo::platform
