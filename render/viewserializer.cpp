#include "viewserializer.h"

#include "ansicodec.h"
#include "errors.h"
#include "xsltptr.h"

#include <libxml/encoding.h>
#include <libxml/globals.h>
#include <libxslt/xsltutils.h>

#include <memory>
#include <new>

namespace ondivo {

namespace {

const xmlChar* asXml(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

struct XmlCharDeleter {
    void operator()(xmlChar* s) const { xmlFree(s); }
};
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharDeleter>;

bool sameName(const xmlChar* name, const char* expected) {
    return name && xmlStrcasecmp(name, asXml(expected)) == 0;
}

// A page that declares a character set other than the one its bytes are in shows every
// accented letter wrong; a browser honours a <meta> wherever it stands.
void declareCharsetIn(xmlNode* meta) {
    bool contentType = false;
    xmlAttr* content = nullptr;
    for (xmlAttr* a = meta->properties; a; a = a->next) {
        if (sameName(a->name, "charset")) {
            xmlSetProp(meta, a->name, asXml(CodificaVista));
        } else if (sameName(a->name, "content")) {
            content = a;
        } else if (sameName(a->name, "http-equiv")) {
            XmlCharPtr value(xmlNodeGetContent(reinterpret_cast<xmlNode*>(a)));
            contentType = sameName(value.get(), "Content-Type");
        }
    }
    if (contentType && content) {
        const std::string value = std::string("text/html; charset=") + CodificaVista;
        xmlSetProp(meta, content->name, asXml(value.c_str()));
    }
}

void declareCharsetEverywhere(xmlDoc* doc) {
    xmlNode* node = doc->children;
    while (node) {
        if (node->type == XML_ELEMENT_NODE) {
            if (sameName(node->name, "meta"))
                declareCharsetIn(node);
            if (node->children) {
                node = node->children;
                continue;
            }
        }
        while (node && !node->next) {
            node = node->parent;
            if (node == reinterpret_cast<xmlNode*>(doc))
                node = nullptr;
        }
        if (node)
            node = node->next;
    }
}

int appendToString(void* target, const char* buffer, int len) {
    static_cast<std::string*>(target)->append(buffer, static_cast<std::size_t>(len));
    return len;
}

} // namespace

void DichiaraCodificaVista(xsltStylesheet* style) {
    xmlFree(style->encoding);
    style->encoding = xmlStrdup(asXml(CodificaVista));
}

std::string SerializzaPerVista(xmlDoc* risultato, xsltStylesheet* style) {
    if (!risultato || !risultato->children)
        return {};
    declareCharsetEverywhere(risultato);

    // The encoder writes a character the code page lacks as "&#N;". A libxml2 built without
    // iconv has no such encoder: the text then stays UTF-8, and the final conversion to the
    // code page substitutes those characters instead.
    xmlCharEncodingHandler* encoder = xmlFindCharEncodingHandler(CodificaVista);
    std::string bytes;
    // The buffer owns the encoder from here on.
    OutputBufferPtr buf(xmlOutputBufferCreateIO(appendToString, nullptr, &bytes, encoder));
    if (!buf) {
        if (encoder)
            xmlCharEncCloseFunc(encoder);
        throw std::bad_alloc();
    }
    if (xsltSaveResultTo(buf.get(), risultato, style) < 0 || xmlOutputBufferFlush(buf.get()) < 0 ||
        buf->error != 0)
        throw OndivoError("Errore nella scrittura del documento HTML");
    buf.reset();
    return encoder ? AnsiToUtf8(bytes) : bytes;
}

} // namespace ondivo
