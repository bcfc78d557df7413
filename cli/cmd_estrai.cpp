#include "allegati.h"
#include "commands.h"
#include "executablepath.h"
#include "lctv.h"
#include "messages.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

// Decodes every attachment into DIR, by default the attachment folder (the program's, or the
// user's when the program folder cannot be written), and prints how many were saved, each in
// a file of its own.
int ComandoEstrai(const Argomenti& argomenti) {
    if (argomenti.empty() || argomenti.size() > 2 || Trim(argomenti[0]).empty())
        return EsitoUso;
    std::string cartella;
    if (argomenti.size() == 2) {
        cartella = argomenti[1];
    } else {
        if (AppDir().empty())
            ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
        if (AppDir().empty()) {
            std::cerr << MsgErroreAvvio << '\n';
            return EsitoErrore;
        }
        cartella = CartellaAllegati();
        if (cartella.empty()) {
            std::cerr << "Impossibile creare la cartella degli allegati: né " << AppDir()
                      << DirAllegati << " né la cartella dell'utente sono scrivibili\n";
            return EsitoErrore;
        }
        if (CartellaAllegatiUtente(cartella))
            std::cerr << "La cartella del programma non è scrivibile: allegati salvati in "
                      << cartella << '\n';
    }

    std::string messaggio;
    const int scritti = SalvaAllegati(argomenti[0], cartella, messaggio);
    std::cout << scritti << '\n';
    if (!messaggio.empty()) {
        std::cerr << messaggio << '\n';
        return EsitoErrore;
    }
    return EsitoOk;
}

} // namespace ondivo::cli
