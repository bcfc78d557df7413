#pragma once

#include "errors.h"
#include "xmldocument.h"

#include <libxml/tree.h>

#include <string>

namespace ondivo {

// Transforms the invoice at `xmlPath` with the stylesheet at `xslPath` (file paths) into the
// HTML the view shows. `html` is assigned only on success: UTF-8 text serialised for a view that
// receives Windows-1252 bytes (see SerializzaPerVista), so Utf8ToAnsi converts it without
// loss; an empty result gives "".
//
// Throws OndivoError with "Errore nel caricamento XML: <xmlPath>" when the invoice cannot be
// loaded, "Errore nel caricamento XSL: <xslPath>" when the stylesheet cannot, and otherwise the
// processor's own description of a failed compilation or transformation (trailing blanks,
// control characters and full stops removed).
//
// The invoice is loaded without DTDs or external entities. The stylesheet may read local files
// (xsl:import, document()) and nothing else: no network, no writing files, no new folders.
// Runs on one thread at a time.
void TrasformaXml(const std::string& xmlPath, const std::string& xslPath, std::string& html);

// The same on an invoice already loaded with CaricaXml, so that a caller that has queried it
// does not parse it twice. The document is only read.
void TrasformaXml(xmlDoc* fattura, const std::string& xslPath, std::string& html);

// The same, taking the invoice: it is released as soon as it is transformed, before the page
// is written out, so that the invoice, the page's tree and its text are never held all at once.
void TrasformaXml(XmlDocPtr fattura, const std::string& xslPath, std::string& html);

// A stylesheet that cannot be used. what() names the file and says why ("Il foglio di stile
// «<percorso>» non si può usare: <motivo>"); motivo() is the reason alone, in small letters,
// for a sentence of the caller's.
class EFoglioStile : public OndivoError {
public:
    EFoglioStile(const std::string& percorso, const std::string& motivo);
    const std::string& motivo() const { return m_motivo; }

private:
    std::string m_motivo;
};

// Compiles the stylesheet at `xslPath` as TrasformaXml does (its xsl:import and xsl:include
// read local files only, never the network) and transforms nothing. Throws EFoglioStile with
// the reason: "il file non esiste", "è una cartella, non un file", "il file non si può
// leggere", "non è XML ben formato: <parser's words>", "non è un foglio di stile XSLT valido:
// <processor's words>". May be called while an open transforms on another thread (the
// window's menu): the two take turns.
void VerificaFoglioStile(const std::string& xslPath);

// TrasformaXml, taking the invoice, with a stylesheet of the user's: checked first as
// VerificaFoglioStile checks it, then run with the same protections as Ondivo's. Every failure
// is an EFoglioStile: those of the check, the processor's words on one line when the
// transformation fails (xsl:message terminate="yes" included), and "non ha prodotto nessuna
// pagina" for an empty result. `html` is assigned only on success.
void TrasformaConFoglioPersonale(XmlDocPtr fattura, const std::string& xslPath, std::string& html);

} // namespace ondivo
