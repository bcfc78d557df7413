#include "lctv.h"
#include "executablepath.h"

namespace ondivo {

namespace {
std::string& appDirStorage() {
    static std::string dir;
    return dir;
}
} // namespace

const std::string& AppDir() {
    return appDirStorage();
}

void ImpostaAppDir(std::string cartella) {
    appDirStorage() = std::move(cartella);
}

std::string CartellaProgramma(const std::string& percorsoEseguibile) {
    const auto fine = percorsoEseguibile.find_last_of(platform::SeparatoriCartella());
    if (fine == std::string::npos)
        return {};
    return percorsoEseguibile.substr(0, fine + 1);
}

const std::array<TDocSDIRec, 23> TabTipiDoc = {{
    {"TD01", "fattura"},
    {"TD02", "acconto/anticipo su fattura"},
    {"TD03", "acconto/anticipo su parcella"},
    {"TD04", "nota di credito"},
    {"TD05", "nota di debito"},
    {"TD06", "parcella"},
    {"TD07", "fattura semplificata"},
    {"TD08", "nota di credito semplificata"},
    {"TD09", "nota di debito semplificata"},
    {"TD16", "integrazione fattura reverse charge interno"},
    {"TD17", "integrazione/autofattura per acquisto servizi dall'estero"},
    {"TD18", "integrazione per acquisto di beni intracomunitari"},
    {"TD19", "integrazione/autofattura per acquisto di beni ex art.17 c.2 DPR 633/72"},
    {"TD20", "autofattura per regolarizzazione e integrazione delle fatture (ex art. 6 c.9-bis "
             "d.lgs. 471/97 o art. 46 c.5 d.l. 331/93)"},
    {"TD21", "autofattura per splafonamento"},
    {"TD22", "estrazione beni da Deposito IVA"},
    {"TD23", "estrazione beni da Deposito IVA con versamento dell'IVA"},
    {"TD24", "fattura differita di cui all'art. 21, comma 4, terzo periodo lett. a) DPR 633/72"},
    {"TD25", "fattura differita di cui all'art. 21, comma 4, terzo periodo lett. b) DPR 633/72"},
    {"TD26", "cessione di beni ammortizzabili e per passaggi interni (ex art.36 DPR 633/72)"},
    {"TD27", "fattura per autoconsumo o per cessioni gratuite senza rivalsa"},
    {"TD28", "acquisti da San Marino con IVA (fattura cartacea)"},
    {"TD29", "comunicazione per omessa o irregolare fatturazione (art. 6, comma 8, D.Lgs. "
             "471/97)"},
}};

std::string DescrTipoDoc(const std::string& codice) {
    for (const auto& riga : TabTipiDoc)
        if (codice == riga.Codice)
            return std::string(riga.Codice) + " " + riga.Descrizione;
    return {};
}

} // namespace ondivo
