// The verdict on the CMS signatures of an envelope: each signer, counter-signer and inner
// envelope, against authorities made by the test.
#include "certificatifixture.h"
#include "envelopefixture.h"
#include "errors.h"
#include "firmaxmlprova.h"
#include "marcaprova.h"
#include "p7menvelope.h"
#include "verificafirma.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace ondivo::test {
namespace {

const std::string kFattura =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica versione=\"FPR12\" "
    "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">"
    "<Causale>FIRMATA/1</Causale></p:FatturaElettronica>\n";

// Every case is judged on 1 June 2030: the lists of revocation below are current then.
constexpr std::time_t kOra = 1906502400; // 2030-06-01T00:00:00Z
const OpzioniVerifica kOpzioni{kOra};

// The authorities and signers of every case, made once.
struct Mondo {
    Identita radice = Autorita("Ondivo Test Root CA");
    Identita emittente = Intermedia("Ondivo Qualified CA", radice);
    Identita estranea = Autorita("Autorita Sconosciuta CA");
    Identita mario = Emetti(Persona(), &emittente);
    Identita scaduto = Emetti(Persona("20190101000000Z", "20210101000000Z"), &emittente);
    Identita futuro = Emetti(Persona("20400101000000Z", "20450101000000Z"), &emittente);
    Identita anna = Emetti({{{"C", "IT"},
                             {"GN", "Anna"},
                             {"SN", "Bianchi"},
                             {"serialNumber", "IT:BNCNNA85M41F205X"},
                             {"CN", "BIANCHI ANNA"}}},
                           &emittente);
    Identita daSconosciuta = Emetti(Persona(), &estranea);
    // Certificates for other uses than signing.
    Identita cifratura =
        Emetti(conUso(Persona(), "critical,keyEncipherment,dataEncipherment"), &emittente);
    Identita server = Emetti(
        conUso(Persona(), "critical,digitalSignature,keyEncipherment", "serverAuth,clientAuth"),
        &emittente);
    Identita documenti =
        Emetti(conUso(Persona(), "critical,digitalSignature", "1.3.6.1.5.5.7.3.36,emailProtection"),
               &emittente);
    Identita debole = NuovaIdentita(Persona(), &emittente, TipoChiave::Rsa1024);
    // An issuing authority that expired in 2025, and a signer it certified until 2040.
    Identita emittenteScaduto = NuovaIdentita(
        {{{"C", "IT"}, {"CN", "Ondivo Old CA"}}, "20100101000000Z", "20250101000000Z", true},
        &radice, TipoChiave::Ec);
    Identita sottoScaduto = Emetti(Persona(), &emittenteScaduto);
    // The same key as Mario's in a certificate of another holder, named by its key.
    Identita luigi = AltroCertificato(mario,
                                      {{{"C", "IT"},
                                        {"GN", "Luigi"},
                                        {"SN", "Verdi"},
                                        {"serialNumber", "TINIT-VRDLGU70A01H501Z"},
                                        {"CN", "VERDI LUIGI"}},
                                       "20200101000000Z",
                                       "20400101000000Z"},
                                      &emittente);

    // A qualified time-stamping service, and one no list names.
    Identita marche = AutoritaMarche("Ondivo Marche Temporali");
    Identita marcheEstranee = AutoritaMarche("Marche Sconosciute");

    // An Ed25519 certificate with the issuer and serial number of the signer `tramite`: the
    // envelope names its signer so, and this is the certificate it carries.
    Identita tramite = Emetti(Persona(), &emittente);
    Identita ed25519 = NuovaIdentita(
        [this] {
            Certificato c = Persona();
            c.numeroSerie = ASN1_INTEGER_get(X509_get0_serialNumber(tramite.certificato.get()));
            c.usoChiave = "critical,digitalSignature,nonRepudiation";
            return c;
        }(),
        &emittente, TipoChiave::Ed25519);

    static Certificato conUso(Certificato c, std::string uso, std::string esteso = {}) {
        c.usoChiave = std::move(uso);
        c.usoEsteso = std::move(esteso);
        return c;
    }

    // The current lists of both authorities, nobody revoked.
    std::vector<std::string> correnti() const { return {Crl(radice), Crl(emittente)}; }
    // The current lists, Mario revoked on the day given.
    std::vector<std::string> marioRevocato(const std::string& quando) const {
        return {Crl(radice), Crl(emittente, {{&mario, quando}})};
    }

    static const Mondo& get() {
        static const Mondo mondo;
        return mondo;
    }
};

struct Caso {
    const char* nome;
    std::function<std::string(const Mondo&)> busta;
    std::function<Fiducia(const Mondo&)> fiducia;
    EsitoFirma esito;
    const char* sottoindicazione;      // of the file: that of its worst signer; "" for TOTAL_PASSED
    std::vector<EsitoFirma> firmatari; // the verdict of each signer, in order
};

Fiducia nessuna(const Mondo&) {
    return Fiducia();
}
Fiducia radice(const Mondo& m) {
    return Fiducia({m.radice.der()});
}
Fiducia soloEmittente(const Mondo& m) {
    return Fiducia({m.emittente.der()});
}
// The root as a qualified authority and the time-stamping service, qualified since 2010.
Fiducia conMarche(const Mondo& m) {
    return Fiducia(std::vector<ServizioFiducia>{
        {ServizioCertificatoreQualificato, {m.radice.der()}, {}},
        {ServizioMarcheQualificate,
         {m.marche.der()},
         {{"http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/granted", 1262304000}}}});
}

// The lists of both authorities issued the day after `giorno` ("YYYYMMDD"), for a month.
std::vector<std::string>
listeDel(const Mondo& m, const std::string& giorno,
         const std::vector<std::pair<const Identita*, std::string>>& revocati = {}) {
    const std::string dal = giorno + "120000Z";
    const std::string al = giorno.substr(0, 4) + "1231235959Z";
    return {Crl(m.radice, {}, dal, al), Crl(m.emittente, revocati, dal, al)};
}

// Mario's (or another's) signature with the intermediate authority and the current lists.
std::string firmataDa(const Mondo& m, const Identita& chi, std::string quando = "",
                      const EVP_MD* md = EVP_sha256()) {
    return Busta(kFattura, {{&chi, md, std::move(quando), {&m.emittente}}}, false, m.correnti());
}

using E = EsitoFirma;

const Caso kCasi[] = {
    {"valida",
     [](const Mondo& m) { return firmataDa(m, m.mario); },
     radice,
     E::Valida,
     "",
     {E::Valida}},
    {"authorityOnTheListIsAnIssuingOne",
     [](const Mondo& m) { return firmataDa(m, m.mario); },
     soloEmittente,
     E::Valida,
     "",
     {E::Valida}},
    {"documentSigningUsage",
     [](const Mondo& m) { return firmataDa(m, m.documenti); },
     radice,
     E::Valida,
     "",
     {E::Valida}},
    {"noListMeansIntact",
     [](const Mondo& m) { return firmataDa(m, m.mario); },
     nessuna,
     E::Integra,
     sotto::NoCertificateChainFound,
     {E::Integra}},
    {"authorityNotOnTheList",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.daSconosciuta, EVP_sha256(), "", {&m.estranea}}}, false,
                      {Crl(m.estranea)});
     },
     radice,
     E::Integra,
     sotto::NoCertificateChainFound,
     {E::Integra}},
    {"intermediateNotCarriedIsNoChain",
     [](const Mondo& m) { return Busta(kFattura, {{&m.mario}}, false, m.correnti()); },
     radice,
     E::Integra,
     sotto::NoCertificateChainFound,
     {E::Integra}},
    // Revocation.
    {"noRevocationData",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}});
     },
     radice,
     E::Integra,
     sotto::TryLater,
     {E::Integra}},
    {"onlyTheSignersIssuerList",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false,
                      {Crl(m.emittente)});
     },
     radice,
     E::Integra,
     sotto::TryLater,
     {E::Integra}},
    {"staleLists",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false,
                      {Crl(m.radice, {}, "20290101000000Z", "20290201000000Z"),
                       Crl(m.emittente, {}, "20290101000000Z", "20290201000000Z")});
     },
     radice,
     E::Integra,
     sotto::TryLater,
     {E::Integra}},
    {"listsIssuedAfterTheValidationTime",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false,
                      {Crl(m.radice, {}, "20300701000000Z", "20300801000000Z"),
                       Crl(m.emittente, {}, "20300701000000Z", "20300801000000Z")});
     },
     radice,
     E::Integra,
     sotto::TryLater,
     {E::Integra}},
    {"listSignedByAnotherAuthority",
     [](const Mondo& m) {
         // The stranger's list names the issuer's name but is not signed with its key.
         Identita falsa = NuovaIdentita(
             {{{"C", "IT"}, {"O", "Ondivo Test S.p.A."}, {"CN", "Ondivo Qualified CA"}},
              "20100101000000Z",
              "20500101000000Z",
              true},
             nullptr, TipoChiave::Ec);
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false,
                      {Crl(m.radice), Crl(falsa)});
     },
     radice,
     E::Integra,
     sotto::TryLater,
     {E::Integra}},
    {"revokedBeforeTheClaimedTime",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "20250101000000Z", {&m.emittente}}},
                      false, m.marioRevocato("20240101000000Z"));
     },
     radice,
     E::NonValida,
     sotto::Revoked,
     {E::NonValida}},
    {"revokedAfterTheClaimedTime",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "20250101000000Z", {&m.emittente}}},
                      false, m.marioRevocato("20260101000000Z"));
     },
     radice,
     E::Revocata,
     sotto::RevokedNoPoe,
     {E::Revocata}},
    {"revokedWithoutTrustedList",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "20250101000000Z", {&m.emittente}}},
                      false, m.marioRevocato("20260101000000Z"));
     },
     nessuna,
     E::Revocata,
     sotto::RevokedNoPoe,
     {E::Revocata}},
    {"revokedOnAStaleList",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "20250101000000Z", {&m.emittente}}},
                      false,
                      {Crl(m.radice), Crl(m.emittente, {{&m.mario, "20260101000000Z"}},
                                          "20260102000000Z", "20260201000000Z")});
     },
     radice,
     E::Revocata,
     sotto::RevokedNoPoe,
     {E::Revocata}},
    {"intermediateRevoked",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false,
                      {Crl(m.radice, {{&m.emittente, "20270101000000Z"}}), Crl(m.emittente)});
     },
     radice,
     E::Revocata,
     sotto::RevokedCaNoPoe,
     {E::Revocata}},
    // The signature itself.
    {"contentChanged",
     [](const Mondo& m) { return Sostituisci(firmataDa(m, m.mario), "FIRMATA/1", "FIRMATA/9"); },
     radice,
     E::NonValida,
     sotto::HashFailure,
     {E::NonValida}},
    {"signedAttributeChanged",
     [](const Mondo& m) {
         return Sostituisci(firmataDa(m, m.mario, "20240405060708Z"), "240405060708Z",
                            "240405060709Z");
     },
     radice,
     E::NonValida,
     sotto::SigCryptoFailure,
     {E::NonValida}},
    {"signerCertificateMissing",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}, CMS_NOCERTS}}, false,
                      m.correnti());
     },
     radice,
     E::NonVerificabile,
     sotto::NoSigningCertificateFound,
     {E::NonVerificabile}},
    // A key the library cannot check a CMS signature with: nothing is known of the document,
    // and nothing says it changed.
    {"ed25519KeyNotSupported",
     [](const Mondo& m) {
         return Busta(kFattura,
                      {{&m.tramite, EVP_sha512(), "", {&m.ed25519, &m.emittente}, CMS_NOCERTS}},
                      false, m.correnti());
     },
     radice,
     E::NonVerificabile,
     sotto::CryptoConstraintsFailure,
     {E::NonVerificabile}},
    {"certificateSwappedForAnotherHolderOfTheKey",
     [](const Mondo& m) {
         return Busta(kFattura,
                      {{&m.mario,
                        EVP_sha256(),
                        "",
                        {&m.luigi, &m.emittente},
                        CMS_NOCERTS | CMS_USE_KEYID | CMS_CADES}},
                      false, m.correnti());
     },
     radice,
     E::NonVerificabile,
     sotto::NoSigningCertificateFound,
     {E::NonVerificabile}},
    {"signedCertificateReferenceHolds",
     [](const Mondo& m) {
         return Busta(kFattura,
                      {{&m.mario, EVP_sha256(), "", {&m.emittente}, CMS_USE_KEYID | CMS_CADES}},
                      false, m.correnti());
     },
     radice,
     E::Valida,
     "",
     {E::Valida}},
    // Time.
    {"expiredSinceAndNothingProvesWhenSigned",
     [](const Mondo& m) { return firmataDa(m, m.scaduto, "20200601000000Z"); },
     radice,
     E::Integra,
     sotto::OutOfBoundsNoPoe,
     {E::Integra}},
    {"expiredAtTheClaimedTime",
     [](const Mondo& m) { return firmataDa(m, m.scaduto, "20220101000000Z"); },
     radice,
     E::Scaduta,
     sotto::Expired,
     {E::Scaduta}},
    {"notYetValid",
     [](const Mondo& m) { return firmataDa(m, m.futuro); },
     radice,
     E::NonAncoraValida,
     sotto::NotYetValid,
     {E::NonAncoraValida}},
    {"claimedBeforeTheCertificate",
     [](const Mondo& m) { return firmataDa(m, m.mario, "20190601000000Z"); },
     radice,
     E::NonAncoraValida,
     sotto::NotYetValid,
     {E::NonAncoraValida}},
    {"claimedInTheFuture",
     [](const Mondo& m) { return firmataDa(m, m.mario, "20310101000000Z"); },
     radice,
     E::Integra,
     sotto::FutureTime,
     {E::Integra}},
    {"intermediateExpired",
     [](const Mondo& m) {
         return Busta(kFattura, {{&m.sottoScaduto, EVP_sha256(), "", {&m.emittenteScaduto}}}, false,
                      {Crl(m.radice), Crl(m.emittenteScaduto)});
     },
     radice,
     E::Integra,
     sotto::OutOfBoundsNoPoe,
     {E::Integra}},
    // Time proven by a time-stamp of a qualified service.
    {"expiredSinceButStampedWhileValid",
     [](const Mondo& m) {
         return ConMarca(Busta(kFattura,
                               {{&m.scaduto, EVP_sha256(), "20200601000000Z", {&m.emittente}}},
                               false, listeDel(m, "20200602")),
                         m.marche, "20200601001000Z");
     },
     conMarche,
     E::Valida,
     "",
     {E::Valida}},
    {"stampOfAnotherSignature",
     [](const Mondo& m) {
         return ConMarca(Busta(kFattura,
                               {{&m.scaduto, EVP_sha256(), "20200601000000Z", {&m.emittente}}},
                               false, listeDel(m, "20200602")),
                         m.marche, "20200601001000Z", true);
     },
     conMarche,
     E::Integra,
     sotto::OutOfBoundsNoPoe,
     {E::Integra}},
    {"stampOfAServiceNotOnTheList",
     [](const Mondo& m) {
         return ConMarca(Busta(kFattura,
                               {{&m.scaduto, EVP_sha256(), "20200601000000Z", {&m.emittente}}},
                               false, listeDel(m, "20200602")),
                         m.marcheEstranee, "20200601001000Z");
     },
     conMarche,
     E::Integra,
     sotto::OutOfBoundsNoPoe,
     {E::Integra}},
    {"stampedAfterTheCertificateExpired",
     [](const Mondo& m) {
         return ConMarca(Busta(kFattura,
                               {{&m.scaduto, EVP_sha256(), "20200601000000Z", {&m.emittente}}},
                               false, listeDel(m, "20220602")),
                         m.marche, "20220601000000Z");
     },
     conMarche,
     E::Integra,
     sotto::OutOfBoundsNoPoe,
     {E::Integra}},
    {"revokedAfterTheStamp",
     [](const Mondo& m) {
         return ConMarca(Busta(kFattura,
                               {{&m.mario, EVP_sha256(), "20250101000000Z", {&m.emittente}}}, false,
                               m.marioRevocato("20260101000000Z")),
                         m.marche, "20250101001000Z");
     },
     conMarche,
     E::Valida,
     "",
     {E::Valida}},
    {"revokedBeforeTheStamp",
     [](const Mondo& m) {
         // The signer claims a time before the revocation; the stamp proves it later.
         return ConMarca(Busta(kFattura,
                               {{&m.mario, EVP_sha256(), "20231201000000Z", {&m.emittente}}}, false,
                               m.marioRevocato("20240101000000Z")),
                         m.marche, "20250101001000Z");
     },
     conMarche,
     E::NonValida,
     sotto::Revoked,
     {E::NonValida}},
    {"listsOlderThanTheStamp",
     [](const Mondo& m) {
         return ConMarca(Busta(kFattura,
                               {{&m.scaduto, EVP_sha256(), "20200601000000Z", {&m.emittente}}},
                               false, listeDel(m, "20190602")),
                         m.marche, "20200601001000Z");
     },
     conMarche,
     E::Integra,
     sotto::TryLater,
     {E::Integra}},
    // Fitness and strength.
    {"encryptionOnlyCertificate",
     [](const Mondo& m) { return firmataDa(m, m.cifratura); },
     radice,
     E::Integra,
     sotto::ChainConstraintsFailure,
     {E::Integra}},
    {"tlsServerCertificate",
     [](const Mondo& m) { return firmataDa(m, m.server); },
     radice,
     E::Integra,
     sotto::ChainConstraintsFailure,
     {E::Integra}},
    {"sha1",
     [](const Mondo& m) { return firmataDa(m, m.mario, "", EVP_sha1()); },
     radice,
     E::Integra,
     sotto::CryptoConstraintsFailureNoPoe,
     {E::Integra}},
    {"md5",
     [](const Mondo& m) { return firmataDa(m, m.debole, "", EVP_md5()); },
     radice,
     E::Integra,
     sotto::CryptoConstraintsFailureNoPoe,
     {E::Integra}},
    {"rsa1024",
     [](const Mondo& m) { return firmataDa(m, m.debole); },
     radice,
     E::Integra,
     sotto::CryptoConstraintsFailureNoPoe,
     {E::Integra}},
    // Several signers.
    {"twoSignersTheWorstCounts",
     [](const Mondo& m) {
         return Busta(kFattura,
                      {{&m.mario, EVP_sha256(), "", {&m.emittente}},
                       {&m.scaduto, EVP_sha256(), "20220101000000Z", {}}},
                      false, m.correnti());
     },
     radice,
     E::Scaduta,
     sotto::Expired,
     {E::Valida, E::Scaduta}},
    {"counterSignature",
     [](const Mondo& m) { return Controfirma(firmataDa(m, m.mario), m.anna); },
     radice,
     E::Valida,
     "",
     {E::Valida, E::Valida}},
    {"counterSignatureSpoiled",
     [](const Mondo& m) { return Controfirma(firmataDa(m, m.mario), m.anna, true); },
     radice,
     E::NonValida,
     sotto::SigCryptoFailure,
     {E::Valida, E::NonValida}},
    {"envelopeInAnEnvelope",
     [](const Mondo& m) {
         return Busta(firmataDa(m, m.anna), {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false,
                      m.correnti());
     },
     radice,
     E::Valida,
     "",
     {E::Valida, E::Valida}},
    {"innerEnvelopeChanged",
     [](const Mondo& m) {
         // The outer signature covers the inner envelope as it is; only the inner one fails.
         const std::string interna = Sostituisci(firmataDa(m, m.anna), "FIRMATA/1", "FIRMATA/9");
         return Busta(interna, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false, m.correnti());
     },
     radice,
     E::NonValida,
     sotto::HashFailure,
     {E::Valida, E::NonValida}},
    {"base64Envelope",
     [](const Mondo& m) { return Base64Encode(firmataDa(m, m.mario)); },
     radice,
     E::Valida,
     "",
     {E::Valida}},
    {"pemEnvelope",
     [](const Mondo& m) {
         return "-----BEGIN PKCS7-----\n" + Base64Encode(firmataDa(m, m.mario)) +
                "\n-----END PKCS7-----\n";
     },
     radice,
     E::Valida,
     "",
     {E::Valida}},
};

class VerificaBustaTest : public ::testing::TestWithParam<Caso> {};

TEST_P(VerificaBustaTest, GivesEachSignerItsVerdict) {
    const Caso& caso = GetParam();
    const Mondo& m = Mondo::get();
    const VerificaFirme v = VerificaBusta(caso.busta(m), caso.fiducia(m), kOpzioni);
    std::string motivi;
    for (const auto& f : v.firmatari)
        motivi += f.nome + ": " + f.motivo + "\n";
    EXPECT_EQ(v.esito, caso.esito) << TestoEsito(v.esito) << "\n" << motivi;
    EXPECT_EQ(v.sottoindicazione, caso.sottoindicazione) << motivi;
    ASSERT_TRUE(v.indicazione);
    EXPECT_EQ(*v.indicazione == Indicazione::TotalPassed, caso.esito == E::Valida);
    // The signers of one envelope are a set, encoded in the order of their bytes: the
    // verdicts are compared as a set (the order of levels and counter-signatures is checked
    // below, by name).
    std::vector<EsitoFirma> avuti, attesi = caso.firmatari;
    for (const auto& f : v.firmatari)
        avuti.push_back(f.esito);
    std::sort(avuti.begin(), avuti.end());
    std::sort(attesi.begin(), attesi.end());
    EXPECT_EQ(avuti, attesi);
    for (const auto& f : v.firmatari) {
        // Every verdict short of valid says why; a valid one has nothing to say.
        EXPECT_EQ(f.esito == EsitoFirma::Valida, f.motivo.empty()) << f.nome << ": " << f.motivo;
        EXPECT_EQ(f.esito == EsitoFirma::Valida, f.indicazione == Indicazione::TotalPassed);
    }
}

INSTANTIATE_TEST_SUITE_P(Casi, VerificaBustaTest, ::testing::ValuesIn(kCasi),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST(VerificaBusta, ReadsTheSignerFromTheCertificate) {
    const Mondo& m = Mondo::get();
    const auto v = VerificaBusta(firmataDa(m, m.mario, "20240405060708Z"), radice(m), kOpzioni);
    ASSERT_EQ(v.firmatari.size(), 1u);
    const ondivo::Firmatario& f = v.firmatari[0];
    EXPECT_EQ(f.nome, "Mario Rossi");
    EXPECT_EQ(f.codiceFiscale, "RSSMRA80A01H501U");
    EXPECT_EQ(f.organizzazione, "Studio Rossi S.r.l.");
    EXPECT_EQ(f.emittente, "Ondivo Qualified CA");
    EXPECT_EQ(f.validoDal, "2020-01-01");
    EXPECT_EQ(f.validoAl, "2040-01-01");
    EXPECT_EQ(f.dataFirma, "2024-04-05T06:07:08Z");
    EXPECT_EQ(f.algoritmo, "SHA-256");
    EXPECT_EQ(f.chiave, "EC P-256");
    EXPECT_FALSE(f.algoritmoDebole);
    EXPECT_EQ(f.revoca, "non revocato (CRL del 01/05/2030)");
    EXPECT_TRUE(f.integra);
    EXPECT_TRUE(f.attendibile);
    EXPECT_EQ(f.tipo, "CAdES");
    EXPECT_EQ(f.catena, (std::vector<std::string>{
                            f.soggetto, "CN=Ondivo Qualified CA, O=Ondivo Test S.p.A., C=IT",
                            "CN=Ondivo Test Root CA, O=Ondivo Test S.p.A., C=IT"}));
    EXPECT_NE(f.soggetto.find("CN=ROSSI MARIO"), std::string::npos) << f.soggetto;
}

TEST(VerificaBusta, NamesWhatItKnowsOfEachSigner) {
    const Mondo& m = Mondo::get();
    const auto v =
        VerificaBusta(Controfirma(Busta(firmataDa(m, m.anna), {{&m.mario, EVP_sha1()}}), m.anna),
                      nessuna(m), kOpzioni);
    ASSERT_EQ(v.firmatari.size(), 3u);
    EXPECT_EQ(v.firmatari[0].nome, "Mario Rossi");
    EXPECT_EQ(v.firmatari[0].algoritmo, "SHA-1");
    EXPECT_TRUE(v.firmatari[0].algoritmoDebole);
    EXPECT_EQ(v.firmatari[0].livello, 1);
    EXPECT_FALSE(v.firmatari[0].controfirma);
    EXPECT_EQ(v.firmatari[1].nome, "Anna Bianchi");
    EXPECT_EQ(v.firmatari[1].codiceFiscale, "BNCNNA85M41F205X");
    EXPECT_TRUE(v.firmatari[1].controfirma);
    EXPECT_EQ(v.firmatari[1].livello, 1);
    EXPECT_TRUE(v.firmatari[1].dataFirma.has_value());
    EXPECT_EQ(v.firmatari[2].nome, "Anna Bianchi");
    EXPECT_EQ(v.firmatari[2].livello, 2);
    EXPECT_FALSE(v.firmatari[2].controfirma);
    EXPECT_EQ(v.esito, EsitoFirma::Integra);
    EXPECT_EQ(v.firmatari[0].motivi.front(), "nessun elenco di certificatori fidati importato");
    EXPECT_NE(v.firmatari[0].motivoAlgoritmo.find("SHA-1"), std::string::npos);
}

// Only a serial number of a fiscal code ("TINIT-", "IT:") is a fiscal code; any other, and a
// dnQualifier, is an identifier, named as such.
TEST(VerificaBusta, NamesIdentityNumbersForWhatTheyAre) {
    const Mondo& m = Mondo::get();
    struct {
        Nome soggetto;
        std::string codiceFiscale, identificativo;
    } casi[] = {
        {{{"serialNumber", "TINIT-RSSMRA80A01H501U"}, {"CN", "A"}}, "RSSMRA80A01H501U", ""},
        {{{"serialNumber", "IT:RSSMRA80A01H501U"}, {"CN", "A"}}, "RSSMRA80A01H501U", ""},
        {{{"serialNumber", "IDCIT-CA12345BB"}, {"CN", "A"}}, "", "IDCIT-CA12345BB"},
        {{{"serialNumber", "PASIT-YA1234567"}, {"CN", "A"}}, "", "PASIT-YA1234567"},
        {{{"dnQualifier", "13502422"}, {"CN", "A"}}, "", "13502422"},
        {{{"serialNumber", "TINIT-RSSMRA80A01H501U"}, {"dnQualifier", "99"}, {"CN", "A"}},
         "RSSMRA80A01H501U",
         "99"},
    };
    for (const auto& c : casi) {
        const Identita chi = Emetti({c.soggetto}, &m.emittente);
        const auto v = VerificaBusta(firmataDa(m, chi), radice(m), kOpzioni);
        ASSERT_EQ(v.firmatari.size(), 1u);
        EXPECT_EQ(v.firmatari[0].codiceFiscale, c.codiceFiscale) << c.soggetto[0].second;
        EXPECT_EQ(v.firmatari[0].identificativo, c.identificativo) << c.soggetto[0].second;
    }
}

// Past the limits, what is not checked is said: counter-signatures beyond the hundredth.
TEST(VerificaBusta, CounterSignaturesPastTheLimitAreReported) {
    const Mondo& m = Mondo::get();
    std::string busta = firmataDa(m, m.mario);
    for (int i = 0; i < 101; ++i)
        busta = Controfirma(busta, m.anna);
    const auto v = VerificaBusta(busta, radice(m), kOpzioni);
    EXPECT_EQ(v.firmatari.size(), 100u);
    ASSERT_EQ(v.avvisi.size(), 1u);
    EXPECT_NE(v.avvisi[0].find("non sono state verificate"), std::string::npos) << v.avvisi[0];
}

// The XML inside an envelope may carry XML signatures of its own: they are checked too, as the
// signers of the level below.
TEST(VerificaBusta, XmlSignaturesInsideTheEnvelopeAreChecked) {
    const Mondo& m = Mondo::get();
    const std::string xml = FirmaXml(kFattura, m.anna, {.crl = m.correnti()});
    const auto v = VerificaBusta(
        Busta(xml, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false, m.correnti()), radice(m),
        kOpzioni);
    ASSERT_EQ(v.firmatari.size(), 2u);
    EXPECT_EQ(v.firmatari[1].tipo, "XAdES");
    EXPECT_EQ(v.firmatari[1].livello, 2);
    EXPECT_EQ(v.firmatari[1].nome, "Anna Bianchi");
    EXPECT_TRUE(v.firmatari[1].integra) << v.firmatari[1].motivo;
    // Changed inside, under an outer signature made afterwards: the inner one says so.
    const auto guasta =
        VerificaBusta(Busta(Sostituisci(xml, "FIRMATA/1", "FIRMATA/9"),
                            {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, false, m.correnti()),
                      radice(m), kOpzioni);
    ASSERT_EQ(guasta.firmatari.size(), 2u);
    EXPECT_EQ(guasta.firmatari[0].esito, EsitoFirma::Valida) << guasta.firmatari[0].motivo;
    EXPECT_EQ(guasta.firmatari[1].esito, EsitoFirma::NonValida);
    EXPECT_EQ(guasta.esito, EsitoFirma::NonValida);
}

TEST(VerificaBusta, RefusesWhatIsNoEnvelope) {
    const Mondo& m = Mondo::get();
    const std::string staccata =
        Busta(kFattura, {{&m.mario, EVP_sha256(), "", {&m.emittente}}}, true);
    std::string dentro = firmataDa(m, m.mario);
    for (int i = 0; i < LivelliMassimiBuste; ++i)
        dentro = Busta(dentro, {{&m.mario}});
    const std::pair<const char*, std::string> casi[] = {
        {"xml", kFattura},
        {"empty", ""},
        {"truncated", firmataDa(m, m.mario).substr(0, 200)},
        {"detached", staccata},
        {"base64OfText", Base64Encode("not an envelope at all")},
        {"tooDeep", dentro},
    };
    for (const auto& [nome, dati] : casi) {
        try {
            VerificaBusta(dati, Fiducia());
            ADD_FAILURE() << nome << ": no error";
        } catch (const OndivoError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Impossibile leggere la busta firmata: ", 0), 0u)
                << nome << ": " << e.what();
        }
    }
}

TEST(VerificaFirmeFile, ChoosesByContentAndName) {
    const Mondo& m = Mondo::get();
    TempDir dir;
    struct {
        const char* nome;
        std::string dati;
        std::optional<EsitoFirma> esito; // nullopt: an error
    } casi[] = {
        {"fattura.xml.p7m", firmataDa(m, m.mario), EsitoFirma::Valida},
        {"senza-estensione", firmataDa(m, m.mario), EsitoFirma::Valida},
        {"base64.xml.p7m", Base64Encode(firmataDa(m, m.mario)), EsitoFirma::Valida},
        {"fattura.xml", kFattura, EsitoFirma::Assente},
        {"xml-con-nome.p7m", kFattura, EsitoFirma::Assente},
        {"rotta.xml.p7m", "\x30\x03\x02\x01\x01", std::nullopt},
    };
    for (const auto& c : casi) {
        const std::string file = dir.write(c.nome, c.dati);
        try {
            const auto v = VerificaFirmeFile(file, radice(m), kOpzioni);
            EXPECT_EQ(std::optional(v.esito), c.esito) << c.nome;
        } catch (const OndivoError& e) {
            EXPECT_FALSE(c.esito) << c.nome << ": " << e.what();
        }
    }
    EXPECT_THROW(VerificaFirmeFile((dir.path() / "manca.xml.p7m").string(), Fiducia()),
                 std::exception);
}

TEST(Fiducia, KeepsOnlyCertificatesItCanRead) {
    const Mondo& m = Mondo::get();
    EXPECT_TRUE(Fiducia().vuota());
    EXPECT_TRUE(Fiducia({"not a certificate"}).vuota());
    const Fiducia f({m.radice.der(), "rubbish", m.emittente.der()});
    EXPECT_FALSE(f.vuota());
    EXPECT_EQ(f.numero(), 2u);
}

TEST(Fiducia, KeepsTheListInTheUserDataFolder) {
    const Mondo& m = Mondo::get();
    TempDir dir;
    ScopedEnv dati("XDG_DATA_HOME", dir.path().string());
    EXPECT_TRUE(CaricaFiducia().vuota());
    EXPECT_EQ(IndirizzoElencoFiducia(), IndirizzoPredefinitoElencoFiducia);
    ElencoFiducia elenco;
    elenco.territorio = "IT";
    elenco.dataEmissione = "2026-11-02T00:00:00Z";
    elenco.firmatario = "CN=Lista\nfalsa=1";
    elenco.certificati = {m.radice.der(), m.emittente.der()};
    elenco.autenticato = "sì";
    SalvaElencoFiducia(elenco);
    const Fiducia caricata = CaricaFiducia();
    EXPECT_EQ(caricata.numero(), 2u);
    const auto descritto = DescrizioneFiduciaSalvata();
    EXPECT_EQ(descritto.territorio, "IT");
    EXPECT_EQ(descritto.dataEmissione, "2026-11-02T00:00:00Z");
    EXPECT_EQ(descritto.firmatario, "CN=Lista falsa=1");
    EXPECT_EQ(VerificaBusta(firmataDa(m, m.mario), caricata, kOpzioni).esito, EsitoFirma::Valida);
    ImpostaIndirizzoElencoFiducia("  http://127.0.0.1:1/elenco.xml \n");
    EXPECT_EQ(IndirizzoElencoFiducia(), "http://127.0.0.1:1/elenco.xml");
}

#ifdef ONDIVO_CORPUS_DIR
// The real envelopes of the corpus: intact, signed by a named person with a fiscal code; the
// broken ones are no envelopes.
TEST(VerificaBusta, RealEnvelopesAreIntact) {
    const std::filesystem::path radiceCorpus = std::filesystem::path(ONDIVO_CORPUS_DIR) / "p7m";
    if (!std::filesystem::exists(radiceCorpus))
        GTEST_SKIP() << "no corpus";
    int viste = 0;
    for (const char* cartella : {"der", "base64", "broken"}) {
        for (const auto& voce : std::filesystem::directory_iterator(radiceCorpus / cartella)) {
            const std::string dati = LeggiFile(voce.path());
            ++viste;
            if (std::string(cartella) == "broken") {
                EXPECT_THROW(VerificaBusta(dati, Fiducia()), OndivoError) << voce.path();
                continue;
            }
            const auto v = VerificaBusta(dati, Fiducia());
            EXPECT_EQ(v.esito, EsitoFirma::Integra) << voce.path();
            ASSERT_FALSE(v.firmatari.empty());
            EXPECT_FALSE(v.firmatari[0].nome.empty()) << voce.path();
            EXPECT_EQ(v.firmatari[0].codiceFiscale.size(), 16u) << voce.path();
            EXPECT_TRUE(v.firmatari[0].dataFirma) << voce.path();
        }
    }
    EXPECT_GE(viste, 12);
}
#endif

} // namespace
} // namespace ondivo::test
