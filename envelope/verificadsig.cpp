#include "verificadsig.h"
#include "base64text.h"
#include "codificaansi.h"
#include "errors.h"
#include "esitofirma.h"
#include "text.h"
#include "xmlsecptr.h"

#include <libxml/c14n.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>
#include <xmlsec/buffer.h>
#include <xmlsec/crypto.h>
#include <xmlsec/errors.h>
#include <xmlsec/list.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/transforms.h>
#include <xmlsec/xmlsec.h>
#include <xmlsec/xmltree.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <mutex>

namespace ondivo {

namespace {

constexpr const char* kNsXades132 = "http://uri.etsi.org/01903/v1.3.2#";
constexpr const char* kNsXades141 = "http://uri.etsi.org/01903/v1.4.1#";
constexpr const char* kNsC14nEsclusiva = "http://www.w3.org/2001/10/xml-exc-c14n#";

const xmlChar* X(const char* testo) {
    return reinterpret_cast<const xmlChar*>(testo);
}

std::string comeTesto(const xmlChar* testo) {
    return testo ? reinterpret_cast<const char*>(testo) : std::string();
}

// XAdES elements come in the namespace of 1.3.2, the properties added later in that of 1.4.1.
xmlNode* figlioXades(const xmlNode* padre, const char* nome) {
    xmlNode* figlio = FiglioXml(padre, nome, kNsXades132);
    return figlio ? figlio : FiglioXml(padre, nome, kNsXades141);
}

std::string attributo(const xmlNode* nodo, const char* nome) {
    if (!nodo)
        return {};
    TestoXmlPtr valore(xmlGetNoNsProp(nodo, X(nome)));
    return comeTesto(valore.get());
}

// ---------------------------------------------------------------------------------------------
// xmlsec's messages. It reports a failure where it happens and again at every level above it,
// always through one callback for the whole process: the running thread's first reason that
// says more than "failed" is kept, and nothing is printed.

thread_local int t_primoErrore = 0;

void annotaErrore(const char*, int, const char*, const char*, const char*, int motivo,
                  const char*) {
    if (t_primoErrore == 0 && motivo != XMLSEC_ERRORS_R_XMLSEC_FAILED)
        t_primoErrore = motivo;
}

void nessunMessaggio(void*, const char*, ...) {}

// libxml2's own messages (XPath, canonicalisation) go nowhere while a signature is checked;
// the handler is the running thread's and is put back afterwards.
class MessaggiLibxmlTaciuti {
public:
    MessaggiLibxmlTaciuti() : m_funzione(xmlGenericError), m_contesto(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, nessunMessaggio);
    }
    ~MessaggiLibxmlTaciuti() { xmlSetGenericErrorFunc(m_contesto, m_funzione); }
    MessaggiLibxmlTaciuti(const MessaggiLibxmlTaciuti&) = delete;
    MessaggiLibxmlTaciuti& operator=(const MessaggiLibxmlTaciuti&) = delete;

private:
    xmlGenericErrorFunc m_funzione;
    void* m_contesto;
};

std::string motivoErrore(int errore) {
    switch (errore) {
    case XMLSEC_ERRORS_R_INVALID_URI_TYPE:
        return "la firma rimanda a dati esterni al documento, che non sono stati letti";
    case XMLSEC_ERRORS_R_TRANSFORM_DISABLED:
    case XMLSEC_ERRORS_R_INVALID_TRANSFORM:
        return "la firma usa una trasformazione o un algoritmo non ammesso";
    case XMLSEC_ERRORS_R_KEY_NOT_FOUND:
    case XMLSEC_ERRORS_R_INVALID_KEY_DATA:
        return "la chiave del certificato non è adatta all'algoritmo della firma";
    default:
        return "la struttura della firma non è leggibile";
    }
}

// ---------------------------------------------------------------------------------------------
// Digests, by the URIs XML signatures name them with.

struct AlgoritmoDigest {
    const char* uri;
    int nid;
};

constexpr AlgoritmoDigest kDigest[] = {
    {"http://www.w3.org/2000/09/xmldsig#sha1", NID_sha1},
    {"http://www.w3.org/2001/04/xmldsig-more#sha224", NID_sha224},
    {"http://www.w3.org/2001/04/xmlenc#sha256", NID_sha256},
    {"http://www.w3.org/2001/04/xmldsig-more#sha384", NID_sha384},
    {"http://www.w3.org/2001/04/xmlenc#sha512", NID_sha512},
    {"http://www.w3.org/2007/05/xmldsig-more#sha3-256", NID_sha3_256},
    {"http://www.w3.org/2007/05/xmldsig-more#sha3-384", NID_sha3_384},
    {"http://www.w3.org/2007/05/xmldsig-more#sha3-512", NID_sha3_512},
    {"http://www.w3.org/2001/04/xmldsig-more#md5", NID_md5},
};

int nidDigest(const std::string& uri) {
    for (const auto& algoritmo : kDigest)
        if (uri == algoritmo.uri)
            return algoritmo.nid;
    return NID_undef;
}

int nidDigestDelRiferimento(const xmlNode* riferimento) {
    return nidDigest(attributo(FiglioXml(riferimento, "DigestMethod", NsFirmaXml), "Algorithm"));
}

// The signature methods of certificates' keys that the library checks.
bool metodoSupportato(const std::string& uri) {
    static constexpr std::string_view kMetodi[] = {
        "http://www.w3.org/2000/09/xmldsig#rsa-sha1",
        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha224",
        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256",
        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha384",
        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha512",
        "http://www.w3.org/2001/04/xmldsig-more#rsa-md5",
        "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha1",
        "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha224",
        "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256",
        "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha384",
        "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha512",
        "http://www.w3.org/2007/05/xmldsig-more#sha1-rsa-MGF1",
        "http://www.w3.org/2007/05/xmldsig-more#sha224-rsa-MGF1",
        "http://www.w3.org/2007/05/xmldsig-more#sha256-rsa-MGF1",
        "http://www.w3.org/2007/05/xmldsig-more#sha384-rsa-MGF1",
        "http://www.w3.org/2007/05/xmldsig-more#sha512-rsa-MGF1",
        "http://www.w3.org/2000/09/xmldsig#dsa-sha1",
        "http://www.w3.org/2009/xmldsig11#dsa-sha256",
    };
    for (std::string_view m : kMetodi)
        if (uri == m)
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// The tree.

void raccogliFirme(xmlNode* padre, std::vector<xmlNode*>& firme) {
    for (xmlNode* nodo = padre->children; nodo; nodo = nodo->next) {
        if (nodo->type != XML_ELEMENT_NODE)
            continue;
        if (ElementoXml(nodo, "Signature", NsFirmaXml))
            firme.push_back(nodo);
        else
            raccogliFirme(nodo, firme);
    }
}

const xmlChar* kNomiId[] = {X("Id"), X("ID"), X("id"), nullptr};

bool eNomeId(const xmlChar* nome) {
    for (const xmlChar** n = kNomiId; *n; ++n)
        if (xmlStrEqual(nome, *n))
            return true;
    return false;
}

bool identificativiUnici(xmlDoc* documento, const xmlNode* padre) {
    for (xmlNode* nodo = padre->children; nodo; nodo = nodo->next) {
        if (nodo->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttr* a = nodo->properties; a; a = a->next) {
            if (!eNomeId(a->name))
                continue;
            TestoXmlPtr valore(xmlNodeListGetString(documento, a->children, 1));
            if (valore && xmlGetID(documento, valore.get()) != a)
                return false;
        }
        if (!identificativiUnici(documento, nodo))
            return false;
    }
    return true;
}

// Makes the Id, ID and id attributes identifiers, so that references "#…" find them; false
// when two elements carry the same one: a reference would then name either, and what was
// digested need not be what is read.
bool registraIdentificativi(xmlDoc* documento) {
    xmlNode* radice = xmlDocGetRootElement(documento);
    xmlSecAddIDs(documento, radice, kNomiId);
    for (xmlAttr* a = radice->properties; a; a = a->next) {
        if (!eNomeId(a->name))
            continue;
        TestoXmlPtr valore(xmlNodeListGetString(documento, a->children, 1));
        if (valore && xmlGetID(documento, valore.get()) != a)
            return false;
    }
    return identificativiUnici(documento, radice);
}

// The element the identifier names (without "#"), nullptr when none does.
const xmlNode* elementoConId(xmlDoc* documento, const std::string& id) {
    const xmlAttr* a = id.empty() ? nullptr : xmlGetID(documento, X(id.c_str()));
    return a ? a->parent : nullptr;
}

// The URI of a reference names the element with that identifier: "#id" or "#xpointer(id('id'))".
bool uriDiId(const std::string& uri, const std::string& id) {
    return !id.empty() && (uri == "#" + id || uri == "#xpointer(id('" + id + "'))" ||
                           uri == "#xpointer(id(\"" + id + "\"))");
}

std::string idDi(const xmlNode* elemento) {
    for (const xmlChar** n = kNomiId; *n; ++n) {
        std::string id = attributo(elemento, reinterpret_cast<const char*>(*n));
        if (!id.empty())
            return id;
    }
    return {};
}

// An element, or one inside it, carries the identifier a reference names.
bool riferito(const xmlNode* elemento, const std::vector<std::string>& uri) {
    const std::string id = idDi(elemento);
    for (const auto& u : uri)
        if (uriDiId(u, id))
            return true;
    for (const xmlNode* figlio = elemento->children; figlio; figlio = figlio->next)
        if (figlio->type == XML_ELEMENT_NODE && riferito(figlio, uri))
            return true;
    return false;
}

// The signature carries objects that none of its references covers, besides its XAdES
// properties (whose unsigned part is unsigned by design).
bool oggettiNonFirmati(const xmlNode* firma, const std::vector<xmlNode*>& riferimenti) {
    std::vector<std::string> uri;
    for (const xmlNode* r : riferimenti)
        uri.push_back(attributo(r, "URI"));
    for (const xmlNode* oggetto : FigliXml(firma, "Object", NsFirmaXml)) {
        if (figlioXades(oggetto, "QualifyingProperties") || riferito(oggetto, uri))
            continue;
        for (const xmlNode* n = oggetto->children; n; n = n->next)
            if (n->type == XML_ELEMENT_NODE ||
                (n->type == XML_TEXT_NODE && !xmlIsBlankNode(const_cast<xmlNode*>(n))))
                return true;
    }
    return false;
}

// The revocation data of the unsigned properties (xades:RevocationValues).
void leggiRevoche(const xmlNode* qualificanti, RevochePossedute& revoche) {
    const xmlNode* valori = figlioXades(
        figlioXades(figlioXades(qualificanti, "UnsignedProperties"), "UnsignedSignatureProperties"),
        "RevocationValues");
    for (const xmlNode* crl :
         FigliXml(figlioXades(valori, "CRLValues"), "EncapsulatedCRLValue",
                  reinterpret_cast<const char*>(valori ? valori->ns->href : X(kNsXades132))))
        if (auto der = DecodificaTestoBase64(TestoXml(crl)))
            revoche.aggiungiCrl(*der);
    for (const xmlNode* ocsp :
         FigliXml(figlioXades(valori, "OCSPValues"), "EncapsulatedOCSPValue",
                  reinterpret_cast<const char*>(valori ? valori->ns->href : X(kNsXades132))))
        if (auto der = DecodificaTestoBase64(TestoXml(ocsp)))
            revoche.aggiungiOcsp(*der);
}

// ---------------------------------------------------------------------------------------------
// The certificates.

std::vector<X509Ptr> certificatiDellaFirma(const xmlNode* firma) {
    std::vector<X509Ptr> certificati;
    for (const xmlNode* info : FigliXml(firma, "KeyInfo", NsFirmaXml))
        for (const xmlNode* dati : FigliXml(info, "X509Data", NsFirmaXml))
            for (const xmlNode* testo : FigliXml(dati, "X509Certificate", NsFirmaXml)) {
                const auto der = DecodificaTestoBase64(TestoXml(testo));
                if (!der)
                    continue;
                const auto* p = reinterpret_cast<const unsigned char*>(der->data());
                X509Ptr certificato(d2i_X509(nullptr, &p, static_cast<long>(der->size())));
                if (certificato)
                    certificati.push_back(std::move(certificato));
            }
    return certificati;
}

// The certificates xades:SigningCertificate (or SigningCertificateV2) names by their digest.
struct CertificatoIndicato {
    bool indicato = false; // the signed properties name one
    int indice = -1;       // which of those carried, -1 when none matches
};

CertificatoIndicato certificatoIndicato(const xmlNode* proprieta,
                                        const std::vector<X509Ptr>& certificati) {
    CertificatoIndicato esito;
    std::vector<std::size_t> indicati;
    const xmlNode* firmaProprieta = figlioXades(proprieta, "SignedSignatureProperties");
    for (const char* nome : {"SigningCertificate", "SigningCertificateV2"}) {
        const xmlNode* elenco = figlioXades(firmaProprieta, nome);
        if (!elenco)
            continue;
        esito.indicato = true;
        for (const xmlNode* cert :
             FigliXml(elenco, "Cert", reinterpret_cast<const char*>(elenco->ns->href))) {
            const xmlNode* digest = figlioXades(cert, "CertDigest");
            const EVP_MD* md = EVP_get_digestbynid(
                nidDigest(attributo(FiglioXml(digest, "DigestMethod", NsFirmaXml), "Algorithm")));
            const auto atteso =
                DecodificaTestoBase64(TestoXml(FiglioXml(digest, "DigestValue", NsFirmaXml)));
            if (!md || !atteso)
                continue;
            for (std::size_t i = 0; i < certificati.size(); ++i) {
                std::array<unsigned char, EVP_MAX_MD_SIZE> valore{};
                unsigned int n = 0;
                if (X509_digest(certificati[i].get(), md, valore.data(), &n) == 1 &&
                    atteso->size() == n && std::memcmp(atteso->data(), valore.data(), n) == 0)
                    indicati.push_back(i);
            }
        }
    }
    // The list may name the authorities too, in any order: the signer's is the one that is
    // not an authority's.
    for (std::size_t i : indicati)
        if (!(X509_get_extension_flags(certificati[i].get()) & EXFLAG_CA)) {
            esito.indice = static_cast<int>(i);
            return esito;
        }
    if (!indicati.empty())
        esito.indice = static_cast<int>(indicati.front());
    return esito;
}

// The signer's certificate among those carried: the first that issued none of the others.
std::size_t certificatoFinale(const std::vector<X509Ptr>& certificati) {
    for (std::size_t i = 0; i < certificati.size(); ++i) {
        bool emittente = false;
        for (std::size_t j = 0; j < certificati.size() && !emittente; ++j)
            emittente = j != i &&
                        X509_check_issued(certificati[i].get(), certificati[j].get()) == X509_V_OK;
        if (!emittente)
            return i;
    }
    return 0;
}

ChiaveXmlSecPtr chiaveDelCertificato(X509* certificato) {
    EvpPkeyPtr pubblica(X509_get_pubkey(certificato));
    if (!pubblica)
        return nullptr;
    DatiChiaveXmlSecPtr dati(xmlSecOpenSSLEvpKeyAdopt(pubblica.get()));
    if (!dati)
        return nullptr;
    pubblica.release(); // adopted by the key data
    ChiaveXmlSecPtr chiave(xmlSecKeyCreate());
    if (!chiave || xmlSecKeySetValue(chiave.get(), dati.get()) < 0)
        return nullptr;
    dati.release(); // owned by the key
    return chiave;
}

// ---------------------------------------------------------------------------------------------
// What may be run: canonicalisation, enveloped signature, XPath filters and Base64 on the
// references (no XSLT, no external data), common digests and signature methods.

bool limitaTrasformazioni(xmlSecDSigCtx* contesto) {
    const xmlSecTransformId canonicalizzazioni[] = {
        xmlSecTransformInclC14NId,   xmlSecTransformInclC14NWithCommentsId,
        xmlSecTransformInclC14N11Id, xmlSecTransformInclC14N11WithCommentsId,
        xmlSecTransformExclC14NId,   xmlSecTransformExclC14NWithCommentsId,
    };
    const xmlSecTransformId riferimenti[] = {
        xmlSecTransformEnvelopedId, xmlSecTransformXPathId,  xmlSecTransformXPath2Id,
        xmlSecTransformBase64Id,    xmlSecTransformSha1Id,   xmlSecTransformSha224Id,
        xmlSecTransformSha256Id,    xmlSecTransformSha384Id, xmlSecTransformSha512Id,
    };
    const xmlSecTransformId firma[] = {
        xmlSecTransformRsaSha1Id,     xmlSecTransformRsaSha224Id,   xmlSecTransformRsaSha256Id,
        xmlSecTransformRsaSha384Id,   xmlSecTransformRsaSha512Id,   xmlSecTransformEcdsaSha1Id,
        xmlSecTransformEcdsaSha224Id, xmlSecTransformEcdsaSha256Id, xmlSecTransformEcdsaSha384Id,
        xmlSecTransformEcdsaSha512Id,
    };
    for (xmlSecTransformId id : canonicalizzazioni)
        if (xmlSecDSigCtxEnableReferenceTransform(contesto, id) < 0 ||
            xmlSecDSigCtxEnableSignatureTransform(contesto, id) < 0)
            return false;
    for (xmlSecTransformId id : riferimenti)
        if (xmlSecDSigCtxEnableReferenceTransform(contesto, id) < 0)
            return false;
    for (xmlSecTransformId id : firma)
        if (xmlSecDSigCtxEnableSignatureTransform(contesto, id) < 0)
            return false;
    contesto->enabledReferenceUris =
        xmlSecTransformUriTypeEmpty | xmlSecTransformUriTypeSameDocument;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Whether the reference to the document digests all of it but the signatures: its data before
// the digest must be the canonical form of the document without this signature, or without
// any signature (as signatures side by side leave each other out).

struct Visibili {
    const std::vector<xmlNode*>* esclusi;
    const xmlNode* radice; // nullptr: the whole document
    bool commenti;
};

int eVisibile(void* dati, xmlNode* nodo, xmlNode* padre) {
    const auto& visibili = *static_cast<const Visibili*>(dati);
    if (!nodo)
        return 0;
    if (nodo->type == XML_COMMENT_NODE && !visibili.commenti)
        return 0;
    // A namespace node is an xmlNs: it stands on its element, the parent given.
    const xmlNode* n = nodo->type == XML_NAMESPACE_DECL ? padre : nodo;
    bool sottoRadice = visibili.radice == nullptr;
    for (; n; n = n->parent) {
        if (std::find(visibili.esclusi->begin(), visibili.esclusi->end(), n) !=
            visibili.esclusi->end())
            return 0;
        sottoRadice = sottoRadice || n == visibili.radice;
    }
    return sottoRadice ? 1 : 0;
}

int scriviInStringa(void* contesto, const char* dati, int quanti) {
    static_cast<std::string*>(contesto)->append(dati, static_cast<std::size_t>(quanti));
    return quanti;
}

// How a reference's data is made canonical before its digest: by its last transform when that
// is a canonicalisation, else as xmlsec does it (inclusive 1.0, without comments).
struct FormaCanonica {
    int modo = XML_C14N_1_0;
    bool commenti = false;
    std::vector<std::string> prefissi; // exclusive canonicalisation's InclusiveNamespaces
};

// The canonicalisation an element names in its Algorithm attribute (with the exclusive one's
// InclusiveNamespaces); inclusive 1.0 without comments when it names none known.
FormaCanonica formaDi(const xmlNode* metodo) {
    FormaCanonica forma;
    struct Canonicalizzazione {
        const char* uri;
        int modo;
        bool commenti;
    };
    static constexpr Canonicalizzazione kForme[] = {
        {"http://www.w3.org/TR/2001/REC-xml-c14n-20010315", XML_C14N_1_0, false},
        {"http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments", XML_C14N_1_0, true},
        {"http://www.w3.org/2006/12/xml-c14n11", XML_C14N_1_1, false},
        {"http://www.w3.org/2006/12/xml-c14n11#WithComments", XML_C14N_1_1, true},
        {"http://www.w3.org/2001/10/xml-exc-c14n#", XML_C14N_EXCLUSIVE_1_0, false},
        {"http://www.w3.org/2001/10/xml-exc-c14n#WithComments", XML_C14N_EXCLUSIVE_1_0, true},
    };
    const std::string algoritmo = attributo(metodo, "Algorithm");
    for (const auto& c : kForme) {
        if (algoritmo != c.uri)
            continue;
        forma.modo = c.modo;
        forma.commenti = c.commenti;
    }
    if (forma.modo == XML_C14N_EXCLUSIVE_1_0) {
        const std::string elenco =
            attributo(FiglioXml(metodo, "InclusiveNamespaces", kNsC14nEsclusiva), "PrefixList");
        std::size_t inizio = 0;
        while (inizio < elenco.size()) {
            const std::size_t fine =
                std::min(elenco.find_first_of(" \t\r\n", inizio), elenco.size());
            if (fine > inizio)
                forma.prefissi.push_back(elenco.substr(inizio, fine - inizio));
            inizio = fine + 1;
        }
    }
    return forma;
}

FormaCanonica formaDelRiferimento(const xmlNode* riferimento) {
    const auto trasformazioni =
        FigliXml(FiglioXml(riferimento, "Transforms", NsFirmaXml), "Transform", NsFirmaXml);
    return trasformazioni.empty() ? FormaCanonica() : formaDi(trasformazioni.back());
}

std::optional<std::string> formaCanonica(xmlDoc* documento, const Visibili& visibili,
                                         const FormaCanonica& forma) {
    std::string uscita;
    std::vector<xmlChar*> prefissi;
    for (const auto& p : forma.prefissi)
        prefissi.push_back(const_cast<xmlChar*>(X(p.c_str())));
    prefissi.push_back(nullptr);
    int esito = -1;
    {
        OutputBufferPtr buffer(xmlOutputBufferCreateIO(scriviInStringa, nullptr, &uscita, nullptr));
        if (!buffer)
            return std::nullopt;
        esito = xmlC14NExecute(documento, eVisibile, const_cast<Visibili*>(&visibili), forma.modo,
                               forma.prefissi.empty() ? nullptr : prefissi.data(),
                               visibili.commenti ? 1 : 0, buffer.get());
    } // closed: everything is in `uscita`
    if (esito < 0)
        return std::nullopt;
    return uscita;
}

bool copreIlDocumento(xmlDoc* documento, xmlNode* firma, const xmlNode* riferimento,
                      const std::string& uri, xmlSecDSigReferenceCtx* contesto) {
    xmlSecBuffer* digerito = xmlSecDSigReferenceCtxGetPreDigestBuffer(contesto);
    if (!digerito)
        return false;
    const std::string_view dati(reinterpret_cast<const char*>(xmlSecBufferGetData(digerito)),
                                xmlSecBufferGetSize(digerito));
    const FormaCanonica forma = formaDelRiferimento(riferimento);
    // "" and "#id" leave comments out whatever the canonicalisation; "#xpointer(…)" keeps them.
    const bool commenti = forma.commenti && uri.rfind("#xpointer(", 0) == 0;
    const bool tutto = uri.empty() || uri == "#xpointer(/)";
    const xmlNode* radice = tutto ? nullptr : xmlDocGetRootElement(documento);

    const std::vector<xmlNode*> questa{firma};
    const std::vector<xmlNode*> tutte = FirmeDelDocumento(documento);
    for (const auto* esclusi : {&questa, &tutte}) {
        if (esclusi == &tutte && tutte.size() <= 1)
            break;
        const Visibili visibili{esclusi, radice, commenti};
        const auto attesa = formaCanonica(documento, visibili, forma);
        if (attesa && *attesa == dati)
            return true;
    }
    return false;
}

// The signature time-stamps of the unsigned properties (xades:SignatureTimeStamp), each with
// what it stamps: ds:SignatureValue, whole, in the canonical form the time-stamp names.
void leggiMarche(xmlDoc* documento, const xmlNode* firma, const xmlNode* qualificanti,
                 std::vector<MarcaXml>& marche) {
    xmlNode* valore = FiglioXml(firma, "SignatureValue", NsFirmaXml);
    const xmlNode* proprieta =
        figlioXades(figlioXades(qualificanti, "UnsignedProperties"), "UnsignedSignatureProperties");
    if (!valore || !proprieta)
        return;
    for (const xmlNode* marca = proprieta->children; marca; marca = marca->next) {
        if (!ElementoXml(marca, "SignatureTimeStamp", kNsXades132) &&
            !ElementoXml(marca, "SignatureTimeStamp", kNsXades141))
            continue;
        const FormaCanonica forma = formaDi(FiglioXml(marca, "CanonicalizationMethod", NsFirmaXml));
        const std::vector<xmlNode*> nessuno;
        const auto dati = formaCanonica(documento, {&nessuno, valore, forma.commenti}, forma);
        for (const xmlNode* token : FigliXml(marca, "EncapsulatedTimeStamp",
                                             reinterpret_cast<const char*>(marca->ns->href)))
            if (auto der = DecodificaTestoBase64(TestoXml(token)); der && dati)
                marche.push_back({*der, *dati});
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool ElementoXml(const xmlNode* nodo, const char* nome, const char* ns) {
    return nodo && nodo->type == XML_ELEMENT_NODE && nodo->ns && xmlStrEqual(nodo->name, X(nome)) &&
           xmlStrEqual(nodo->ns->href, X(ns));
}

std::vector<xmlNode*> FigliXml(const xmlNode* padre, const char* nome, const char* ns) {
    std::vector<xmlNode*> figli;
    if (padre)
        for (xmlNode* nodo = padre->children; nodo; nodo = nodo->next)
            if (ElementoXml(nodo, nome, ns))
                figli.push_back(nodo);
    return figli;
}

xmlNode* FiglioXml(const xmlNode* padre, const char* nome, const char* ns) {
    if (padre)
        for (xmlNode* nodo = padre->children; nodo; nodo = nodo->next)
            if (ElementoXml(nodo, nome, ns))
                return nodo;
    return nullptr;
}

std::string TestoXml(const xmlNode* nodo) {
    if (!nodo)
        return {};
    TestoXmlPtr testo(xmlNodeGetContent(nodo));
    return comeTesto(testo.get());
}

void PreparaXmlSec() {
    static std::once_flag unaVolta;
    static bool pronta = false;
    std::call_once(unaVolta, [] {
        xmlInitParser();
        pronta = xmlSecInit() >= 0 && xmlSecCheckVersion() == 1 &&
                 xmlSecCryptoAppInit(nullptr) >= 0 && xmlSecCryptoInit() >= 0;
        // After the initialisation, which puts xmlsec's own callbacks in place.
        xmlSecErrorsSetCallback(annotaErrore);
        ERR_clear_error();
    });
    if (!pronta)
        throw OndivoError("Verifica delle firme XML non disponibile: la libreria xmlsec non si "
                          "è avviata");
}

XmlDocPtr LeggiXmlInMemoria(std::string_view xml, std::string& motivo) {
    PreparaXmlSec();
    if (xml.size() > static_cast<std::size_t>(INT_MAX)) {
        motivo = "document too large";
        return nullptr;
    }
    RegistraCodificaAnsi();
    ParserCtxtPtr contesto(xmlNewParserCtxt());
    if (!contesto) {
        motivo = "out of memory";
        return nullptr;
    }
    XmlDocPtr documento(
        xmlCtxtReadMemory(contesto.get(), xml.data(), static_cast<int>(xml.size()), nullptr,
                          nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (documento && xmlDocGetRootElement(documento.get()))
        return documento;
    const xmlError* errore = xmlCtxtGetLastError(contesto.get());
    if (errore && errore->message)
        motivo = "riga " + std::to_string(errore->line) + ": " + std::string(Trim(errore->message));
    else
        motivo = "no root element";
    return nullptr;
}

std::vector<xmlNode*> FirmeDelDocumento(xmlDoc* documento) {
    std::vector<xmlNode*> firme;
    xmlNode* radice = xmlDocGetRootElement(documento);
    if (ElementoXml(radice, "Signature", NsFirmaXml))
        firme.push_back(radice);
    else if (radice)
        raccogliFirme(radice, firme);
    return firme;
}

FirmaXmlVerificata VerificaFirmaDsig(xmlDoc* documento, xmlNode* firma) {
    PreparaXmlSec();
    FirmaXmlVerificata esito;

    // The references, and among them the one to the document: "", "#xpointer(/)" or the
    // root's identifier.
    const std::string idRadice = idDi(xmlDocGetRootElement(documento));
    const auto riferimenti =
        FigliXml(FiglioXml(firma, "SignedInfo", NsFirmaXml), "Reference", NsFirmaXml);
    int documentoFirmato = -1;
    for (std::size_t i = 0; i < riferimenti.size() && documentoFirmato < 0; ++i) {
        const std::string uri = attributo(riferimenti[i], "URI");
        if (uri.empty() || uri == "#xpointer(/)" || uriDiId(uri, idRadice))
            documentoFirmato = static_cast<int>(i);
    }
    if (!riferimenti.empty())
        esito.nidDigest = nidDigestDelRiferimento(riferimenti[std::max(documentoFirmato, 0)]);

    // The signer's certificate: the one the signed properties name, else the last of the chain.
    const xmlNode* proprieta = nullptr;
    for (const xmlNode* oggetto : FigliXml(firma, "Object", NsFirmaXml)) {
        proprieta = figlioXades(figlioXades(oggetto, "QualifyingProperties"), "SignedProperties");
        if (proprieta)
            break;
    }
    // An algorithm the library cannot check says nothing of the document.
    const std::string metodo = attributo(
        FiglioXml(FiglioXml(firma, "SignedInfo", NsFirmaXml), "SignatureMethod", NsFirmaXml),
        "Algorithm");
    if (!metodoSupportato(metodo)) {
        esito.motivo = "algoritmo della firma non supportato (" + metodo + ")";
        esito.sottoindicazione = sotto::CryptoConstraintsFailure;
        return esito;
    }
    std::vector<X509Ptr> certificati = certificatiDellaFirma(firma);
    if (certificati.empty()) {
        esito.motivo = "la firma non contiene il certificato del firmatario";
        esito.sottoindicazione = sotto::NoSigningCertificateFound;
        return esito;
    }
    const CertificatoIndicato indicato = certificatoIndicato(proprieta, certificati);
    const std::size_t scelto = indicato.indice >= 0 ? static_cast<std::size_t>(indicato.indice)
                                                    : certificatoFinale(certificati);
    esito.certificato = std::move(certificati[scelto]);
    esito.altriCertificati.reset(sk_X509_new_null());
    for (auto& certificato : certificati)
        if (certificato && esito.altriCertificati &&
            sk_X509_push(esito.altriCertificati.get(), certificato.get()) > 0)
            certificato.release(); // owned by the stack

    if (!registraIdentificativi(documento)) {
        esito.motivo = "il documento ripete uno stesso identificativo: la firma non è verificabile";
        esito.sottoindicazione = sotto::FormatFailure;
        return esito;
    }
    ChiaveXmlSecPtr chiave = chiaveDelCertificato(esito.certificato.get());
    if (!chiave) {
        esito.motivo = "la chiave del certificato del firmatario non è leggibile";
        esito.sottoindicazione = sotto::CryptoConstraintsFailure;
        return esito;
    }
    ContestoFirmaXmlPtr contesto(xmlSecDSigCtxCreate(nullptr));
    if (!contesto || !limitaTrasformazioni(contesto.get())) {
        esito.motivo = "verifica non disponibile";
        esito.sottoindicazione = sotto::CryptoConstraintsFailure;
        return esito;
    }
    // Manifests are not ours to check; the data before each digest is kept for the check of
    // what the document reference covers.
    contesto->flags |=
        XMLSEC_DSIG_FLAGS_IGNORE_MANIFESTS | XMLSEC_DSIG_FLAGS_STORE_SIGNEDINFO_REFERENCES;
    // The key is given: the KeyInfo is not read, nor any chain verified, by xmlsec.
    contesto->keyInfoReadCtx.flags |= XMLSEC_KEYINFO_FLAGS_X509DATA_DONT_VERIFY_CERTS;
    contesto->signKey = chiave.release(); // freed with the context

    int verificata = -1;
    {
        const MessaggiLibxmlTaciuti taciuti;
        t_primoErrore = 0;
        verificata = xmlSecDSigCtxVerify(contesto.get(), firma);
        ERR_clear_error();
    }
    if (verificata < 0) {
        esito.motivo = motivoErrore(t_primoErrore);
        // A key that cannot have made a signature of that algorithm is not the signer's.
        esito.sottoindicazione = t_primoErrore == XMLSEC_ERRORS_R_KEY_NOT_FOUND ||
                                         t_primoErrore == XMLSEC_ERRORS_R_INVALID_KEY_DATA
                                     ? sotto::NoSigningCertificateFound
                                     : sotto::FormatFailure;
        return esito;
    }

    const std::string idProprieta = idDi(proprieta);
    const xmlSecSize fatti = xmlSecPtrListGetSize(&contesto->signedInfoReferences);
    bool proprietaFirmate = false;
    for (xmlSecSize i = 0; i < fatti && i < riferimenti.size(); ++i) {
        auto* riferimento = static_cast<xmlSecDSigReferenceCtx*>(
            xmlSecPtrListGetItem(&contesto->signedInfoReferences, i));
        const std::string uri = comeTesto(riferimento->uri);
        const bool diProprieta = uriDiId(uri, idProprieta);
        if (riferimento->status != xmlSecDSigStatusSucceeded) {
            esito.motivo = static_cast<int>(i) == documentoFirmato
                               ? "il documento è stato modificato dopo la firma"
                           : diProprieta ? "i dati della firma (data, certificato) sono stati "
                                           "modificati dopo la firma"
                                         : "una parte firmata è stata modificata dopo la firma";
            esito.sottoindicazione = sotto::HashFailure;
            return esito;
        }
        proprietaFirmate =
            proprietaFirmate || (diProprieta && elementoConId(documento, idProprieta) == proprieta);
    }
    if (contesto->status != xmlSecDSigStatusSucceeded) {
        esito.motivo = "la firma non corrisponde ai dati firmati e al certificato";
        esito.sottoindicazione = sotto::SigCryptoFailure;
        return esito;
    }
    if (documentoFirmato < 0) {
        esito.motivo = "la firma non riguarda il documento";
        esito.sottoindicazione = sotto::FormatFailure;
        return esito;
    }
    auto* riferimentoDocumento = static_cast<xmlSecDSigReferenceCtx*>(xmlSecPtrListGetItem(
        &contesto->signedInfoReferences, static_cast<xmlSecSize>(documentoFirmato)));
    if (!copreIlDocumento(documento, firma, riferimenti[static_cast<std::size_t>(documentoFirmato)],
                          attributo(riferimenti[static_cast<std::size_t>(documentoFirmato)], "URI"),
                          riferimentoDocumento)) {
        esito.motivo = "la firma non copre tutto il documento";
        esito.sottoindicazione = sotto::FormatFailure;
        return esito;
    }
    if (proprietaFirmate && indicato.indicato && indicato.indice < 0) {
        esito.motivo = "il certificato nella firma non è quello indicato dal firmatario";
        esito.sottoindicazione = sotto::NoSigningCertificateFound;
        return esito;
    }
    if (proprietaFirmate) {
        const xmlNode* ora =
            figlioXades(figlioXades(proprieta, "SignedSignatureProperties"), "SigningTime");
        if (ora)
            esito.oraFirma = TestoXml(ora);
    }
    esito.oggettiNonFirmati = oggettiNonFirmati(firma, riferimenti);
    if (proprieta) {
        leggiRevoche(proprieta->parent, esito.revoche);
        leggiMarche(documento, firma, proprieta->parent, esito.marche);
    }
    esito.integra = true;
    return esito;
}

} // namespace ondivo
