#include "allegatielenco.h"

#include "documentoaperto.h"
#include "errors.h"
#include "esploratore.h"
#include "files.h"
#include "fileutil.h"
#include "messages.h"
#include "safename.h"
#include "stylesheetchoice.h"

#include <string_view>

namespace ondivo {

namespace {

// A character a file name may not hold on some system the folder may be copied to.
bool annullata(const std::atomic<bool>* annulla) {
    return annulla && annulla->load();
}

} // namespace

std::string NomeCartellaAllegati(const RigaElenco& riga) {
    std::string nome = NomeDaParti({riga.dati.fornitore, riga.dati.numero});
    if (nome.empty()) {
        nome = UltimoNome(riga.file);
        if (const auto punto = nome.find('.'); punto != std::string::npos && punto > 0)
            nome.erase(punto);
    }
    return NomeFileSicuro(nome);
}

std::string CartelleAllegati::cartellaDi(const RigaElenco& riga) {
    const std::string nome = NomeCartellaAllegati(riga);
    for (int n = 1;; ++n) {
        // A folder's name has no extension: the number goes at its end.
        const std::string candidato = n == 1 ? nome : nome + " (" + std::to_string(n) + ")";
        const std::string percorso = PercorsoAllegato(m_base, candidato);
        const auto voce = m_fileDiNome.find(candidato);
        if (voce != m_fileDiNome.end()) {
            if (voce->second == riga.percorso)
                return percorso;
            continue;
        }
        if (platform::ECartella(percorso) || FileEsiste(percorso))
            continue;
        m_fileDiNome.emplace(candidato, riga.percorso);
        return percorso;
    }
}

int SalvaAllegatiFattura(const std::string& percorso, const std::string& cartella,
                         const std::atomic<bool>* annulla) {
    DocumentoAperto documento = ApriDocumento(
        percorso, FoglioStilePredefinito(),
        {.pagina = false, .allegati = true, .intestazione = false, .estraiAccanto = false},
        annulla);
    if (documento.annullato)
        throw EAnnullata();
    if (!documento.gestito) {
        std::string perche;
        for (const auto& m : documento.messaggi)
            perche += (perche.empty() ? "" : " ") + m;
        throw OndivoError(perche.empty() ? MsgDocumentoNonGestito : perche);
    }
    if (documento.allegati.empty())
        return 0;
    std::string motivo;
    if (!platform::CreaCartella(cartella, motivo))
        throw platform::EFileStreamError("Impossibile creare la cartella " +
                                         platform::PercorsoCompleto(cartella) + ": " + motivo);
    NomiUsati usati;
    int salvati = 0;
    for (const auto& allegato : documento.allegati) {
        if (annullata(annulla))
            throw EAnnullata();
        SalvaAllegato(*allegato, cartella, &usati);
        ++salvati;
    }
    return salvati;
}

} // namespace ondivo
