#include "blocchiallegati.h"

#include "tagscanner.h"

namespace ondivo {

bool ProssimoAllegato(std::string_view testo, std::size_t& pos, BloccoAllegato& trovato) {
    for (;;) {
        const std::string_view blocco = EstraiBlocco(testo, "Allegati", pos);
        if (blocco.empty())
            return false;
        trovato.nome = ValoreTag(blocco, "NomeAttachment");
        trovato.dati = ValoreTag(blocco, "Attachment");
        if (!trovato.nome.empty() && !trovato.dati.empty())
            return true;
    }
}

} // namespace ondivo
