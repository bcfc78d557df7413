#include "allegati.h"
#include "base64.h"
#include "commands.h"
#include "datiallegato.h"
#include "safename.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

// The attachments as the page shows them, in document order: name (UTF-8, control and
// invisible formatting characters shown as "_"), a tab, and the size the saved file will have,
// or "-" and the decoder's reason when it cannot be decoded.
int ComandoAllegati(const Argomenti& argomenti) {
    if (argomenti.size() != 1 || Trim(argomenti[0]).empty())
        return EsitoUso;
    ListaAllegati lista;
    LeggiAllegati(argomenti[0], lista);
    for (const auto& allegato : lista) {
        std::cout << NomeVisibile(allegato->NomeFile) << '\t';
        try {
            std::string copia;
            std::cout << DimensioneBase64Text(DatiDaDecodificare(allegato->DatiBase64, copia))
                      << '\n';
        } catch (const EErroreCodifica& e) {
            std::cout << "- (" << e.what() << ")\n";
        }
    }
    return EsitoOk;
}

} // namespace ondivo::cli
