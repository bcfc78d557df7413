#pragma once

#include "xmldocument.h"

#include <libxml/tree.h>
#include <libxslt/xsltInternals.h>

#include <string>

namespace ondivo {

// The character set of the bytes the view receives.
inline constexpr const char* CodificaVista = "windows-1252";

// Makes a compiled stylesheet declare CodificaVista for its output, whatever its xsl:output
// says: the top-level stylesheet's value takes precedence over every import's. Call it before
// the transformation, which records the encoding in the result.
void DichiaraCodificaVista(xsltStylesheet* style);

// Writes a transformation result as libxslt would (its output method, indentation and HTML
// rules), but for the view: every <meta> that names a character set, in the head or anywhere
// else, names CodificaVista, and a character that code page lacks is written as a numeric
// character reference. Returns UTF-8 text, which Utf8ToAnsi converts without loss; "" for an
// empty result. The stylesheet must have been through DichiaraCodificaVista.
std::string SerializzaPerVista(xmlDoc* risultato, xsltStylesheet* style);

// The same, releasing the result's tree as soon as it is written out.
std::string SerializzaPerVista(XmlDocPtr risultato, xsltStylesheet* style);

} // namespace ondivo
