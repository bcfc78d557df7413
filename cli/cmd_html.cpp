#include "accentfolding.h"
#include "ansicodec.h"
#include "commands.h"
#include "elementpath.h"
#include "errors.h"
#include "executablepath.h"
#include "fileutil.h"
#include "headerfields.h"
#include "lctv.h"
#include "messages.h"
#include "stderrsink.h"
#include "stylesheetchoice.h"
#include "text.h"
#include "transform.h"
#include "xmldocument.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

namespace ondivo::cli {

namespace {

// The lower-cased extension: from the last dot after the last "/", dot included.
std::string estensione(const std::string& percorso) {
    const auto barra = percorso.find_last_of('/');
    const auto punto = percorso.find_last_of('.');
    if (punto == std::string::npos || (barra != std::string::npos && punto < barra))
        return {};
    std::string est = percorso.substr(punto);
    for (char& c : est)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return est;
}

constexpr const char* kP7mNonGestito =
    "Le fatture firmate (.p7m) non sono ancora visualizzabili da riga di comando: estrarre "
    "prima il file xml dalla busta";

// The format query as LeggiValoriXml runs it (same load, same messages, same entries), keeping
// the loaded invoice for the transformation: one parse instead of two. Nothing when the file is
// missing, cannot be loaded or has no FormatoTrasmissione element; else the joined entries.
std::optional<std::string> leggiFormato(const std::string& file, XmlDocPtr& fattura,
                                        MessageSink& avvisi) {
    if (!FileEsiste(file))
        return std::nullopt;
    try {
        fattura = CaricaXml(file);
    } catch (const XmlLoadError& e) {
        avvisi.ShowMessage(MessaggioXmlConErrori(e.motivo(), e.riga(), e.testoRiga()));
        return std::nullopt;
    }
    Corrispondenze trovati;
    VisitaNodi(xmlDocGetRootElement(fattura.get()), DividiPercorso(PercorsoFormato), trovati);
    if (trovati.empty())
        return std::nullopt;
    std::vector<std::string> lista;
    for (const xmlNode* elemento : trovati)
        lista.push_back(TestoElemento(elemento));
    return UnisciValori(lista);
}

void scrivi(const std::string& byte, const std::string& uscita) {
    if (uscita.empty()) {
        std::cout.write(byte.data(), static_cast<std::streamsize>(byte.size()));
        std::cout.flush();
        if (!std::cout)
            throw OndivoError("Scrittura sullo standard output non riuscita");
        return;
    }
    std::ofstream file(uscita, std::ios::binary | std::ios::trunc);
    if (!file)
        throw OndivoError("Cannot create file \"" + uscita + "\". " + std::strerror(errno));
    file.write(byte.data(), static_cast<std::streamsize>(byte.size()));
    file.close();
    if (!file)
        throw OndivoError("Cannot create file \"" + uscita + "\". " + std::strerror(errno));
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

    StderrSink avvisi;
    if (estensione(file) == ".p7m") {
        avvisi.ShowMessage(kP7mNonGestito);
        return EsitoErrore;
    }
    XmlDocPtr fattura;
    const auto formato = leggiFormato(file, fattura, avvisi);
    if (!formato) {
        avvisi.ShowMessage(MsgDocumentoNonGestito);
        return EsitoErrore;
    }

    ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
    std::string fogliostile = FoglioStilePredefinito();
    ScegliFoglioStile(*formato, fogliostile);

    std::string html;
    TrasformaXml(fattura.get(), fogliostile, html);
    scrivi(Utf8ToAnsi(PiegaAccenti(std::move(html))), uscita);
    return EsitoOk;
}

} // namespace ondivo::cli
