#include "base64.h"
#include "files.h"
#include "fileutil.h"

namespace ondivo {

bool FileToBase64(const std::string& percorso, std::string& testoBase64, std::string& messaggio) {
    testoBase64.clear();
    messaggio.clear();
    if (!FileEsiste(percorso)) {
        messaggio = "Errore: " + percorso + " non trovato!";
        return false;
    }
    const std::string contenuto = platform::LeggiFile(percorso);
    std::string_view sorgente = contenuto;
    testoBase64 = TCodificatoreMIME().Encode(sorgente);
    return true;
}

} // namespace ondivo
