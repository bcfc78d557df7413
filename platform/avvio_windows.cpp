#include "avvio.h"
#include "largo_windows.h"

#include <shellapi.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace ondivo::platform {

std::vector<std::string> AvviaProgramma(int argc, char** argv) {
    // Bytes go out as written: no "\n" turned into "\r\n", so files and pipes get what Linux
    // gets; the console shows UTF-8 as such.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);

    // argv holds the arguments in the ANSI code page, where accented names may be lost: the
    // wide command line has them whole.
    int n = 0;
    LPWSTR* largo = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!largo)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> argomenti;
    argomenti.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        argomenti.push_back(Stretto(largo[i]));
    LocalFree(largo);
    return argomenti;
}

} // namespace ondivo::platform
