#include "commands.h"
#include "documentoaperto.h"
#include "errors.h"
#include "files.h"
#include "fileutil.h"
#include "stderrsink.h"
#include "stylesheetchoice.h"
#include "text.h"

#include <iostream>
#include <map>

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

bool FoglioDato(const std::string& foglio) {
    if (FileEsiste(foglio))
        return true;
    std::cerr << "Il foglio di stile «" << foglio
              << (platform::ECartella(foglio) ? "» è una cartella, non un file" : "» non esiste")
              << '\n';
    return false;
}

// The open command's rendering without the window: the bytes the view would receive.
int ComandoHtml(const Argomenti& argomenti) {
    std::string file;
    std::string uscita;
    std::string foglio;
    for (std::size_t i = 0; i < argomenti.size(); ++i) {
        const std::string& a = argomenti[i];
        if (a == "-o" && i + 1 < argomenti.size() && uscita.empty() && !argomenti[i + 1].empty())
            uscita = argomenti[++i];
        else if (a == OpzioneFoglio && i + 1 < argomenti.size() && foglio.empty() &&
                 !argomenti[i + 1].empty())
            foglio = argomenti[++i];
        else if (file.empty() && !Trim(a).empty() && a != "-o" && a != OpzioneFoglio)
            file = a;
        else
            return EsitoUso;
    }
    if (file.empty() || (!foglio.empty() && !FoglioDato(foglio)))
        return EsitoUso;

    // The sheet given stands for every format; the choices remembered for the window do not
    // apply, so that a script's output depends on its arguments alone.
    const std::map<std::string, std::string> personali{
        {OgniFormato, platform::PercorsoCompleto(foglio)}};
    const DocumentoAperto documento =
        ApriDocumento(file, FoglioStilePredefinito(),
                      {.pagina = true,
                       .allegati = false,
                       .intestazione = false,
                       .estraiAccanto = false,
                       .fogliPersonali = foglio.empty() ? nullptr : &personali});
    StderrSink avvisi;
    for (const auto& messaggio : documento.messaggi)
        avvisi.ShowMessage(messaggio);
    // The page is still made, with Ondivo's stylesheet: a warning, not a failure.
    if (!documento.avvisoFoglio.empty())
        std::cerr << documento.avvisoFoglio << '\n';
    if (!documento.gestito)
        return EsitoErrore;
    scrivi(documento.pagina, uscita);
    return EsitoOk;
}

} // namespace ondivo::cli
