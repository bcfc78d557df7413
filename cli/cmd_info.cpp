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

std::optional<std::string> FileEJson(const Argomenti& argomenti, bool& json) {
    json = false;
    std::string file;
    for (const auto& a : argomenti) {
        if (a == "--json")
            json = true;
        else if (file.empty() && !Trim(a).empty())
            file = a;
        else
            return std::nullopt;
    }
    return file.empty() ? std::nullopt : std::optional<std::string>(file);
}

// The window's format query and its four header values, without the window.
int ComandoInfo(const Argomenti& argomenti) {
    bool json = false;
    const auto scelto = FileEJson(argomenti, json);
    if (!scelto)
        return EsitoUso;
    const std::string& file = *scelto;

    // The JSON form carries the verdict on the signatures, read by the same open.
    const Fiducia fiducia = json ? CaricaFiducia() : Fiducia();
    const DocumentoAperto documento = ApriDocumento(file, FoglioStilePredefinito(),
                                                    {.pagina = false,
                                                     .allegati = false,
                                                     .fiducia = json ? &fiducia : nullptr,
                                                     .estraiAccanto = false});
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
        std::optional<std::string> firma, indicazione, sottoindicazione;
        if (documento.firme) {
            firma = ChiaveEsito(documento.firme->esito);
            if (documento.firme->indicazione) {
                indicazione = ChiaveIndicazione(*documento.firme->indicazione);
                if (!documento.firme->sottoindicazione.empty())
                    sottoindicazione = documento.firme->sottoindicazione;
            }
        }
        std::cout << "{\"formato\": " << JsonValore(formato)
                  << ", \"fornitore\": " << JsonValore(fornitore)
                  << ", \"tipo_documento\": " << JsonValore(tipo)
                  << ", \"data\": " << JsonValore(data) << ", \"numero\": " << JsonValore(numero)
                  << ", \"firma\": " << JsonValore(firma)
                  << ", \"indicazione\": " << JsonValore(indicazione)
                  << ", \"sottoindicazione\": " << JsonValore(sottoindicazione) << "}\n";
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
