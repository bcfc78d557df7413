#include "ansicodec.h"
#include "commands.h"
#include "documentoaperto.h"
#include "json.h"
#include "stderrsink.h"
#include "stylesheetchoice.h"
#include "text.h"
#include "verificafirma.h"

#include <iostream>
#include <optional>

namespace ondivo::cli {

namespace {

std::optional<std::string> inUtf8(const std::optional<std::string>& ansi) {
    return ansi ? std::optional<std::string>(AnsiToUtf8(*ansi)) : std::nullopt;
}

} // namespace

// The window's format query and its four header values, without the window.
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

    const DocumentoAperto documento =
        ApriDocumento(file, FoglioStilePredefinito(), {.pagina = false, .allegati = false});
    StderrSink avvisi;
    for (const auto& messaggio : documento.messaggi)
        avvisi.ShowMessage(messaggio);
    if (!documento.gestito)
        return EsitoErrore;
    const std::string formato = AnsiToUtf8(documento.formato);
    const auto fornitore = inUtf8(documento.fornitore);
    const auto tipo = inUtf8(documento.tipoDocumento);
    const auto data = inUtf8(documento.data);
    const auto numero = inUtf8(documento.numero);

    if (json) {
        // The verdict on the signatures of the file chosen; null when it could not be reached.
        std::optional<std::string> firma;
        try {
            firma = ChiaveEsito(VerificaFirmeFile(file, CaricaFiducia()).esito);
        } catch (const std::exception&) {
        }
        std::cout << "{\"formato\": " << JsonValore(formato)
                  << ", \"fornitore\": " << JsonValore(fornitore)
                  << ", \"tipo_documento\": " << JsonValore(tipo)
                  << ", \"data\": " << JsonValore(data) << ", \"numero\": " << JsonValore(numero)
                  << ", \"firma\": " << JsonValore(firma) << "}\n";
    } else {
        const auto riga = [](const char* nome, const std::optional<std::string>& valore) {
            std::cout << nome << ": " << ControlliVisibili(valore.value_or("")) << '\n';
        };
        riga("Formato", formato);
        riga("Cedente/Prestatore", fornitore);
        riga("Tipo documento", tipo);
        riga("Data", data);
        riga("Numero", numero);
    }
    return avvisi.mostrato() ? EsitoErrore : EsitoOk;
}

} // namespace ondivo::cli
