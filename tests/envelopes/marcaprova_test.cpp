// The time-stamps the tests make: tokens that openssl's own verifier accepts, and envelopes that
// carry one on their first signer.
#include "certificatifixture.h"
#include "envelopefixture.h"
#include "identitaprova.h"
#include "marcaprova.h"

#include <gtest/gtest.h>

#include <openssl/cms.h>
#include <openssl/pem.h>
#include <openssl/ts.h>

#include <string>
#include <vector>

using namespace ondivo;
using namespace ondivo::test;

namespace {

// The authorities, made once: a root with its time-stamping authority, another root with its
// own, a self-signed authority, and two signers under the first root.
struct Mondo {
    Identita radice = Autorita("Ondivo Test TSA Root");
    Identita tsa = AutoritaMarche("Ondivo Test TSA", &radice);
    Identita altraRadice = Autorita("Other TSA Root");
    Identita altraTsa = AutoritaMarche("Other TSA", &altraRadice);
    Identita tsaAutofirmata = AutoritaMarche("Self-signed TSA");
    Identita mario = Emetti(Persona(), &radice);
    Identita anna = Emetti(Persona(), &radice);

    static const Mondo& get() {
        static const Mondo mondo;
        return mondo;
    }
};

std::string Pem(const Identita& identita) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    EXPECT_EQ(PEM_write_bio_X509(bio.get(), identita.certificato.get()), 1);
    char* dati = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &dati);
    return std::string(dati, static_cast<std::size_t>(n));
}

struct Uscita {
    bool riuscito; // ended with 0
    std::string testo;
};

// Runs openssl with `argomenti`, its output and errors into a file of the folder.
Uscita Openssl(const TempDir& dir, const std::vector<std::string>& argomenti) {
    const auto out = TempDir::Utf8(dir.path() / "openssl.out");
    std::vector<std::string> comando = {"/bin/sh", "-c", "o=$1; shift; exec \"$@\" >\"$o\" 2>&1",
                                        "sh",      out,  ONDIVO_OPENSSL};
    comando.insert(comando.end(), argomenti.begin(), argomenti.end());
    const bool riuscito = Esegui(comando);
    return {riuscito, LeggiFile(out)};
}

// openssl ts -verify of `token` over `dati`, trusting `radice`, with `tsa` given as untrusted;
// without the system's configuration.
Uscita VerificaToken(const TempDir& dir, const std::string& token, const std::string& dati,
                     const Identita& radice, const Identita& tsa) {
    return Openssl(dir, {"ts", "-verify", "-in", dir.write("token.der", token), "-token_in",
                         "-data", dir.write("dati.bin", dati), "-CAfile",
                         dir.write("root.pem", Pem(radice)), "-untrusted",
                         dir.write("tsa.pem", Pem(tsa)), "-config", dir.write("vuoto.cnf", "")});
}

void AspettaEsito(const Uscita& u, bool valida) {
    EXPECT_EQ(u.riuscito, valida) << u.testo;
    EXPECT_EQ(u.testo.find("Verification: OK") != std::string::npos, valida) << u.testo;
    if (!valida) {
        EXPECT_NE(u.testo.find("Verification: FAILED"), std::string::npos) << u.testo;
    }
}

const std::string kDati = "<FatturaElettronica>1</FatturaElettronica>";

// ---------------------------------------------------------------------------------------------
// MarcaTemporale, against openssl ts.

enum class Chi { Tsa, AltraTsa, Autofirmata };

struct CasoToken {
    const char* nome;
    const EVP_MD* (*md)();
    const char* algoritmo; // as openssl ts -text names it
    bool conCertificato;
    Chi firmatario;
    bool datiCambiati;
    bool valida;
    const char* quando = "20300615123456Z";
    const char* ora = "Jun 15 12:34:56 2030 GMT"; // as openssl ts -text writes `quando`
};

void PrintTo(const CasoToken& c, std::ostream* os) {
    *os << c.nome;
}

const CasoToken kCasiToken[] = {
    {"Sha256", EVP_sha256, "sha256", true, Chi::Tsa, false, true},
    {"Sha256WithoutCertificate", EVP_sha256, "sha256", false, Chi::Tsa, false, true},
    {"Sha1", EVP_sha1, "sha1", true, Chi::Tsa, false, true},
    {"Sha384", EVP_sha384, "sha384", true, Chi::Tsa, false, true},
    {"Sha512", EVP_sha512, "sha512", true, Chi::Tsa, false, true},
    {"SelfSignedTsa", EVP_sha256, "sha256", true, Chi::Autofirmata, false, true},
    {"EarliestTime", EVP_sha256, "sha256", true, Chi::Tsa, false, true, "20100101000000Z",
     "Jan  1 00:00:00 2010 GMT"},
    {"LeapDay", EVP_sha256, "sha256", true, Chi::Tsa, false, true, "20480229235959Z",
     "Feb 29 23:59:59 2048 GMT"},
    {"DataChanged", EVP_sha256, "sha256", true, Chi::Tsa, true, false},
    {"DataChangedWithoutCertificate", EVP_sha256, "sha256", false, Chi::Tsa, true, false},
    {"OtherTsa", EVP_sha256, "sha256", true, Chi::AltraTsa, false, false},
    {"OtherTsaWithoutCertificate", EVP_sha256, "sha256", false, Chi::AltraTsa, false, false},
};

class MarcaTokenTest : public testing::TestWithParam<CasoToken> {};

TEST_P(MarcaTokenTest, OpensslVerifiesIt) {
    const CasoToken& caso = GetParam();
    const Mondo& m = Mondo::get();
    const Identita& tsa = caso.firmatario == Chi::Tsa        ? m.tsa
                          : caso.firmatario == Chi::AltraTsa ? m.altraTsa
                                                             : m.tsaAutofirmata;
    // The trusted root is always the first one, but for the self-signed authority.
    const Identita& radice = caso.firmatario == Chi::Autofirmata ? m.tsaAutofirmata : m.radice;
    const std::string token =
        MarcaTemporale(tsa, kDati, caso.md(), caso.quando, caso.conCertificato);
    ASSERT_FALSE(token.empty());
    TempDir dir;
    AspettaEsito(VerificaToken(dir, token, caso.datiCambiati ? kDati + " " : kDati, radice, tsa),
                 caso.valida);

    // What the token says, as openssl prints it; the system's configuration would name the
    // policy.
    const Uscita testo =
        Openssl(dir, {"ts", "-reply", "-in", dir.write("token.der", token), "-token_in",
                      "-token_out", "-text", "-config", dir.write("vuoto.cnf", "")});
    ASSERT_TRUE(testo.riuscito) << testo.testo;
    EXPECT_NE(testo.testo.find(std::string("Time stamp: ") + caso.ora + "\n"), std::string::npos)
        << testo.testo;
    EXPECT_NE(testo.testo.find("Policy OID: 1.2.3.4.1\n"), std::string::npos) << testo.testo;
    EXPECT_NE(testo.testo.find(std::string("Hash Algorithm: ") + caso.algoritmo + "\n"),
              std::string::npos)
        << testo.testo;

    // The authority's certificate is in the token only when asked for.
    const Uscita certificati = Openssl(
        dir, {"pkcs7", "-inform", "DER", "-in", dir.write("token.der", token), "-print_certs"});
    ASSERT_TRUE(certificati.riuscito) << certificati.testo;
    EXPECT_EQ(certificati.testo.find(Pem(tsa)) != std::string::npos, caso.conCertificato)
        << certificati.testo;
}

INSTANTIATE_TEST_SUITE_P(Marca, MarcaTokenTest, testing::ValuesIn(kCasiToken),
                         [](const auto& info) { return std::string(info.param.nome); });

// A token without its authority's certificate needs it given: another authority's will not do.
TEST(MarcaToken, WithoutCertificateNeedsTheTsaGiven) {
    const Mondo& m = Mondo::get();
    const std::string token = MarcaTemporale(m.tsa, kDati, EVP_sha256(), "20300615123456Z", false);
    TempDir dir;
    AspettaEsito(VerificaToken(dir, token, kDati, m.radice, m.altraTsa), false);
}

// ---------------------------------------------------------------------------------------------
// ConMarca: the attribute on the signer, and its token against openssl ts.

enum class Forma { UnFirmatario, DueFirmatari, Controfirmata };

struct CasoBusta {
    const char* nome;
    Forma forma;
    const char* quando;
    bool guasta;
};

void PrintTo(const CasoBusta& c, std::ostream* os) {
    *os << c.nome;
}

const CasoBusta kCasiBusta[] = {
    {"OneSigner", Forma::UnFirmatario, "20300615120000Z", false},
    {"OneSignerLateTime", Forma::UnFirmatario, "20491231235959Z", false},
    {"OneSignerSpoiled", Forma::UnFirmatario, "20300615120000Z", true},
    {"TwoSigners", Forma::DueFirmatari, "20300615120000Z", false},
    {"TwoSignersSpoiled", Forma::DueFirmatari, "20300615120000Z", true},
    {"CounterSigned", Forma::Controfirmata, "20300615120000Z", false},
    {"CounterSignedSpoiled", Forma::Controfirmata, "20300615120000Z", true},
};

std::string BustaDi(const Mondo& m, Forma forma) {
    switch (forma) {
    case Forma::UnFirmatario:
        return Busta(kDati, {{&m.mario}});
    case Forma::DueFirmatari:
        return Busta(kDati, {{&m.mario}, {&m.anna}});
    case Forma::Controfirmata:
        return Controfirma(Busta(kDati, {{&m.mario}}), m.anna);
    }
    return {};
}

CmsPtr LeggiCms(const std::string& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return CmsPtr(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
}

std::string Ottetti(const ASN1_STRING* s) {
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                       static_cast<std::size_t>(ASN1_STRING_length(s)));
}

// The time-stamp tokens of a signer, as DER.
std::vector<std::string> Marche(CMS_SignerInfo* si) {
    std::vector<std::string> token;
    for (int i = CMS_unsigned_get_attr_by_NID(si, NID_id_smime_aa_timeStampToken, -1); i >= 0;
         i = CMS_unsigned_get_attr_by_NID(si, NID_id_smime_aa_timeStampToken, i)) {
        X509_ATTRIBUTE* attributo = CMS_unsigned_get_attr(si, i);
        EXPECT_EQ(X509_ATTRIBUTE_count(attributo), 1);
        const ASN1_TYPE* valore = X509_ATTRIBUTE_get0_type(attributo, 0);
        EXPECT_TRUE(valore && valore->type == V_ASN1_SEQUENCE) << "not a token";
        if (valore && valore->type == V_ASN1_SEQUENCE)
            token.push_back(Ottetti(valore->value.sequence));
    }
    return token;
}

class MarcaBustaTest : public testing::TestWithParam<CasoBusta> {};

TEST_P(MarcaBustaTest, StampsTheFirstSigner) {
    const CasoBusta& caso = GetParam();
    const Mondo& m = Mondo::get();
    const std::string originale = BustaDi(m, caso.forma);
    const CmsPtr prima = LeggiCms(originale);
    ASSERT_TRUE(prima);
    const std::string firma = ValoreFirma(prima.get());

    const std::string busta = ConMarca(originale, m.tsa, caso.quando, caso.guasta);
    const CmsPtr dopo = LeggiCms(busta);
    ASSERT_TRUE(dopo);
    // The signers may come in another order once the envelope is encoded again: the stamped
    // one is told by its signature value.
    STACK_OF(CMS_SignerInfo)* firmatari = CMS_get0_SignerInfos(dopo.get());
    ASSERT_EQ(sk_CMS_SignerInfo_num(firmatari), caso.forma == Forma::DueFirmatari ? 2 : 1);
    std::string token;
    for (int i = 0; i < sk_CMS_SignerInfo_num(firmatari); ++i) {
        CMS_SignerInfo* si = sk_CMS_SignerInfo_value(firmatari, i);
        const auto marche = Marche(si);
        if (Ottetti(CMS_SignerInfo_get0_signature(si)) != firma) {
            EXPECT_TRUE(marche.empty()) << "signer " << i;
            continue;
        }
        ASSERT_EQ(marche.size(), 1u);
        token = marche[0];
        // A counter-signature stays where it was.
        EXPECT_EQ(CMS_unsigned_get_attr_by_NID(si, NID_pkcs9_countersignature, -1) >= 0,
                  caso.forma == Forma::Controfirmata);
    }
    ASSERT_FALSE(token.empty()) << "no signer carries the token";

    const auto* p = reinterpret_cast<const unsigned char*>(token.data());
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &p, static_cast<long>(token.size())));
    ASSERT_TRUE(p7);
    TsTstInfoPtr info(PKCS7_to_TS_TST_INFO(p7.get()));
    ASSERT_TRUE(info);
    EXPECT_EQ(Ottetti(TS_TST_INFO_get_time(info.get())), caso.quando);
    TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info.get());
    EXPECT_EQ(OBJ_obj2nid(TS_MSG_IMPRINT_get_algo(imprint)->algorithm), NID_sha256);
    EXPECT_EQ(Ottetti(TS_MSG_IMPRINT_get_msg(imprint)) == Impronta(firma, EVP_sha256()),
              !caso.guasta);

    TempDir dir;
    AspettaEsito(VerificaToken(dir, token, firma, m.radice, m.tsa), !caso.guasta);
    // The envelope's signatures still hold: the token is outside what they sign.
    const Uscita cms =
        Openssl(dir, {"cms", "-verify", "-noverify", "-binary", "-inform", "DER", "-in",
                      dir.write("busta.p7m", busta), "-out", TempDir::Utf8(dir.path() / "xml")});
    EXPECT_TRUE(cms.riuscito) << cms.testo;
    EXPECT_EQ(LeggiFile(dir.path() / "xml"), kDati);
}

INSTANTIATE_TEST_SUITE_P(Marca, MarcaBustaTest, testing::ValuesIn(kCasiBusta),
                         [](const auto& info) { return std::string(info.param.nome); });

} // namespace
