#pragma once

// Owning handles for the xmlsec objects the XML signature code uses, and for the few libxml2
// objects it needs beside the document itself (XmlDocPtr, in invoice/xmldocument.h).

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlmemory.h>
#include <xmlsec/keys.h>
#include <xmlsec/keysdata.h>
#include <xmlsec/xmldsig.h>

#include <memory>

namespace ondivo {

template <auto Libera>
struct LiberaXml {
    template <class T>
    void operator()(T* p) const {
        Libera(p);
    }
};

using ParserCtxtXmlPtr = std::unique_ptr<xmlParserCtxt, LiberaXml<xmlFreeParserCtxt>>;
// Closing flushes what is left to the buffer's writer.
using OutputBufferXmlPtr = std::unique_ptr<xmlOutputBuffer, LiberaXml<xmlOutputBufferClose>>;

// Text libxml2 allocated for the caller (xmlGetProp, xmlNodeGetContent…).
struct LiberaTestoXml {
    void operator()(xmlChar* testo) const { xmlFree(testo); }
};
using TestoXmlPtr = std::unique_ptr<xmlChar, LiberaTestoXml>;

using ChiaveXmlSecPtr = std::unique_ptr<xmlSecKey, LiberaXml<xmlSecKeyDestroy>>;
using DatiChiaveXmlSecPtr = std::unique_ptr<xmlSecKeyData, LiberaXml<xmlSecKeyDataDestroy>>;
using ContestoFirmaXmlPtr = std::unique_ptr<xmlSecDSigCtx, LiberaXml<xmlSecDSigCtxDestroy>>;

} // namespace ondivo
