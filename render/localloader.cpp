#include "localloader.h"
#include "xmldocument.h"

#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxml/uri.h>
#include <libxslt/documents.h>

#include <memory>

namespace ondivo {

namespace {

struct UriDeleter {
    void operator()(xmlURI* uri) const { xmlFreeURI(uri); }
};
using UriPtr = std::unique_ptr<xmlURI, UriDeleter>;

bool isLocal(const char* indirizzo) {
    UriPtr uri(xmlParseURI(indirizzo));
    // Something that is not a URI at all is a file name with odd characters.
    if (!uri || !uri->scheme)
        return true;
    return xmlStrcasecmp(reinterpret_cast<const xmlChar*>(uri->scheme),
                         reinterpret_cast<const xmlChar*>("file")) == 0 &&
           (!uri->server || xmlStrcasecmp(reinterpret_cast<const xmlChar*>(uri->server),
                                          reinterpret_cast<const xmlChar*>("localhost")) == 0);
}

xmlDocPtr loadLocalDocument(const xmlChar* uri, xmlDictPtr dict, int options, void* /*ctxt*/,
                            xsltLoadType /*type*/) {
    if (!uri)
        return nullptr;
    return CaricaXmlLocale(reinterpret_cast<const char*>(uri), options, dict);
}

} // namespace

xmlDocPtr CaricaXmlLocale(const std::string& percorso, int opzioni, xmlDict* dizionario) {
    if (!isLocal(percorso.c_str()))
        return nullptr;
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt)
        return nullptr;
    // Stylesheet documents share the stylesheet's dictionary, as libxslt's own loader does.
    if (dizionario) {
        xmlDictFree(ctxt->dict);
        ctxt->dict = dizionario;
        xmlDictReference(dizionario);
    }
    // Without RECOVER the parser returns nothing for a document that is not well-formed.
    return xmlCtxtReadFile(ctxt.get(), percorso.c_str(), nullptr,
                           (opzioni | XML_PARSE_NONET) & ~XML_PARSE_RECOVER);
}

void PreparaXslt() {
    static const bool pronto = [] {
        exsltRegisterAll();
        xsltSetLoaderFunc(loadLocalDocument);
        return true;
    }();
    (void)pronto;
}

} // namespace ondivo
