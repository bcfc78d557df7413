#pragma once

// The check of one XML signature (ds:Signature, with its XAdES signed properties when it has
// them) enveloped in a document, shared by the invoice's signatures and the trusted list's own.

#include "opensslptr.h"
#include "revoca.h"
#include "xmldocument.h"

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

inline constexpr const char* NsFirmaXml = "http://www.w3.org/2000/09/xmldsig#";

// The element has that local name in that namespace.
bool ElementoXml(const xmlNode* nodo, const char* nome, const char* ns);
// The child elements with that local name in that namespace, in document order.
std::vector<xmlNode*> FigliXml(const xmlNode* padre, const char* nome, const char* ns);
// The first of them; nullptr when there is none (or no parent).
xmlNode* FiglioXml(const xmlNode* padre, const char* nome, const char* ns);
// The text of the element and of all its descendants, UTF-8; empty for nullptr.
std::string TestoXml(const xmlNode* nodo);

// Prepares libxml2, OpenSSL and xmlsec once per process; the functions below call it
// themselves. Beware: xmlsec puts in place, for the whole process, a libxml2 entity loader
// that refuses every external entity but the document being parsed. Throws OndivoError when
// xmlsec cannot be used.
void PreparaXmlSec();

// Parses XML held in memory, safely: no network, no DTD loading, entity references left
// unexpanded, libxml2's own size limits kept. nullptr when it is not XML, with the parser's
// reason in `motivo` (English, as libxml2 gives it).
XmlDocPtr LeggiXmlInMemoria(std::string_view xml, std::string& motivo);

// The ds:Signature elements of the document in document order, but not those inside another
// signature (counter-signatures and the like).
std::vector<xmlNode*> FirmeDelDocumento(xmlDoc* documento);

// A time-stamp token (DER) and the bytes it stamps.
struct MarcaXml {
    std::string token;
    std::string dati;
};

// What the check of one signature found.
struct FirmaXmlVerificata {
    // The document (all of it but the signatures), the signed properties and the signature
    // value hold, with the key of `certificato`.
    bool integra = false;
    std::string motivo; // in Italian, when not intact
    // Why not, as a sub-indication: HASH_FAILURE (signed data changed), SIG_CRYPTO_FAILURE,
    // FORMAT_FAILURE (a structure or a reach not accepted), NO_SIGNING_CERTIFICATE_FOUND,
    // CRYPTO_CONSTRAINTS_FAILURE (an algorithm the library cannot check); nullptr when intact.
    const char* sottoindicazione = nullptr;
    X509Ptr certificato;                 // the signer's; nullptr when the signature has none
    PilaX509Ptr altriCertificati;        // the other certificates in its KeyInfo
    std::optional<std::string> oraFirma; // xades:SigningTime as written, only when signed
    int nidDigest = 0;                   // NID of the digest of the reference to the document
    RevochePossedute revoche;            // xades:RevocationValues of its unsigned properties
    std::vector<MarcaXml> marche;        // its xades:SignatureTimeStamp tokens
    // Objects of the signature that no signed reference covers (the XAdES properties apart).
    bool oggettiNonFirmati = false;
};

// Verifies one ds:Signature of the document with the key of the certificate it carries (the one
// xades:SigningCertificate names, else the one that issued none of the others), without judging
// that certificate. Only references inside the document are followed, and only through
// canonicalisation, enveloped-signature, XPath filter and Base64 transforms; a signature is
// intact only when its reference to the document covers all of it but the signatures.
// Registers the Id, ID and id attributes of the document as XML identifiers; a value carried
// twice makes the signature not intact.
FirmaXmlVerificata VerificaFirmaDsig(xmlDoc* documento, xmlNode* firma);

} // namespace ondivo
