#include "transform.h"

#include "errorcapture.h"
#include "errors.h"
#include "funzioniconti.h"
#include "localloader.h"
#include "viewserializer.h"
#include "xmldocument.h"
#include "xsltptr.h"

#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

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

// The transformation proper. The page's tree depends neither on the invoice nor on the
// transformation context, which is released before returning.
Pagina trasforma(xmlDoc* fattura, const std::string& xslPath) {
    PreparaXslt();
    ErrorCapture errori;
    XmlDocPtr documentoFoglio(CaricaXmlLocale(xslPath, XSLT_PARSE_OPTIONS, nullptr));
    if (!documentoFoglio)
        throw OndivoError("Errore nel caricamento XSL: " + xslPath);
    StylesheetPtr foglio(xsltParseStylesheetDoc(documentoFoglio.get()));
    if (!foglio)
        failWith(errori);      // the document is still ours and goes with documentoFoglio
    documentoFoglio.release(); // now owned by the stylesheet
    if (foglio->errors != 0)
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

} // namespace ondivo
