#include "allegati.h"
#include "base64.h"
#include "datiallegato.h"
#include "files.h"
#include "fileutil.h"
#include "lctv.h"
#include "safename.h"

#include <exception>

namespace ondivo {

namespace {

// More files of one name than anyone keeps; past it the save fails rather than search on.
constexpr int kNumeriMassimi = 10000;

// The attachment's text as it decodes; the only decoding error, an uneven length, is raised
// here, before any file is made.
std::string_view testoDaDecodificare(const TAllegatoItem& allegato, std::string& copia) {
    const std::string_view base64 = DatiDaDecodificare(allegato.DatiBase64, copia);
    if (base64.size() % 4 != 0)
        throw EErroreCodifica(MsgDimensioneDecodifica);
    return base64;
}

// Decoded in blocks straight into the file, so a large attachment never stands whole in
// memory beside its text.
void scriviDecodificato(std::string_view base64, platform::TFileScrittura& file) {
    const TDecodificatoreMIME decodificatore;
    constexpr std::size_t kBloccoTesto = std::size_t{1} << 20; // whole groups of four
    std::string byte;
    for (std::size_t da = 0; da < base64.size(); da += kBloccoTesto) {
        byte.clear();
        decodificatore.DecodeToStream(base64.substr(da, kBloccoTesto), byte);
        file.Scrivi(byte);
    }
}

} // namespace

void SalvaAllegatoCome(const TAllegatoItem& allegato, const std::string& destinazione) {
    std::string copia;
    const std::string_view base64 = testoDaDecodificare(allegato, copia);
    platform::TFileScrittura file(destinazione);
    scriviDecodificato(base64, file);
    file.Conferma();
}

std::string SalvaAllegato(const TAllegatoItem& allegato, const std::string& cartella,
                          NomiUsati* usati) {
    std::string copia;
    const std::string_view base64 = testoDaDecodificare(allegato, copia);
    const std::string nome = NomeFileSicuro(allegato.NomeFile);
    platform::TFileScrittura file(PercorsoAllegato(cartella, nome));
    scriviDecodificato(base64, file);

    for (int n = 1; n <= kNumeriMassimi; ++n) {
        const std::string candidato = n == 1 ? nome : NomeNumerato(nome, n);
        if (usati && usati->count(candidato))
            continue;
        // Safe names stay as they are under the rule again.
        const std::string percorso = PercorsoAllegato(cartella, candidato);
        // A file already there is someone's: kept when it is this attachment, else left alone.
        if (file.ConfermaSeLibero(percorso) || file.UgualeA(percorso)) {
            if (usati)
                usati->insert(candidato);
            return platform::PercorsoCompleto(percorso);
        }
    }
    throw platform::EFileStreamError("Impossibile scrivere " +
                                     platform::PercorsoCompleto(PercorsoAllegato(cartella, nome)) +
                                     ": troppi file con lo stesso nome");
}

int SalvaAllegati(const std::string& file, const std::string& cartella, std::string& messaggio) {
    messaggio.clear();
    int conteggio = 0;
    try {
        if (!FileEsiste(file))
            return 0;
        ListaAllegati lista;
        LeggiAllegati(file, lista);
        std::string motivo;
        if (!platform::CreaCartella(cartella, motivo))
            throw platform::EFileStreamError("Impossibile creare la cartella " +
                                             platform::PercorsoCompleto(cartella) + ": " + motivo);
        NomiUsati usati;
        for (const auto& allegato : lista) {
            SalvaAllegato(*allegato, cartella, &usati);
            ++conteggio;
        }
    } catch (const std::bad_alloc&) {
        messaggio = "Memoria insufficiente per salvare gli allegati di " + file;
    } catch (const std::exception& e) {
        messaggio = e.what();
    }
    return conteggio;
}

std::string CartellaAllegati() {
    const std::string delProgramma = AppDir() + DirAllegati;
    if (!AppDir().empty() && platform::CartellaScrivibile(delProgramma))
        return delProgramma;
    const std::string utente = platform::CartellaDatiUtente();
    if (utente.empty())
        return {};
    const std::string cartella = utente + DirAllegati;
    return platform::CartellaScrivibile(cartella) ? cartella : std::string();
}

bool CartellaAllegatiUtente(const std::string& cartella) {
    return AppDir().empty() || cartella.rfind(AppDir(), 0) != 0;
}

} // namespace ondivo
