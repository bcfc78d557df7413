#include "commands.h"
#include "executablepath.h"
#include "lctv.h"
#include "p7menvelope.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

// Unwraps an envelope as the window does and prints the path of its XML: beside it, in the
// user's cache, or the file itself when it is plain XML.
int ComandoP7m(const Argomenti& argomenti) {
    if (argomenti.size() != 1 || Trim(argomenti[0]).empty())
        return EsitoUso;
    std::string xml;
    EstraiXmlDaP7m(argomenti[0], xml, AppDir() + DirOssl);
    std::cout << xml << '\n';
    return EsitoOk;
}

} // namespace ondivo::cli
