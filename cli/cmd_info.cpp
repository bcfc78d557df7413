#include "ansicodec.h"
#include "commands.h"
#include "elementpath.h"
#include "headerfields.h"
#include "json.h"
#include "messages.h"
#include "p7menvelope.h"
#include "stderrsink.h"
#include "text.h"

#include <iostream>
#include <optional>

namespace ondivo::cli {

namespace {

std::optional<std::string> inUtf8(const std::optional<std::string>& ansi) {
    return ansi ? std::optional<std::string>(AnsiToUtf8(*ansi)) : std::nullopt;
}

} // namespace

// The window's format query and its four header queries, without the window.
int ComandoInfo(const Argomenti& argomenti) {
    bool json = false;
    std::string file;
    for (const auto& a : argomenti) {
        if (a == "--json")
            json = true;
        else if (file.empty() && !Trim(a).empty())
            file = a;
        else
            return EsitoUso;
    }
    if (file.empty())
        return EsitoUso;
    file = XmlPathToOpen(file);

    StderrSink avvisi;
    // One load for the five queries.
    const XmlDocPtr doc = CaricaPerQuery(file, avvisi);
    std::vector<std::string> lista;
    if (!doc || !LeggiValoriDoc(doc.get(), PercorsoFormato, lista)) {
        avvisi.ShowMessage(MsgDocumentoNonGestito);
        return EsitoErrore;
    }
    const std::string formato = AnsiToUtf8(UnisciValori(lista));
    const auto fornitore = inUtf8(LeggiCampoIntestazione(doc.get(), CampoFornitore, lista));
    const auto tipo = inUtf8(LeggiCampoIntestazione(doc.get(), CampoTipoDoc, lista));
    const auto data = inUtf8(LeggiCampoIntestazione(doc.get(), CampoData, lista));
    const auto numero = inUtf8(LeggiCampoIntestazione(doc.get(), CampoNumero, lista));

    if (json) {
        std::cout << "{\"formato\": " << JsonValore(formato)
                  << ", \"fornitore\": " << JsonValore(fornitore)
                  << ", \"tipo_documento\": " << JsonValore(tipo)
                  << ", \"data\": " << JsonValore(data) << ", \"numero\": " << JsonValore(numero)
                  << "}\n";
    } else {
        std::cout << "Formato: " << formato << '\n'
                  << "Cedente/Prestatore: " << fornitore.value_or("") << '\n'
                  << "Tipo documento: " << tipo.value_or("") << '\n'
                  << "Data: " << data.value_or("") << '\n'
                  << "Numero: " << numero.value_or("") << '\n';
    }
    return avvisi.mostrato() ? EsitoErrore : EsitoOk;
}

} // namespace ondivo::cli
