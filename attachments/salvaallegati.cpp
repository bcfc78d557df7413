#include "allegati.h"
#include "base64.h"
#include "blocchiallegati.h"
#include "files.h"
#include "fileutil.h"
#include "safename.h"
#include "scantext.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

namespace ondivo {

namespace {

char minuscola(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// What follows the first "base64," (any letter case), or the whole text when it has none.
// Commas never occur in Base64 itself, so only the few commas of a header are looked at.
std::string_view senzaIntestazioneDataUrl(std::string_view dati) {
    constexpr std::string_view marca = "base64";
    const char* const inizio = dati.data();
    const char* p = inizio;
    const char* const fine = inizio + dati.size();
    while (const void* trovata = std::memchr(p, ',', static_cast<std::size_t>(fine - p))) {
        const auto virgola = static_cast<std::size_t>(static_cast<const char*>(trovata) - inizio);
        if (virgola >= marca.size()) {
            bool uguale = true;
            for (std::size_t k = 0; k < marca.size() && uguale; ++k)
                uguale = minuscola(dati[virgola - marca.size() + k]) == marca[k];
            if (uguale)
                return dati.substr(virgola + 1);
        }
        p = inizio + virgola + 1;
    }
    return dati;
}

// Decodes in blocks straight into the file, so a large attachment never stands whole in memory
// beside the invoice. The only decoding error, an uneven length, is checked first, so a text
// that cannot be decoded creates no file.
std::string scriviAllegato(const std::string& cartella, std::string_view nome,
                           std::string_view base64) {
    if (base64.size() % 4 != 0)
        throw EErroreCodifica(MsgDimensioneDecodifica);
    std::string percorso = PercorsoAllegato(cartella, nome);
    platform::TFileScrittura file(percorso);
    const TDecodificatoreMIME decodificatore;
    constexpr std::size_t kBloccoTesto = std::size_t{1} << 20; // whole groups of four
    std::string byte;
    for (std::size_t da = 0; da < base64.size(); da += kBloccoTesto) {
        byte.clear();
        decodificatore.DecodeToStream(base64.substr(da, kBloccoTesto), byte);
        file.Scrivi(byte);
    }
    file.Conferma();
    return percorso;
}

} // namespace

int SalvaAllegati(const std::string& file, const std::string& cartella, std::string& messaggio) {
    messaggio.clear();
    int conteggio = 0;
    try {
        if (!FileEsiste(file))
            return 0;
        const std::string byte = platform::LeggiFile(file);
        const std::string_view testo = FinoAlPrimoZero(byte);
        // Not checked: a folder that could not be made shows up when its first file is created.
        std::error_code ignorato;
        std::filesystem::create_directories(std::filesystem::path(cartella), ignorato);

        std::size_t pos = 1;
        BloccoAllegato blocco;
        while (ProssimoAllegato(testo, pos, blocco)) {
            // A text without line breaks, the usual case, is decoded where it lies.
            std::string copia;
            std::string_view dati = blocco.dati;
            if (HaInterruzioni(dati)) {
                copia = ConInterruzioniCrLf(dati);
                dati = copia;
            }
            scriviAllegato(cartella, ConInterruzioniCrLf(blocco.nome),
                           senzaIntestazioneDataUrl(dati));
            ++conteggio;
        }
    } catch (const std::exception& e) {
        messaggio = e.what();
    }
    return conteggio;
}

std::string SalvaAllegato(const TAllegatoItem& allegato, const std::string& cartella) {
    return scriviAllegato(cartella, allegato.NomeFile, allegato.DatiBase64);
}

} // namespace ondivo
