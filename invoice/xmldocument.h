#pragma once

#include "errors.h"

#include <libxml/tree.h>

#include <memory>
#include <string>

namespace ondivo {

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

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
// than 256 attributes, more than 256 namespaces in scope and absurd nesting are refused, all
// in time linear in the file, while
// text nodes and CDATA sections of any size (large Base64 attachments) are accepted.
// Whitespace between elements (in an element that holds only elements) is dropped; a
// whitespace-only text that is an element's whole content, or part of mixed content, stays:
// readers decide whether it counts.
// Throws XmlLoadError.
XmlDocPtr CaricaXml(const std::string& percorso);

} // namespace ondivo
