#pragma once

#include <libxml/tree.h>

#include <string>

namespace ondivo {

// Sets libxslt up once per process: the EXSLT extensions, and a document loader that every
// xsl:import, xsl:include and document() call goes through. The loader reads local files only
// and never lets a parse reach the network (an external entity or DTD included).
void PreparaXslt();

// Loads a local XML file with libxslt's own parser options plus the network ban: a stylesheet,
// or a document it reads. Null when the file cannot be read or is not well-formed.
xmlDocPtr CaricaXmlLocale(const std::string& percorso, int opzioni, xmlDict* dizionario);

} // namespace ondivo
