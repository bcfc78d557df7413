#include "transform.h"

#include "errorcapture.h"
#include "errors.h"
#include "files.h"
#include "funzioniconti.h"
#include "localloader.h"
#include "viewserializer.h"
#include "xmldocument.h"
#include "xsltptr.h"

#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <string_view>

namespace ondivo {

namespace {

// The stylesheet may read local files; everything else a stylesheet could reach is refused.
SecurityPrefsPtr securityPrefs() {
    SecurityPrefsPtr prefs(xsltNewSecurityPrefs());
    if (!prefs)
        throw std::bad_alloc();
    for (const auto opzione : {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                               XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
        xsltSetSecurityPrefs(prefs.get(), opzione, xsltSecurityForbid);
    return prefs;
}

// Used when the processor failed without a word.
constexpr const char* kTrasformazioneFallita = "Trasformazione XSLT non riuscita";

[[noreturn]] void failWith(const ErrorCapture& errori) {
    const std::string descrizione = errori.description();
    throw OndivoError(descrizione.empty() ? kTrasformazioneFallita : descrizione);
}

// The page's tree, with the stylesheet that says how to write it out.
struct Pagina {
    StylesheetPtr foglio;
    XmlDocPtr documento;
};

enum class Compilazione { Riuscita, FileNonCaricato, FoglioNonValido };

// Loads and compiles the stylesheet through the local loader; null, with what went wrong,
// when it cannot be used. What the processor said is in `errori`.
StylesheetPtr compila(const std::string& xslPath, Compilazione& esito) {
    PreparaXslt();
    XmlDocPtr documentoFoglio(CaricaXmlLocale(xslPath, XSLT_PARSE_OPTIONS, nullptr));
    if (!documentoFoglio) {
        esito = Compilazione::FileNonCaricato;
        return nullptr;
    }
    StylesheetPtr foglio(xsltParseStylesheetDoc(documentoFoglio.get()));
    if (!foglio) {
        esito = Compilazione::FoglioNonValido;
        return nullptr; // the document is still ours and goes with documentoFoglio
    }
    documentoFoglio.release(); // now owned by the stylesheet
    if (foglio->errors != 0) {
        esito = Compilazione::FoglioNonValido;
        return nullptr;
    }
    esito = Compilazione::Riuscita;
    return foglio;
}

// The transformation proper. The page's tree depends neither on the invoice nor on the
// transformation context, which is released before returning.
Pagina trasforma(xmlDoc* fattura, const std::string& xslPath) {
    ErrorCapture errori;
    Compilazione esito;
    StylesheetPtr foglio = compila(xslPath, esito);
    if (esito == Compilazione::FileNonCaricato)
        throw OndivoError("Errore nel caricamento XSL: " + xslPath);
    if (esito == Compilazione::FoglioNonValido)
        failWith(errori);
    DichiaraCodificaVista(foglio.get());

    const SecurityPrefsPtr prefs = securityPrefs();
    TransformContextPtr ctxt(xsltNewTransformContext(foglio.get(), fattura));
    if (!ctxt)
        throw std::bad_alloc();
    xsltSetCtxtSecurityPrefs(prefs.get(), ctxt.get());
    xsltSetCtxtParseOptions(ctxt.get(), XSLT_PARSE_OPTIONS | XML_PARSE_NONET);
    errori.attach(ctxt.get());
    FunzioniConti conti(ctxt.get(), fattura);

    XmlDocPtr risultato(
        xsltApplyStylesheetUser(foglio.get(), fattura, nullptr, nullptr, nullptr, ctxt.get()));
    if (!risultato || ctxt->state == XSLT_STATE_ERROR || ctxt->state == XSLT_STATE_STOPPED)
        failWith(errori);
    return {std::move(foglio), std::move(risultato)};
}

// The processor's words, one message after the other on one line.
std::string suUnaRiga(std::string_view parole) {
    std::string riga;
    for (const char c : parole) {
        if (c != '\n' && c != '\r')
            riga += c;
        else if (!riga.empty() && riga.back() != ' ')
            riga += ' ';
    }
    return riga;
}

// The reason followed by the processor's words.
std::string conParole(const std::string& motivo, const ErrorCapture& errori) {
    const std::string parole = errori.description();
    return parole.empty() ? motivo : motivo + ": " + suUnaRiga(parole);
}

} // namespace

void TrasformaXml(const std::string& xmlPath, const std::string& xslPath, std::string& html) {
    XmlDocPtr fattura;
    try {
        fattura = CaricaXml(xmlPath);
    } catch (const XmlLoadError&) {
        throw OndivoError("Errore nel caricamento XML: " + xmlPath);
    }
    TrasformaXml(fattura.get(), xslPath, html);
}

void TrasformaXml(xmlDoc* fattura, const std::string& xslPath, std::string& html) {
    const Pagina pagina = trasforma(fattura, xslPath);
    html = SerializzaPerVista(pagina.documento.get(), pagina.foglio.get());
}

void TrasformaXml(XmlDocPtr fattura, const std::string& xslPath, std::string& html) {
    Pagina pagina = trasforma(fattura.get(), xslPath);
    fattura.reset();
    html = SerializzaPerVista(std::move(pagina.documento), pagina.foglio.get());
}

EFoglioStile::EFoglioStile(const std::string& percorso, const std::string& motivo)
    : OndivoError("Il foglio di stile «" + percorso + "» non si può usare: " + motivo),
      m_motivo(motivo) {}

void VerificaFoglioStile(const std::string& xslPath) {
    if (!platform::FileRegolare(xslPath))
        throw EFoglioStile(xslPath, platform::ECartella(xslPath) ? "è una cartella, non un file"
                                                                 : "il file non esiste");
    try {
        platform::TFileLettura prova(xslPath);
    } catch (const platform::EFileStreamError&) {
        throw EFoglioStile(xslPath, "il file non si può leggere");
    }
    ErrorCapture errori;
    Compilazione esito;
    compila(xslPath, esito);
    if (esito == Compilazione::FileNonCaricato)
        throw EFoglioStile(xslPath, conParole("non è XML ben formato", errori));
    if (esito == Compilazione::FoglioNonValido)
        throw EFoglioStile(xslPath, conParole("non è un foglio di stile XSLT valido", errori));
}

void TrasformaConFoglioPersonale(XmlDocPtr fattura, const std::string& xslPath, std::string& html) {
    VerificaFoglioStile(xslPath);
    std::string pagina;
    try {
        TrasformaXml(std::move(fattura), xslPath, pagina);
    } catch (const OndivoError& e) {
        throw EFoglioStile(xslPath, suUnaRiga(e.what()));
    }
    if (pagina.empty())
        throw EFoglioStile(xslPath, "non ha prodotto nessuna pagina");
    html = std::move(pagina);
}

} // namespace ondivo
