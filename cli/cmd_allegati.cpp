#include "allegati.h"
#include "base64.h"
#include "commands.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

// The attachments as the scanner finds them, in document order: name, a tab, and the size of
// the text decoded as stored (what the window's save writes), or "-" and the decoder's reason
// when it cannot be decoded. Names are printed as the invoice's bytes.
int ComandoAllegati(const Argomenti& argomenti) {
    if (argomenti.size() != 1 || Trim(argomenti[0]).empty())
        return EsitoUso;
    ListaAllegati lista;
    LeggiAllegati(argomenti[0], lista);
    for (const auto& allegato : lista) {
        std::cout << allegato->NomeFile << '\t';
        try {
            std::cout << DimensioneBase64Text(allegato->DatiBase64) << '\n';
        } catch (const EErroreCodifica& e) {
            std::cout << "- (" << e.what() << ")\n";
        }
    }
    return EsitoOk;
}

} // namespace ondivo::cli
