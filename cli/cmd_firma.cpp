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

std::string jsonElenco(const std::vector<std::string>& voci) {
    std::string testo = "[";
    for (const auto& v : voci)
        testo += (testo.size() > 1 ? ", " : "") + JsonValore(v);
    return testo + "]";
}

std::optional<std::string> seScritto(const std::string& testo) {
    return testo.empty() ? std::nullopt : std::optional<std::string>(testo);
}

void stampaJson(const VerificaFirme& verifica) {
    std::cout << "{\"esito\": " << JsonValore(ChiaveEsito(verifica.esito)) << ", \"indicazione\": "
              << JsonValore(verifica.indicazione ? std::optional<std::string>(
                                                       ChiaveIndicazione(*verifica.indicazione))
                                                 : std::nullopt)
              << ", \"sottoindicazione\": " << JsonValore(seScritto(verifica.sottoindicazione))
              << ", \"verdetto\": " << JsonValore(TestoVerdetto(verifica))
              << ", \"contenuto_non_firmato\": " << jsonBooleano(verifica.contenutoNonFirmato)
              << ", \"avvisi\": " << jsonElenco(verifica.avvisi) << ", \"firmatari\": [";
    const char* separatore = "";
    for (const auto& f : verifica.firmatari) {
        // The keys of earlier versions first, in their order; the validation's after them.
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
                  << ", \"motivo\": " << JsonValore(f.motivo)
                  << ", \"indicazione\": " << JsonValore(ChiaveIndicazione(f.indicazione))
                  << ", \"sottoindicazione\": " << JsonValore(seScritto(f.sottoindicazione))
                  << ", \"verdetto\": " << JsonValore(TestoVerdetto(f))
                  << ", \"motivi\": " << jsonElenco(f.motivi)
                  << ", \"identificativo\": " << JsonValore(f.identificativo)
                  << ", \"chiave\": " << JsonValore(f.chiave)
                  << ", \"algoritmo_debole\": " << jsonBooleano(f.algoritmoDebole)
                  << ", \"motivo_algoritmo\": " << JsonValore(seScritto(f.motivoAlgoritmo))
                  << ", \"revoca\": " << JsonValore(f.revoca)
                  << ", \"data_provata\": " << JsonValore(f.dataProvata)
                  << ", \"marca\": " << JsonValore(seScritto(f.marca)) << "}";
        separatore = ", ";
    }
    std::cout << "]}\n";
}

void stampaTesto(const VerificaFirme& verifica) {
    std::cout << ControlliVisibili(TestoVerdetto(verifica)) << '\n';
    for (const auto& avviso : verifica.avvisi)
        std::cout << "Avviso: " << avviso << '\n';
    int n = 0;
    for (const auto& f : verifica.firmatari) {
        const auto riga = [](const char* nome, const std::string& valore) {
            if (!valore.empty())
                std::cout << "  " << nome << ": " << ControlliVisibili(valore) << '\n';
        };
        std::cout << '\n'
                  << (f.controfirma ? "Controfirma " : "Firma ") << ++n << " (" << f.tipo
                  << (f.livello > 1 ? ", busta interna " + std::to_string(f.livello) : "")
                  << "): " << TestoVerdetto(f) << '\n';
        riga("Esito", std::string(ChiaveIndicazione(f.indicazione)) +
                          (f.sottoindicazione.empty() ? "" : " / " + f.sottoindicazione));
        riga("Firmatario", f.nome);
        riga("Codice fiscale", f.codiceFiscale);
        riga("Identificativo", f.identificativo);
        riga("Organizzazione", f.organizzazione);
        riga("Certificatore", f.emittente);
        riga("Certificato valido", f.validoDal + " - " + f.validoAl);
        riga("Data della firma", f.dataFirma ? *f.dataFirma + " (dichiarata)" : "non indicata");
        riga("Data provata", f.dataProvata.value_or(""));
        riga("Marca temporale", f.marca);
        riga("Algoritmo", f.algoritmo);
        riga("Chiave", f.chiave);
        riga("Debolezza", f.motivoAlgoritmo);
        riga("Firma integra", f.integra ? "sì" : "no");
        riga("Certificatore fidato", f.attendibile ? "sì" : "no");
        riga("Revoca", f.revoca);
        for (const auto& motivo : f.motivi)
            riga("Motivo", motivo);
    }
}

} // namespace

// The verdict on the signatures of an invoice, against the authorities imported; a verdict,
// whatever it says, is a result, not an error.
int ComandoFirma(const Argomenti& argomenti) {
    // "--rete": revocation data may be asked of the network, as the user asks it here.
    OpzioniVerifica opzioni;
    Argomenti resto;
    for (const auto& a : argomenti) {
        if (a == "--rete")
            opzioni.rete = true;
        else
            resto.push_back(a);
    }
    bool json = false;
    const auto scelto = FileEJson(resto, json);
    if (!scelto)
        return EsitoUso;
    const std::string& file = *scelto;
    const VerificaFirme verifica = VerificaFirmeFile(file, CaricaFiducia(), opzioni);
    if (json)
        stampaJson(verifica);
    else
        stampaTesto(verifica);
    return EsitoOk;
}

} // namespace ondivo::cli
