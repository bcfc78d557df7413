#pragma once

#include "errors.h"
#include "liberacon.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlmemory.h>

#include <memory>
#include <string>
#include <string_view>

namespace ondivo {

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, LiberaCon<xmlFreeParserCtxt>>;
// Closing flushes what is left to the buffer's writer.
using OutputBufferPtr = std::unique_ptr<xmlOutputBuffer, LiberaCon<xmlOutputBufferClose>>;
// Text libxml2 allocated for the caller (xmlGetProp, xmlNodeGetContent…).
struct LiberaTestoXml {
    void operator()(xmlChar* testo) const { xmlFree(testo); }
};
using TestoXmlPtr = std::unique_ptr<xmlChar, LiberaTestoXml>;

// A file that could not be loaded: the parser's reason, the line of the failure and the start
// of that line's text (all UTF-8). what() is the reason alone.
class XmlLoadError : public OndivoError {
public:
    XmlLoadError(std::string motivo, long riga, std::string testoRiga)
        : OndivoError(motivo), m_motivo(std::move(motivo)), m_riga(riga),
          m_testoRiga(std::move(testoRiga)) {}

    const std::string& motivo() const { return m_motivo; }
    long riga() const { return m_riga; }
    const std::string& testoRiga() const { return m_testoRiga; }

private:
    std::string m_motivo;
    long m_riga;
    std::string m_testoRiga;
};

// Loads an XML file into a tree, safely: no DTD loading or validation, no external entities,
// no network, entity references left unexpanded. Entity-expansion bombs, references that
// would expand to more than half the file's own size (1 MiB for any file), elements of more
// than 256 attributes, more than 256 namespaces in scope, more elements than one per 16 bytes
// of the file (100,000 for any file) and absurd nesting are refused, all in time linear in the
// file, while
// text nodes and CDATA sections of any size (large Base64 attachments) are accepted.
// Whitespace between elements (in an element that holds only elements) is dropped; a
// whitespace-only text that is an element's whole content, or part of mixed content, stays:
// readers decide whether it counts.
// XML signatures (ds:Signature, wherever they stand, unless the document is one) are taken
// out: nothing they carry is the document's data.
// Throws XmlLoadError.
XmlDocPtr CaricaXml(const std::string& percorso);

// The same load of bytes already in memory (an entry of an archive); `nome` stands for the
// file in the messages.
XmlDocPtr CaricaXmlDaMemoria(std::string_view dati, const std::string& nome);

// What a streamed reading of a file reports, in document order: elements by their local name,
// and their text in pieces (UTF-8), the text of CDATA sections and of entity references
// included, so that the pieces inside an element join into its string value.
class AscoltatoreXml {
public:
    virtual ~AscoltatoreXml() = default;
    virtual void InizioElemento(std::string_view nomeLocale) = 0;
    virtual void FineElemento() = 0;
    virtual void Testo(std::string_view testo) = 0;
    // The reading starts over from the beginning: forget what was heard.
    virtual void Ricomincia() = 0;
};

// Reads the file as CaricaXml loads it, with the same refusals, but builds no tree: the
// listener sees it all once (XML signatures left out), which is much faster and lighter for a
// reader that keeps little.
// Throws XmlLoadError.
void LeggiXmlInSequenza(const std::string& percorso, AscoltatoreXml& ascoltatore);

// The message for a file that could not be loaded, for callers that report it as an error:
// the reader's own message when the file could not be read, else
// "Errore nel caricamento XML: <file> (riga N: <reason>)".
std::string MessaggioCaricamento(const std::string& percorso, const XmlLoadError& errore);

} // namespace ondivo
