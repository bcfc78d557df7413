#include "allegati.h"
#include "scantext.h"
#include "tagscanner.h"

namespace ondivo {

int LeggiAllegati(const std::string& file, ListaAllegati& lista) {
    const std::string testo = LeggiTestoScansione(file);
    int conteggio = 0;
    std::size_t pos = 1;
    for (;;) {
        const std::string_view blocco = EstraiBlocco(testo, "Allegati", pos);
        if (blocco.empty())
            return conteggio;
        const std::string_view nome = ValoreTag(blocco, "NomeAttachment");
        const std::string_view dati = ValoreTag(blocco, "Attachment");
        if (nome.empty() || dati.empty())
            continue;
        lista.push_back(
            std::make_unique<TAllegatoItem>(TAllegatoItem{std::string(nome), std::string(dati)}));
        ++conteggio;
    }
}

} // namespace ondivo
