#include "commands.h"
#include "fiducia.h"
#include "json.h"
#include "text.h"
#include "verificafirma.h"

#include <iostream>

namespace ondivo::cli {

namespace {

std::string jsonBooleano(bool valore) {
    return valore ? "true" : "false";
}

void stampaJson(const VerificaFirme& verifica) {
    std::cout << "{\"esito\": " << JsonValore(ChiaveEsito(verifica.esito)) << ", \"firmatari\": [";
    const char* separatore = "";
    for (const auto& f : verifica.firmatari) {
        std::cout << separatore << "{\"nome\": " << JsonValore(f.nome)
                  << ", \"codice_fiscale\": " << JsonValore(f.codiceFiscale)
                  << ", \"organizzazione\": " << JsonValore(f.organizzazione)
                  << ", \"emittente\": " << JsonValore(f.emittente)
                  << ", \"valido_dal\": " << JsonValore(f.validoDal)
                  << ", \"valido_al\": " << JsonValore(f.validoAl)
                  << ", \"data_firma\": " << JsonValore(f.dataFirma)
                  << ", \"algoritmo\": " << JsonValore(f.algoritmo)
                  << ", \"integra\": " << jsonBooleano(f.integra)
                  << ", \"attendibile\": " << jsonBooleano(f.attendibile)
                  << ", \"esito\": " << JsonValore(ChiaveEsito(f.esito))
                  << ", \"tipo\": " << JsonValore(f.tipo) << ", \"livello\": " << f.livello
                  << ", \"controfirma\": " << jsonBooleano(f.controfirma)
                  << ", \"motivo\": " << JsonValore(f.motivo) << "}";
        separatore = ", ";
    }
    std::cout << "]}\n";
}

void stampaTesto(const VerificaFirme& verifica) {
    std::cout << TestoEsito(verifica.esito) << '\n';
    int n = 0;
    for (const auto& f : verifica.firmatari) {
        const auto riga = [](const char* nome, const std::string& valore) {
            if (!valore.empty())
                std::cout << "  " << nome << ": " << ControlliVisibili(valore) << '\n';
        };
        std::cout << '\n'
                  << (f.controfirma ? "Controfirma " : "Firma ") << ++n << " (" << f.tipo
                  << (f.livello > 1 ? ", busta interna " + std::to_string(f.livello) : "")
                  << "): " << TestoEsito(f.esito) << '\n';
        riga("Firmatario", f.nome);
        riga("Codice fiscale", f.codiceFiscale);
        riga("Organizzazione", f.organizzazione);
        riga("Certificatore", f.emittente);
        riga("Certificato valido", f.validoDal + " - " + f.validoAl);
        riga("Data della firma", f.dataFirma.value_or("non indicata"));
        riga("Algoritmo", f.algoritmo + (f.algoritmoDebole ? " (debole)" : ""));
        riga("Firma integra", f.integra ? "sì" : "no");
        riga("Certificatore fidato", f.attendibile ? "sì" : "no");
        riga("Motivo", f.motivo);
    }
}

} // namespace

// The verdict on the signatures of an invoice, against the authorities imported; a verdict,
// whatever it says, is a result, not an error.
int ComandoFirma(const Argomenti& argomenti) {
    bool json = false;
    const auto scelto = FileEJson(argomenti, json);
    if (!scelto)
        return EsitoUso;
    const std::string& file = *scelto;
    const VerificaFirme verifica = VerificaFirmeFile(file, CaricaFiducia());
    if (json)
        stampaJson(verifica);
    else
        stampaTesto(verifica);
    return EsitoOk;
}

} // namespace ondivo::cli
