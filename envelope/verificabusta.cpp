#include "certificato.h"
#include "controfirme.h"
#include "dataora.h"
#include "der.h"
#include "envelopepath.h"
#include "errors.h"
#include "files.h"
#include "formabusta.h"
#include "marcatemporale.h"
#include "opensslptr.h"
#include "p7menvelope.h"
#include "revoca.h"
#include "verificafirma.h"

#include <openssl/err.h>
#include <openssl/ess.h>
#include <openssl/objects.h>

#include <array>
#include <climits>

namespace ondivo {

namespace {

// Real envelopes carry one signer, two or three at times; a hostile one may carry thousands,
// each matched against every certificate.
constexpr int kFirmeMassime = 100;

[[noreturn]] void illeggibile(const std::string& motivo) {
    ERR_clear_error();
    throw OndivoError("Impossibile leggere la busta firmata: " + motivo);
}

std::string_view vista(const ASN1_STRING* s) {
    return {reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
            static_cast<std::size_t>(ASN1_STRING_length(s))};
}

std::optional<std::string> dataFirma(CMS_SignerInfo* firma) {
    const int i = CMS_signed_get_attr_by_NID(firma, NID_pkcs9_signingTime, -1);
    if (i < 0)
        return std::nullopt;
    const ASN1_TYPE* tipo = X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(firma, i), 0);
    if (!tipo || (tipo->type != V_ASN1_UTCTIME && tipo->type != V_ASN1_GENERALIZEDTIME))
        return std::nullopt;
    return DataOraIso(tipo->value.utctime);
}

// Reads the content through the digests the envelope declares, once for all its signers.
// The DER of an envelope without its encapsulated content, as if the content were detached,
// and where the content's bytes lie among those given. nullopt unless the envelope is encoded
// plainly (definite lengths, the content in one OCTET STRING): then it is decoded whole.
struct BustaSeparata {
    std::string senzaContenuto;
    std::string_view contenuto;
};

std::optional<BustaSeparata> separaContenuto(std::string_view der) {
    constexpr unsigned char kSequenza = 0x30, kZero = 0xA0, kOttetti = 0x04;
    std::string_view resto = der;
    const auto busta = LeggiElementoDer(resto);
    const auto parti = busta && busta->tag == kSequenza ? FigliDer(busta->contenuto) : std::nullopt;
    if (!parti || parti->size() != 2 || (*parti)[1].tag != kZero)
        return std::nullopt;
    const auto firmati = FigliDer((*parti)[1].contenuto);
    if (!firmati || firmati->size() != 1 || (*firmati)[0].tag != kSequenza)
        return std::nullopt;
    const auto campi = FigliDer((*firmati)[0].contenuto);
    if (!campi || campi->size() < 4 || (*campi)[2].tag != kSequenza)
        return std::nullopt;
    const auto incapsulato = FigliDer((*campi)[2].contenuto);
    if (!incapsulato || incapsulato->size() != 2 || (*incapsulato)[1].tag != kZero)
        return std::nullopt;
    const auto ottetti = FigliDer((*incapsulato)[1].contenuto);
    if (!ottetti || ottetti->size() != 1 || (*ottetti)[0].tag != kOttetti)
        return std::nullopt;
    std::string signedData;
    for (std::size_t i = 0; i < campi->size(); ++i)
        signedData += i == 2 ? ScriviElementoDer(kSequenza, (*incapsulato)[0].intero)
                             : std::string((*campi)[i].intero);
    BustaSeparata separata;
    separata.senzaContenuto = ScriviElementoDer(
        kSequenza, std::string((*parti)[0].intero) +
                       ScriviElementoDer(kZero, ScriviElementoDer(kSequenza, signedData)));
    separata.contenuto = (*ottetti)[0].contenuto;
    return separata;
}

// Reads the content through the digests the envelope declares, once for all its signers;
// `staccato` is the content when the envelope was decoded without it.
BioPtr contenutoDigerito(CMS_ContentInfo* cms, std::optional<std::string_view> staccato) {
    BIO* dati =
        staccato ? BIO_new_mem_buf(staccato->data(), static_cast<int>(staccato->size())) : nullptr;
    BioPtr catena(CMS_dataInit(cms, dati)); // the chain ends with `dati`, freed with it
    if (!catena) {
        BIO_free(dati);
        return nullptr;
    }
    std::array<char, 1 << 16> blocco;
    while (BIO_read(catena.get(), blocco.data(), static_cast<int>(blocco.size())) > 0) {
    }
    return catena;
}

bool chiaveSupportata(EVP_PKEY* chiave) {
    switch (chiave ? EVP_PKEY_get_base_id(chiave) : NID_undef) {
    case EVP_PKEY_RSA:
    case EVP_PKEY_RSA_PSS:
    case EVP_PKEY_EC:
    case EVP_PKEY_DSA:
        return true;
    default:
        return false;
    }
}

// The signed reference to the signer's certificate (ESS signing-certificate, v1 or v2), when
// the signature has one, names `certificato`.
bool riferimentoCertificatoValido(CMS_SignerInfo* firma, X509* certificato,
                                  STACK_OF(X509) * certificati) {
    using Ess1Ptr = std::unique_ptr<ESS_SIGNING_CERT, LiberaCon<ESS_SIGNING_CERT_free>>;
    using Ess2Ptr = std::unique_ptr<ESS_SIGNING_CERT_V2, LiberaCon<ESS_SIGNING_CERT_V2_free>>;
    // The attribute's value: nullopt when there is none; empty when it is not a SEQUENCE,
    // which names no certificate.
    const auto valore = [&](int nid) -> std::optional<std::string_view> {
        const int i = CMS_signed_get_attr_by_NID(firma, nid, -1);
        if (i < 0)
            return std::nullopt;
        const ASN1_TYPE* tipo = X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(firma, i), 0);
        if (!tipo || tipo->type != V_ASN1_SEQUENCE)
            return std::string_view();
        return vista(tipo->value.sequence);
    };
    const auto der1 = valore(NID_id_smime_aa_signingCertificate);
    const auto der2 = valore(NID_id_smime_aa_signingCertificateV2);
    if (!der1 && !der2)
        return true;
    Ess1Ptr v1;
    Ess2Ptr v2;
    if (der1) {
        const auto* p = reinterpret_cast<const unsigned char*>(der1->data());
        v1.reset(d2i_ESS_SIGNING_CERT(nullptr, &p, static_cast<long>(der1->size())));
    }
    if (der2) {
        const auto* p = reinterpret_cast<const unsigned char*>(der2->data());
        v2.reset(d2i_ESS_SIGNING_CERT_V2(nullptr, &p, static_cast<long>(der2->size())));
    }
    if ((der1 && !v1) || (der2 && !v2)) {
        ERR_clear_error();
        return false;
    }
    // The first certificate named must be the signer's; the others, when named, among those
    // carried.
    PilaX509Ptr catena(sk_X509_new_null());
    X509_up_ref(certificato);
    sk_X509_push(catena.get(), certificato);
    for (int i = 0; i < sk_X509_num(certificati); ++i) {
        X509* altro = sk_X509_value(certificati, i);
        if (X509_cmp(altro, certificato) != 0 && sk_X509_push(catena.get(), altro))
            X509_up_ref(altro);
    }
    const bool valido = OSSL_ESS_check_signing_certs(v1.get(), v2.get(), catena.get(), 0) > 0;
    ERR_clear_error();
    return valido;
}

// The time the signature's time-stamps (signature-time-stamp attributes, over the signature
// value) prove.
std::optional<std::time_t> provaDiTempo(CMS_SignerInfo* firma, const Fiducia& fiducia,
                                        const OpzioniVerifica& opzioni, Firmatario& firmatario) {
    const std::string_view valore = vista(CMS_SignerInfo_get0_signature(firma));
    std::vector<std::pair<std::string_view, std::string_view>> marche;
    for (int i = -1;
         (i = CMS_unsigned_get_attr_by_NID(firma, NID_id_smime_aa_timeStampToken, i)) >= 0;) {
        X509_ATTRIBUTE* attributo = CMS_unsigned_get_attr(firma, i);
        for (int j = 0; j < X509_ATTRIBUTE_count(attributo); ++j) {
            const ASN1_TYPE* tipo = X509_ATTRIBUTE_get0_type(attributo, j);
            if (tipo && tipo->type == V_ASN1_SEQUENCE)
                marche.emplace_back(vista(tipo->value.sequence), valore);
        }
    }
    return ProvaDiTempo(marche, fiducia, opzioni.ora, firmatario);
}

void verificaSigner(CMS_SignerInfo* firma, BIO* digerito, STACK_OF(X509) * certificati,
                    const RevochePossedute& revocheBusta, int livello, const Fiducia& fiducia,
                    const OpzioniVerifica& opzioni, VerificaFirme& esito) {
    Firmatario firmatario;
    firmatario.tipo = "CAdES";
    firmatario.livello = livello;
    EVP_PKEY* chiave = nullptr;
    X509* certificato = nullptr;
    X509_ALGOR* algoritmoDigest = nullptr;
    X509_ALGOR* algoritmoFirma = nullptr;
    CMS_SignerInfo_get0_algs(firma, &chiave, &certificato, &algoritmoDigest, &algoritmoFirma);
    const ASN1_OBJECT* oggetto = nullptr;
    if (algoritmoDigest)
        X509_ALGOR_get0(&oggetto, nullptr, nullptr, algoritmoDigest);
    const int nid = oggetto ? OBJ_obj2nid(oggetto) : NID_undef;
    firmatario.algoritmo = NomeAlgoritmo(nid);
    firmatario.dataFirma = dataFirma(firma);

    // Revocation data: the envelope's own, and those the signer added to its signature.
    RevochePossedute revoche;
    for (int i = -1;
         (i = CMS_unsigned_get_attr_by_NID(firma, NID_id_smime_aa_ets_revocationValues, i)) >= 0;) {
        const ASN1_TYPE* tipo = X509_ATTRIBUTE_get0_type(CMS_unsigned_get_attr(firma, i), 0);
        if (tipo && tipo->type == V_ASN1_SEQUENCE)
            revoche.aggiungiValori(vista(tipo->value.sequence));
    }
    DatiRevoca tutte = revocheBusta.dati();
    tutte.aggiungi(revoche.dati());

    if (!certificato) {
        Segnala(firmatario, Indicazione::Indeterminate, sotto::NoSigningCertificateFound,
                "il certificato del firmatario non è nella busta");
        ConcludiFirmatario(firmatario);
    } else {
        CampiCertificato(certificato, firmatario);
        // The digest of the content against the one signed, then the signature over the
        // signed attributes (when there are none, the first check covers the signature).
        const bool contenuto = CMS_SignerInfo_verify_content(firma, digerito) == 1;
        const bool attributi =
            CMS_signed_get_attr_count(firma) < 0 || CMS_SignerInfo_verify(firma) == 1;
        ERR_clear_error();
        firmatario.integra = contenuto && attributi;
        if (!chiaveSupportata(chiave) && !firmatario.integra)
            // The library cannot check such a key here: nothing is known of the document.
            Segnala(firmatario, Indicazione::Indeterminate, sotto::CryptoConstraintsFailure,
                    "algoritmo della firma non supportato (" + NomeChiave(chiave) + ")");
        else if (!contenuto)
            Segnala(firmatario, Indicazione::TotalFailed, sotto::HashFailure,
                    "l'impronta del documento non corrisponde a quella firmata");
        else if (!attributi)
            Segnala(firmatario, Indicazione::TotalFailed, sotto::SigCryptoFailure,
                    "la firma degli attributi firmati non è valida");
        if (!riferimentoCertificatoValido(firma, certificato, certificati))
            Segnala(firmatario, Indicazione::Indeterminate, sotto::NoSigningCertificateFound,
                    "il certificato nella busta non è quello indicato nella firma");
        ProveFirma prove;
        prove.certificati = certificati;
        prove.revoche = tutte;
        prove.nidDigest = nid;
        prove.ora = opzioni.ora;
        if (opzioni.rete)
            prove.rete = opzioni.scadenzaRete;
        if (firmatario.integra)
            prove.provaTempo = provaDiTempo(firma, fiducia, opzioni, firmatario);
        ValutaFirmatario(certificato, prove, fiducia, firmatario);
    }
    AggiungiFirmatario(esito, std::move(firmatario));

    // Counter-signatures sign this signature's value.
    ProveFirma proveControfirme;
    proveControfirme.certificati = certificati;
    proveControfirme.revoche = tutte;
    proveControfirme.ora = opzioni.ora;
    if (opzioni.rete)
        proveControfirme.rete = opzioni.scadenzaRete;
    const std::string_view valore = vista(CMS_SignerInfo_get0_signature(firma));
    for (int i = -1; (i = CMS_unsigned_get_attr_by_NID(firma, NID_pkcs9_countersignature, i)) >= 0;)
        VerificaControfirme(CMS_unsigned_get_attr(firma, i), valore, proveControfirme, livello,
                            fiducia, esito);
}

void verificaLivello(std::string_view der, int livello, const Fiducia& fiducia,
                     const OpzioniVerifica& opzioni, VerificaFirme& esito) {
    // Decoded straight from the bytes, the content left where it is when the encoding allows:
    // neither a memory BIO's gathered copy nor the decoder's copy of the content.
    const auto separata = der.size() > INT_MAX ? std::nullopt : separaContenuto(der);
    const std::string_view daLeggere = separata ? std::string_view(separata->senzaContenuto) : der;
    const auto* inizio = reinterpret_cast<const unsigned char*>(daLeggere.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &inizio, static_cast<long>(daLeggere.size())));
    if (!cms)
        illeggibile(livello == 1 ? "il file non è una busta CMS (.p7m) leggibile"
                                 : "la busta contenuta nella busta non è leggibile");
    if (OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed)
        illeggibile("la busta non contiene dati firmati");
    std::optional<std::string_view> staccato;
    if (separata) {
        staccato = separata->contenuto;
    } else {
        ASN1_OCTET_STRING** contenuto = CMS_get0_content(cms.get());
        if (!contenuto || !*contenuto)
            illeggibile("la busta non contiene il documento firmato");
    }
    STACK_OF(CMS_SignerInfo)* firme = CMS_get0_SignerInfos(cms.get());
    if (sk_CMS_SignerInfo_num(firme) <= 0)
        illeggibile("la busta non contiene firme");
    if (sk_CMS_SignerInfo_num(firme) > kFirmeMassime)
        illeggibile("contiene più di " + std::to_string(kFirmeMassime) + " firme");
    // Each signer gets its certificate from those the envelope carries; one missing is said
    // for that signer.
    CMS_set1_signers_certs(cms.get(), nullptr, 0);
    ERR_clear_error();
    PilaX509Ptr certificati(CMS_get1_certs(cms.get()));
    RevochePossedute revoche;
    revoche.aggiungiDaCms(cms.get());
    BioPtr digerito = contenutoDigerito(cms.get(), staccato);
    if (!digerito)
        illeggibile("algoritmo di impronta non supportato");
    for (int i = 0; i < sk_CMS_SignerInfo_num(firme); ++i)
        verificaSigner(sk_CMS_SignerInfo_value(firme, i), digerito.get(), certificati.get(),
                       revoche, livello, fiducia, opzioni, esito);

    // A content that is itself an envelope is verified in turn; an XML one may carry XML
    // signatures of its own, which are checked too.
    const std::string_view dati = staccato ? *staccato : vista(*CMS_get0_content(cms.get()));
    if (auto interna = BustaInterna(dati)) {
        if (livello == LivelliMassimiBuste)
            illeggibile("contiene buste annidate oltre " + std::to_string(LivelliMassimiBuste) +
                        " livelli");
        digerito.reset();
        cms.reset();
        verificaLivello(*interna, livello + 1, fiducia, opzioni, esito);
    } else if (dati.find("Signature") != std::string_view::npos && EXmlSemplice(dati)) {
        try {
            VerificaFirme xml = VerificaFirmeXml(dati, fiducia, opzioni);
            for (auto& f : xml.firmatari) {
                f.livello = livello + 1;
                AggiungiFirmatario(esito, std::move(f));
            }
            esito.contenutoNonFirmato = esito.contenutoNonFirmato || xml.contenutoNonFirmato;
            esito.avvisi.insert(esito.avvisi.end(), xml.avvisi.begin(), xml.avvisi.end());
        } catch (const OndivoError&) {
            // Content that is not XML carries no XML signature.
        }
    }
}

// The envelope of some bytes, verified where they are when they are DER already.
std::optional<VerificaFirme> verificaSeBusta(std::string_view dati, const Fiducia& fiducia,
                                             const OpzioniVerifica& opzioni) {
    std::optional<std::string> decodificata;
    if (!EBustaDer(dati)) {
        decodificata = BustaInterna(dati);
        if (!decodificata)
            return std::nullopt;
        dati = *decodificata;
    }
    VerificaFirme esito;
    verificaLivello(dati, 1, fiducia, opzioni, esito);
    AvvisiFiducia(fiducia, opzioni.ora, esito);
    return esito;
}

} // namespace

VerificaFirme VerificaBusta(std::string_view dati, const Fiducia& fiducia,
                            const OpzioniVerifica& opzioni) {
    auto esito = verificaSeBusta(dati, fiducia, opzioni);
    if (!esito)
        illeggibile("il file non è una busta CMS (.p7m) leggibile");
    return std::move(*esito);
}

VerificaFirme VerificaFirmeFile(const std::string& percorso, const Fiducia& fiducia,
                                const OpzioniVerifica& opzioni) {
    return VerificaFirmeDati(platform::LeggiFile(percorso), percorso, fiducia, opzioni);
}

VerificaFirme VerificaFirmeDati(const std::string& dati, const std::string& nome,
                                const Fiducia& fiducia, const OpzioniVerifica& opzioni) {
    // An envelope in any of its forms, whatever the name; a ".p7m" that is plain XML is an
    // invoice like any other, and any other file is read as the invoice's XML.
    if (auto esito = verificaSeBusta(dati, fiducia, opzioni))
        return std::move(*esito);
    if (IsEnvelope(nome) && !EXmlSemplice(dati))
        illeggibile("il file non è una busta CMS (.p7m) leggibile");
    // Without the element's name anywhere there is no XML signature to look for: the many
    // unsigned invoices of a list need not be parsed again.
    if (dati.find("Signature") == std::string::npos && EXmlSemplice(dati))
        return {};
    return VerificaFirmeXml(dati, fiducia, opzioni);
}

} // namespace ondivo
