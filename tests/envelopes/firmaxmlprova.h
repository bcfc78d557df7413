#pragma once

// XML signatures made by the tests with xmlsec, as a signing program would make them (an
// enveloped ds:Signature with XAdES signed properties), or with the faults a case needs.

#include "esitofirma.h"
#include "identitaprova.h"
#include "marcaprova.h"
#include "verificadsig.h"
#include "xmlsecptr.h"

#include <gtest/gtest.h>

#include <libxml/c14n.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <openssl/evp.h>
#include <xmlsec/crypto.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/templates.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmltree.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace ondivo {

inline void PrintTo(EsitoFirma esito, std::ostream* os) {
    *os << ChiaveEsito(esito);
}

} // namespace ondivo

namespace ondivo::test {

inline constexpr const char* kNsXades = "http://uri.etsi.org/01903/v1.3.2#";

// What the reference to the document covers.
enum class Copertura {
    Avvolta,      // enveloped-signature and exclusive canonicalisation, as most programs do
    TutteLeFirme, // an XPath filter that leaves out every ds:Signature, as the SdI does
    SenzaCorpo,   // an XPath filter that leaves out the invoice body as well
    Nessuna,      // no reference to the document at all
};

struct OpzioniFirma {
    std::string id = "Firma1";                     // of the signature; empty: none
    std::string oraFirma = "2024-05-14T10:00:00Z"; // empty: no XAdES signed properties
    bool sha1 = false;                             // the digests SHA-1 rather than SHA-256
    Copertura copertura = Copertura::Avvolta;
    std::string uriDocumento = {}; // of the reference to the document, "" by default
    std::string uriEsterno = {};   // a further reference to this URI
    bool xslt = false;             // an XSLT transform on the reference to the document
    bool indicaCertificato = true; // xades:SigningCertificate names the signer's certificate
    // The certificates put in KeyInfo, in this order; the signer's alone when empty.
    std::vector<const Identita*> certificati = {};
    // xades:SigningCertificate names the other certificates of KeyInfo before the signer's.
    bool indicaAutorita = false;
    // Revocation lists (DER) carried in the unsigned XAdES properties.
    std::vector<std::string> crl = {};
    // A signature time-stamp by this authority at `oraMarca` ("YYYYMMDDhhmmssZ"), in the
    // unsigned properties; `marcaAltrove` stamps other bytes than the signature value.
    const Identita* marca = nullptr;
    std::string oraMarca = {};
    bool marcaAltrove = false;
};

inline ChiaveXmlSecPtr ChiavePrivataXmlSec(EVP_PKEY* chiave) {
    EVP_PKEY_up_ref(chiave);
    EvpPkeyPtr riferimento(chiave);
    DatiChiaveXmlSecPtr dati(xmlSecOpenSSLEvpKeyAdopt(riferimento.get()));
    if (!dati)
        return nullptr;
    riferimento.release();
    ChiaveXmlSecPtr chiaveXml(xmlSecKeyCreate());
    if (!chiaveXml || xmlSecKeySetValue(chiaveXml.get(), dati.get()) < 0)
        return nullptr;
    dati.release();
    return chiaveXml;
}

inline const xmlChar* Xc(const char* testo) {
    return reinterpret_cast<const xmlChar*>(testo);
}

using XPathContextPtr = std::unique_ptr<xmlXPathContext, LiberaCon<xmlXPathFreeContext>>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, LiberaCon<xmlXPathFreeObject>>;

// The canonical form (inclusive 1.0) of the signature's ds:SignatureValue, whole, as a
// time-stamp over it covers it: chosen by the XPath of the node set, not by a callback.
inline std::string ValoreFirmaCanonico(xmlDoc* documento) {
    XPathContextPtr contesto(xmlXPathNewContext(documento));
    xmlXPathRegisterNs(contesto.get(), Xc("ds"), Xc(NsFirmaXml));
    XPathObjectPtr nodi(xmlXPathEvalExpression(
        Xc("(//. | //@* | //namespace::*)[ancestor-or-self::ds:SignatureValue]"), contesto.get()));
    xmlChar* testo = nullptr;
    const int n = xmlC14NDocDumpMemory(documento, nodi ? nodi->nodesetval : nullptr, XML_C14N_1_0,
                                       nullptr, 0, &testo);
    const TestoXmlPtr proprietario(testo);
    return n > 0 ? std::string(reinterpret_cast<const char*>(testo), static_cast<std::size_t>(n))
                 : std::string();
}

// Adds to the document's root a signature by `firmatario` and returns the whole document.
inline std::string FirmaXml(const std::string& xml, const Identita& firmatario,
                            const OpzioniFirma& opzioni = {}) {
    PreparaXmlSec();
    XmlDocPtr documento(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, XML_PARSE_NONET));
    if (!documento)
        throw std::runtime_error("the text to sign is not XML");
    xmlNode* radice = xmlDocGetRootElement(documento.get());
    const bool ec = EVP_PKEY_get_base_id(firmatario.chiave.get()) == EVP_PKEY_EC;
    xmlNode* firma = xmlSecTmplSignatureCreateNsPref(
        documento.get(), xmlSecTransformExclC14NId,
        ec ? xmlSecTransformEcdsaSha256Id : xmlSecTransformRsaSha256Id,
        opzioni.id.empty() ? nullptr : Xc(opzioni.id.c_str()), Xc("ds"));
    xmlAddChild(radice, firma);
    const xmlSecTransformId digest = opzioni.sha1 ? xmlSecTransformSha1Id : xmlSecTransformSha256Id;

    const xmlChar* nsFirma[] = {Xc("ds"), Xc(NsFirmaXml), nullptr};
    xmlNode* riferimento = nullptr;
    switch (opzioni.copertura) {
    case Copertura::Avvolta:
        riferimento = xmlSecTmplSignatureAddReference(firma, digest, nullptr,
                                                      Xc(opzioni.uriDocumento.c_str()), nullptr);
        xmlSecTmplReferenceAddTransform(riferimento, xmlSecTransformEnvelopedId);
        xmlSecTmplReferenceAddTransform(riferimento, xmlSecTransformExclC14NId);
        break;
    case Copertura::TutteLeFirme:
    case Copertura::SenzaCorpo: {
        riferimento = xmlSecTmplSignatureAddReference(firma, digest, nullptr, Xc(""), nullptr);
        xmlNode* filtro = xmlSecTmplReferenceAddTransform(riferimento, xmlSecTransformXPath2Id);
        xmlSecTmplTransformAddXPath2(
            filtro, Xc("subtract"),
            Xc(opzioni.copertura == Copertura::TutteLeFirme
                   ? "/descendant::ds:Signature"
                   : "/descendant::ds:Signature | "
                     "/descendant::*[local-name()='FatturaElettronicaBody']"),
            nsFirma);
        break;
    }
    case Copertura::Nessuna:
        break;
    }
    if (opzioni.xslt && riferimento) {
        xmlNode* trasformazione =
            xmlSecTmplReferenceAddTransform(riferimento, xmlSecTransformXsltId);
        xmlSecTmplTransformAddXsltStylesheet(
            trasformazione,
            Xc("<xsl:stylesheet version=\"1.0\" "
               "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"text\"/>"
               "<xsl:template match=\"/\">solo questo testo</xsl:template></xsl:stylesheet>"));
    }
    if (!opzioni.uriEsterno.empty())
        xmlSecTmplSignatureAddReference(firma, digest, nullptr, Xc(opzioni.uriEsterno.c_str()),
                                        nullptr);

    if (!opzioni.oraFirma.empty()) {
        xmlNode* oggetto = xmlSecTmplSignatureAddObject(firma, nullptr, nullptr, nullptr);
        xmlNode* qualificanti = xmlNewChild(oggetto, nullptr, Xc("QualifyingProperties"), nullptr);
        xmlNs* xades = xmlNewNs(qualificanti, Xc(kNsXades), Xc("xades"));
        xmlSetNs(qualificanti, xades);
        xmlSetProp(qualificanti, Xc("Target"), Xc(("#" + opzioni.id).c_str()));
        const std::string idProprieta = opzioni.id + "-proprieta";
        xmlNode* proprieta = xmlNewChild(qualificanti, xades, Xc("SignedProperties"), nullptr);
        xmlSetProp(proprieta, Xc("Id"), Xc(idProprieta.c_str()));
        xmlNode* diFirma = xmlNewChild(proprieta, xades, Xc("SignedSignatureProperties"), nullptr);
        xmlNewTextChild(diFirma, xades, Xc("SigningTime"), Xc(opzioni.oraFirma.c_str()));
        if (opzioni.indicaCertificato) {
            std::vector<const Identita*> indicati;
            if (opzioni.indicaAutorita)
                for (const Identita* altro : opzioni.certificati)
                    if (altro != &firmatario)
                        indicati.push_back(altro);
            indicati.push_back(&firmatario);
            xmlNode* elenco = xmlNewChild(diFirma, xades, Xc("SigningCertificate"), nullptr);
            for (const Identita* indicato : indicati) {
                std::string der = indicato->der();
                unsigned char valore[EVP_MAX_MD_SIZE];
                unsigned int n = 0;
                EVP_Digest(der.data(), der.size(), valore, &n, EVP_sha256(), nullptr);
                xmlNode* digestCertificato =
                    xmlNewChild(xmlNewChild(elenco, xades, Xc("Cert"), nullptr), xades,
                                Xc("CertDigest"), nullptr);
                xmlSetProp(xmlNewChild(digestCertificato, firma->ns, Xc("DigestMethod"), nullptr),
                           Xc("Algorithm"), Xc("http://www.w3.org/2001/04/xmlenc#sha256"));
                xmlNewTextChild(
                    digestCertificato, firma->ns, Xc("DigestValue"),
                    Xc(Identita::Base64(std::string(reinterpret_cast<char*>(valore), n)).c_str()));
            }
        }
        xmlNode* riferimentoProprieta =
            xmlSecTmplSignatureAddReference(firma, digest, nullptr, Xc(("#" + idProprieta).c_str()),
                                            Xc("http://uri.etsi.org/01903#SignedProperties"));
        xmlSecTmplReferenceAddTransform(riferimentoProprieta, xmlSecTransformExclC14NId);
    }

    // Signing makes identifiers of the signature's own Id attributes only.
    const xmlChar* nomiId[] = {Xc("Id"), nullptr};
    xmlSecAddIDs(documento.get(), radice, nomiId);
    ContestoFirmaXmlPtr contesto(xmlSecDSigCtxCreate(nullptr));
    contesto->signKey = ChiavePrivataXmlSec(firmatario.chiave.get()).release(); // freed with it
    if (!contesto->signKey || xmlSecDSigCtxSign(contesto.get(), firma) < 0)
        throw std::runtime_error("xmlsec could not sign");

    // The revocation values are unsigned properties, added after the signature.
    if (!opzioni.crl.empty() && !opzioni.oraFirma.empty()) {
        xmlNode* qualificanti = xmlSecFindNode(firma, Xc("QualifyingProperties"), Xc(kNsXades));
        xmlNs* xades = qualificanti->ns;
        xmlNode* valori = xmlNewChild(
            xmlNewChild(xmlNewChild(qualificanti, xades, Xc("UnsignedProperties"), nullptr), xades,
                        Xc("UnsignedSignatureProperties"), nullptr),
            xades, Xc("RevocationValues"), nullptr);
        xmlNode* liste = xmlNewChild(valori, xades, Xc("CRLValues"), nullptr);
        for (const auto& crl : opzioni.crl)
            xmlNewTextChild(liste, xades, Xc("EncapsulatedCRLValue"),
                            Xc(Identita::Base64(crl).c_str()));
    }

    if (opzioni.marca && !opzioni.oraFirma.empty()) {
        xmlNode* qualificanti = xmlSecFindNode(firma, Xc("QualifyingProperties"), Xc(kNsXades));
        xmlNs* xades = qualificanti->ns;
        xmlNode* nonFirmate =
            xmlSecFindNode(qualificanti, Xc("UnsignedSignatureProperties"), Xc(kNsXades));
        if (!nonFirmate)
            nonFirmate =
                xmlNewChild(xmlNewChild(qualificanti, xades, Xc("UnsignedProperties"), nullptr),
                            xades, Xc("UnsignedSignatureProperties"), nullptr);
        std::string marcati = ValoreFirmaCanonico(documento.get());
        EXPECT_FALSE(marcati.empty());
        if (opzioni.marcaAltrove)
            marcati += " ";
        const std::string token =
            MarcaTemporale(*opzioni.marca, marcati, EVP_sha256(), opzioni.oraMarca);
        xmlNode* elemento = xmlNewChild(nonFirmate, xades, Xc("SignatureTimeStamp"), nullptr);
        xmlSetProp(xmlNewChild(elemento, firma->ns, Xc("CanonicalizationMethod"), nullptr),
                   Xc("Algorithm"), Xc("http://www.w3.org/TR/2001/REC-xml-c14n-20010315"));
        xmlNewTextChild(elemento, xades, Xc("EncapsulatedTimeStamp"),
                        Xc(Identita::Base64(token).c_str()));
    }

    // KeyInfo is not signed: it is written after the signature.
    xmlNode* dati = xmlSecTmplKeyInfoAddX509Data(xmlSecTmplSignatureEnsureKeyInfo(firma, nullptr));
    std::vector<const Identita*> certificati = opzioni.certificati;
    if (certificati.empty())
        certificati.push_back(&firmatario);
    for (const Identita* certificato : certificati)
        xmlNewTextChild(dati, firma->ns, Xc("X509Certificate"), Xc(certificato->base64().c_str()));

    xmlChar* testo = nullptr;
    int dimensione = 0;
    xmlDocDumpMemoryEnc(documento.get(), &testo, &dimensione, "UTF-8");
    const TestoXmlPtr proprietario(testo);
    return std::string(reinterpret_cast<const char*>(testo), static_cast<std::size_t>(dimensione));
}

// The text holds the part; the text is shown when it does not.
inline testing::AssertionResult Contiene(const std::string& testo, const std::string& parte) {
    if (testo.find(parte) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "\"" << testo << "\" does not contain \"" << parte << "\"";
}

} // namespace ondivo::test
