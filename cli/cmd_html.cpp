#include "commands.h"
#include "documentoaperto.h"
#include "errors.h"
#include "files.h"
#include "stderrsink.h"
#include "stylesheetchoice.h"
#include "text.h"

#include <iostream>

namespace ondivo::cli {

namespace {

void scrivi(const std::string& byte, const std::string& uscita) {
    if (uscita.empty()) {
        std::cout.write(byte.data(), static_cast<std::streamsize>(byte.size()));
        std::cout.flush();
        if (!std::cout)
            throw OndivoError("Scrittura sullo standard output non riuscita");
        return;
    }
    platform::ScriviFile(uscita, byte);
}

} // namespace

// The open command's rendering without the window: the bytes the view would receive.
int ComandoHtml(const Argomenti& argomenti) {
    std::string file;
    std::string uscita;
    for (std::size_t i = 0; i < argomenti.size(); ++i) {
        const std::string& a = argomenti[i];
        if (a == "-o" && i + 1 < argomenti.size() && uscita.empty() && !argomenti[i + 1].empty())
            uscita = argomenti[++i];
        else if (file.empty() && !Trim(a).empty() && a != "-o")
            file = a;
        else
            return EsitoUso;
    }
    if (file.empty())
        return EsitoUso;

    const DocumentoAperto documento = ApriDocumento(
        file, FoglioStilePredefinito(),
        {.pagina = true, .allegati = false, .intestazione = false, .estraiAccanto = false});
    StderrSink avvisi;
    for (const auto& messaggio : documento.messaggi)
        avvisi.ShowMessage(messaggio);
    if (!documento.gestito)
        return EsitoErrore;
    scrivi(documento.pagina, uscita);
    return EsitoOk;
}

} // namespace ondivo::cli
