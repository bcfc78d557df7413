#include "certificato.h"
#include "controfirme.h"
#include "envelopepath.h"
#include "errors.h"
#include "files.h"
#include "formabusta.h"
#include "opensslptr.h"
#include "p7menvelope.h"
#include "verificafirma.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <array>

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
BioPtr contenutoDigerito(CMS_ContentInfo* cms) {
    BioPtr catena(CMS_dataInit(cms, nullptr));
    if (!catena)
        return nullptr;
    std::array<char, 1 << 16> blocco;
    while (BIO_read(catena.get(), blocco.data(), static_cast<int>(blocco.size())) > 0) {
    }
    return catena;
}

void verificaSigner(CMS_SignerInfo* firma, BIO* digerito, STACK_OF(X509) * certificati,
                    int livello, const Fiducia& fiducia, VerificaFirme& esito) {
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
    firmatario.algoritmoDebole = AlgoritmoDebole(nid);
    firmatario.dataFirma = dataFirma(firma);
    if (!certificato) {
        firmatario.motivo = "il certificato del firmatario non è nella busta";
        firmatario.esito = EsitoFirma::NonValida;
    } else {
        CampiCertificato(certificato, firmatario);
        // The digest of the content against the one signed, then the signature over the
        // signed attributes (when there are none, the first check covers the signature).
        const bool contenuto = CMS_SignerInfo_verify_content(firma, digerito) == 1;
        const bool attributi =
            CMS_signed_get_attr_count(firma) < 0 || CMS_SignerInfo_verify(firma) == 1;
        ERR_clear_error();
        firmatario.integra = contenuto && attributi;
        if (!contenuto)
            firmatario.motivo = "l'impronta del documento non corrisponde a quella firmata";
        else if (!attributi)
            firmatario.motivo = "la firma degli attributi firmati non è valida";
        ValutaFirmatario(certificato, certificati, fiducia, firmatario);
    }
    esito.esito = Peggiore(esito.esito, firmatario.esito);
    esito.firmatari.push_back(std::move(firmatario));

    // Counter-signatures sign this signature's value.
    const std::string_view valore = vista(CMS_SignerInfo_get0_signature(firma));
    for (int i = -1; (i = CMS_unsigned_get_attr_by_NID(firma, NID_pkcs9_countersignature, i)) >= 0;)
        VerificaControfirme(CMS_unsigned_get_attr(firma, i), valore, certificati, livello, fiducia,
                            esito);
}

void verificaLivello(std::string_view der, int livello, const Fiducia& fiducia,
                     VerificaFirme& esito) {
    BioPtr ingresso(BIO_new_mem_buf(der.data(), static_cast<int>(der.size())));
    CmsPtr cms(ingresso ? d2i_CMS_bio(ingresso.get(), nullptr) : nullptr);
    if (!cms)
        illeggibile(livello == 1 ? "il file non è una busta CMS (.p7m) leggibile"
                                 : "la busta contenuta nella busta non è leggibile");
    if (OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed)
        illeggibile("la busta non contiene dati firmati");
    ASN1_OCTET_STRING** contenuto = CMS_get0_content(cms.get());
    if (!contenuto || !*contenuto)
        illeggibile("la busta non contiene il documento firmato");
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
    BioPtr digerito = contenutoDigerito(cms.get());
    if (!digerito)
        illeggibile("algoritmo di impronta non supportato");
    for (int i = 0; i < sk_CMS_SignerInfo_num(firme); ++i)
        verificaSigner(sk_CMS_SignerInfo_value(firme, i), digerito.get(), certificati.get(),
                       livello, fiducia, esito);

    // A content that is itself an envelope is verified in turn.
    const std::string_view dati = vista(*contenuto);
    if (auto interna = BustaInterna(dati)) {
        if (livello == LivelliMassimiBuste)
            illeggibile("contiene buste annidate oltre " + std::to_string(LivelliMassimiBuste) +
                        " livelli");
        digerito.reset();
        cms.reset();
        verificaLivello(*interna, livello + 1, fiducia, esito);
    }
}

} // namespace

VerificaFirme VerificaBusta(std::string_view dati, const Fiducia& fiducia) {
    const auto der = BustaInterna(dati);
    if (!der)
        illeggibile("il file non è una busta CMS (.p7m) leggibile");
    VerificaFirme esito;
    verificaLivello(*der, 1, fiducia, esito);
    return esito;
}

VerificaFirme VerificaFirmeFile(const std::string& percorso, const Fiducia& fiducia) {
    return VerificaFirmeDati(platform::LeggiFile(percorso), percorso, fiducia);
}

VerificaFirme VerificaFirmeDati(const std::string& dati, const std::string& nome,
                                const Fiducia& fiducia) {
    // An envelope in any of its forms, whatever the name; a ".p7m" that is plain XML is an
    // invoice like any other, and any other file is read as the invoice's XML.
    if (const auto der = BustaInterna(dati)) {
        VerificaFirme esito;
        verificaLivello(*der, 1, fiducia, esito);
        return esito;
    }
    if (IsEnvelope(nome) && !EXmlSemplice(dati))
        illeggibile("il file non è una busta CMS (.p7m) leggibile");
    // Without the element's name anywhere there is no XML signature to look for: the many
    // unsigned invoices of a list need not be parsed again.
    if (dati.find("Signature") == std::string::npos && EXmlSemplice(dati))
        return {};
    return VerificaFirmeXml(dati, fiducia);
}

} // namespace ondivo
