#include "allegati.h"
#include "blocchiallegati.h"
#include "files.h"
#include "scantext.h"

namespace ondivo {

int LeggiAllegati(const std::string& file, ListaAllegati& lista) {
    const std::string byte = platform::LeggiFile(file);
    const std::string_view testo = FinoAlPrimoZero(byte);
    int conteggio = 0;
    std::size_t pos = 1;
    BloccoAllegato blocco;
    while (ProssimoAllegato(testo, pos, blocco)) {
        lista.push_back(std::make_unique<TAllegatoItem>(
            TAllegatoItem{ConInterruzioniCrLf(blocco.nome), ConInterruzioniCrLf(blocco.dati)}));
        ++conteggio;
    }
    return conteggio;
}

} // namespace ondivo
