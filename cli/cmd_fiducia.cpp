#include "commands.h"
#include "errors.h"
#include "esecuzione.h"
#include "executablepath.h"
#include "fiducia.h"
#include "files.h"
#include "lctv.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

namespace {

void descrivi(const ElencoFiducia& elenco, std::size_t certificatori) {
    std::cout << ControlliVisibili(SintesiElencoFiducia(elenco, certificatori)) << '\n';
    const std::string avviso = AvvisoAggiornamentoElenco(elenco);
    if (!avviso.empty())
        std::cout << "Attenzione: elenco " << avviso << '\n';
}

} // namespace

// The trusted list the signatures are checked against: which one is kept, a file imported,
// or an update downloaded from its public address by the viewer (this program has no network
// code of its own).
int ComandoFiducia(const Argomenti& argomenti) {
    if (argomenti.empty())
        return EsitoUso;
    const std::string& azione = argomenti[0];
    if (azione == "stato" && argomenti.size() == 1) {
        const ElencoFiducia elenco = DescrizioneFiduciaSalvata();
        const Fiducia fiducia = CaricaFiducia();
        if (fiducia.vuota()) {
            std::cout << "Nessun elenco di fiducia importato\n";
        } else {
            std::cout << "Elenco di fiducia: ";
            descrivi(elenco, fiducia.numero());
        }
        std::cout << "Indirizzo per l'aggiornamento: "
                  << ControlliVisibili(IndirizzoElencoFiducia()) << '\n';
        return EsitoOk;
    }
    if (azione == "importa" && argomenti.size() == 2 && !Trim(argomenti[1]).empty()) {
        const ElencoFiducia elenco = AccettaElencoFiducia(platform::LeggiFile(argomenti[1]));
        std::cout << "Elenco di fiducia importato: ";
        descrivi(elenco, elenco.certificati.size());
        return EsitoOk;
    }
    if (azione == "aggiorna" && argomenti.size() <= 2) {
        std::vector<std::string> comando{AppDir() + "ondivo", "--aggiorna-fiducia"};
        if (argomenti.size() == 2)
            comando.push_back(argomenti[1]);
        const auto esito =
            platform::EseguiProgrammaCollegato(comando, {"QT_QPA_PLATFORM=offscreen"});
        if (esito.fine != platform::EsitoProgramma::Fine::Terminato)
            throw OndivoError("Impossibile avviare " + comando.front() +
                              ", che scarica l'elenco di fiducia");
        return esito.codiceUscita == 0 ? EsitoOk : EsitoErrore;
    }
    return EsitoUso;
}

} // namespace ondivo::cli
