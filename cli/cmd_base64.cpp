#include "base64.h"
#include "commands.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

// The whole file as one line of Base64 on standard output.
int ComandoBase64(const Argomenti& argomenti) {
    if (argomenti.size() != 1 || Trim(argomenti[0]).empty())
        return EsitoUso;
    std::string testo, messaggio;
    if (!FileToBase64(argomenti[0], testo, messaggio)) {
        std::cerr << messaggio << '\n';
        return EsitoErrore;
    }
    std::cout << testo << '\n';
    std::cout.flush();
    return std::cout ? EsitoOk : EsitoErrore;
}

} // namespace ondivo::cli
