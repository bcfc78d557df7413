#pragma once

#include "messagesink.h"
#include "xmldocument.h"

#include <libxml/tree.h>

#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

// Element path queries: a dotted chain of element names ("DatiGenerali.DatiGeneraliDocumento.
// Numero") that may begin at any element, each further name matched by a direct element child.
// Names compare without their namespace prefix and with ASCII letters folded. Paths and
// results are ANSI (Windows-1252) strings.

using Componenti = std::vector<std::string>;
using Corrispondenze = std::vector<xmlNode*>;

// The name after its first ":", or the name unchanged when it has none.
std::string_view SenzaPrefisso(std::string_view nome);

// True when the element's name, as written, converted to ANSI and without its prefix, equals
// the component (ASCII letters folded).
bool NomeCorrisponde(const xmlNode* elemento, const std::string& componente);

// Splits a dotted path; empty pieces are dropped, each piece loses its prefix.
Componenti DividiPercorso(std::string_view percorso);

// Matches the chain from `livello` on at `elemento`, appending the elements that end it.
// True when this call or one below it appended a match.
bool CercaPercorso(xmlNode* elemento, const Componenti& componenti, std::size_t livello,
                   Corrispondenze& trovati);

// Tries the chain at every element of the subtree, depth first in document order.
void VisitaNodi(xmlNode* elemento, const Componenti& componenti, Corrispondenze& trovati);

// The text of a matched element, trimmed and converted to ANSI. An element with no children
// (whitespace-only text does not count) gives ""; one text or CDATA child gives its data;
// anything else raises EXMLDocError.
std::string TestoElemento(const xmlNode* elemento);

// Loads a file as a query does: nothing for a missing file (silently) or for a file that cannot
// be loaded (reported through `avvisi`). With `contenuto`, the file's bytes are those, already
// read (an entry of an archive), and `file` only names it.
XmlDocPtr CaricaPerQuery(const std::string& file, MessageSink& avvisi,
                         const std::string* contenuto = nullptr);

// Runs the query on a loaded document; `risultato` is cleared first. True when it found any.
// May raise EXMLDocError.
bool LeggiValoriDoc(xmlDoc* doc, const std::string& percorso, std::vector<std::string>& risultato);

// Runs the query on a file. `risultato` is cleared, then holds one entry per match. A missing
// file gives false silently; a file that cannot be loaded is reported through `avvisi` and
// gives false. True when at least one entry was found. May raise EXMLDocError.
bool LeggiValoriXml(const std::string& file, const std::string& percorso,
                    std::vector<std::string>& risultato, MessageSink& avvisi);

// The message shown for a file that cannot be loaded.
std::string MessaggioXmlConErrori(const std::string& motivo, long riga,
                                  const std::string& testoRiga);

} // namespace ondivo
