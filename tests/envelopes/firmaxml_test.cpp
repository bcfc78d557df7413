// The XML signatures of an invoice: signed here with xmlsec by keys and certificates made here,
// then tampered with in the ways that must be caught.
#include "certificatifixture.h"
#include "envelopefixture.h"
#include "errors.h"
#include "firmaxmlprova.h"
#include "identitaprova.h"
#include "verificafirma.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <thread>

using namespace ondivo;
using namespace ondivo::test;
namespace fs = std::filesystem;

namespace {

const std::string kFattura =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2" versione="FPR12">
  <FatturaElettronicaHeader>
    <CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>Rossi Forniture</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody>
    <DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Numero>123</Numero><ImportoTotaleDocumento>122.00</ImportoTotaleDocumento></DatiGeneraliDocumento></DatiGenerali>
  </FatturaElettronicaBody>
</p:FatturaElettronica>
)";

const Nome kMarioRossi = {{"C", "IT"},
                          {"O", "Rossi Forniture S.r.l."},
                          {"givenName", "Mario"},
                          {"surname", "Rossi"},
                          {"serialNumber", "TINIT-RSSMRA80A01H501U"},
                          {"CN", "ROSSI MARIO"}};

// The authorities and signers, each made the first time a test asks for it: an RSA key for the
// usual signer, as Italian qualified certificates have, elliptic-curve keys (quick to make)
// for the others.
namespace chi {

constexpr const char* kDal = "20000101000000Z";
constexpr const char* kAl = "20991231235959Z";

const Identita& autorita() {
    static const Identita i = NuovaIdentita(
        {{{"C", "IT"}, {"O", "Certificatore di prova"}, {"CN", "CA di prova"}}, kDal, kAl, true},
        nullptr, TipoChiave::Ec);
    return i;
}
const Identita& altraAutorita() {
    static const Identita i =
        NuovaIdentita({{{"CN", "CA sconosciuta"}}, kDal, kAl, true}, nullptr, TipoChiave::Ec);
    return i;
}
const Identita& intermedia() {
    static const Identita i =
        NuovaIdentita({{{"CN", "CA intermedia"}}, kDal, kAl, true}, &autorita(), TipoChiave::Ec);
    return i;
}
const Identita& firmatario() {
    static const Identita i = NuovaIdentita({kMarioRossi}, &autorita());
    return i;
}
const Identita& firmatarioEc() {
    static const Identita i = NuovaIdentita({kMarioRossi}, &autorita(), TipoChiave::Ec);
    return i;
}
const Identita& scaduto() {
    static const Identita i = NuovaIdentita({kMarioRossi, "20100101000000Z", "20121231235959Z"},
                                            &autorita(), TipoChiave::Ec);
    return i;
}
const Identita& futuro() {
    static const Identita i = NuovaIdentita({kMarioRossi, "20300101000000Z", "20351231235959Z"},
                                            &autorita(), TipoChiave::Ec);
    return i;
}
const Identita& estraneo() {
    static const Identita i = NuovaIdentita({kMarioRossi}, &altraAutorita(), TipoChiave::Ec);
    return i;
}
const Identita& diIntermedia() {
    static const Identita i = NuovaIdentita({kMarioRossi}, &intermedia(), TipoChiave::Ec);
    return i;
}
const Identita& marche() {
    static const Identita i = AutoritaMarche("Marche di prova");
    return i;
}
// The signer's key in a certificate with someone else's name.
const Identita& stessaChiave() {
    static const Identita i = AltroCertificato(
        firmatario(), {{{"givenName", "Luigi"}, {"surname", "Bianchi"}, {"CN", "BIANCHI LUIGI"}}},
        &autorita());
    return i;
}

} // namespace chi

// The authority as a qualified certification service, always; the time-stamping service
// qualified since 2010.
Fiducia fiduciaProva() {
    return Fiducia(std::vector<ServizioFiducia>{
        {ServizioCertificatoreQualificato, {chi::autorita().der()}, {}},
        {ServizioMarcheQualificate,
         {chi::marche().der()},
         {{"http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/granted", 1262304000}}}});
}

// Every signature is judged on 1 June 2030, when the lists its signatures carry are current.
constexpr std::time_t kOra = 1906502400; // 2030-06-01T00:00:00Z
const OpzioniVerifica kOpzioni{kOra};

// The current lists of the authorities.
std::vector<std::string> listeCorrenti() {
    static const std::vector<std::string> liste = {Crl(chi::autorita()), Crl(chi::intermedia())};
    return liste;
}

// ---------------------------------------------------------------------------------------------
// The verdict on one signature, for each way it can be made or spoiled.

struct CasoFirma {
    std::string nome;
    std::function<std::string()> xml;
    bool conFiducia; // the test authority is trusted
    EsitoFirma esito;
    std::string motivo; // part of the reason, when one is expected
};

void PrintTo(const CasoFirma& c, std::ostream* os) {
    *os << c.nome;
}

class VerdettoTest : public testing::TestWithParam<CasoFirma> {};

TEST_P(VerdettoTest, GivesTheVerdict) {
    const auto& caso = GetParam();
    const VerificaFirme verifica =
        VerificaFirmeXml(caso.xml(), caso.conFiducia ? fiduciaProva() : Fiducia(), kOpzioni);
    ASSERT_FALSE(verifica.firmatari.empty());
    EXPECT_EQ(verifica.esito, caso.esito);
    for (const ondivo::Firmatario& f : verifica.firmatari) {
        EXPECT_EQ(f.esito, caso.esito) << f.motivo;
        // Intact unless the signature itself failed or could not be checked.
        const std::string s = f.sottoindicazione;
        EXPECT_EQ(f.integra, s != sotto::HashFailure && s != sotto::SigCryptoFailure &&
                                 s != sotto::FormatFailure &&
                                 s != sotto::NoSigningCertificateFound &&
                                 s != sotto::CryptoConstraintsFailure)
            << f.motivo;
        EXPECT_EQ(f.tipo, "XAdES");
        EXPECT_TRUE(Contiene(f.motivo, caso.motivo));
    }
}

// Signed with the current revocation lists, unless the case gives others.
std::string firmata(const Identita& chi, OpzioniFirma opzioni = {}) {
    if (opzioni.crl.empty())
        opzioni.crl = listeCorrenti();
    return FirmaXml(kFattura, chi, opzioni);
}

// Signed in 2011 by a certificate expired in 2012, with the lists of then and a time-stamp
// of the qualified service over its signature value, or over other bytes.
std::string scadutaConMarca(bool altrove) {
    return firmata(chi::scaduto(),
                   {.oraFirma = "2011-06-01T12:00:00Z",
                    .crl = {Crl(chi::autorita(), {}, "20110602000000Z", "20110701000000Z")},
                    .marca = &chi::marche(),
                    .oraMarca = "20110601120500Z",
                    .marcaAltrove = altrove});
}

// A file the test writes, that an external reference or entity can point at.
std::string fileEsterno(const std::string& nome, const std::string& testo) {
    static const TempDir cartella;
    return cartella.write(nome, testo);
}

const CasoFirma kCasiFirma[] = {
    {"valid_trusted_authority", [] { return firmata(chi::firmatario()); }, true, EsitoFirma::Valida,
     ""},
    {"intact_without_trusted_list", [] { return firmata(chi::firmatario()); }, false,
     EsitoFirma::Integra, "nessun elenco"},
    {"ecdsa_key", [] { return firmata(chi::firmatarioEc()); }, true, EsitoFirma::Valida, ""},
    {"sdi_style_filter",
     [] { return firmata(chi::firmatario(), {.copertura = Copertura::TutteLeFirme}); }, true,
     EsitoFirma::Valida, ""},
    {"reference_by_root_identifier",
     [] {
         return FirmaXml(
             Sostituisci(kFattura, "versione=\"FPR12\"", "versione=\"FPR12\" Id=\"fattura\""),
             chi::firmatario(), {.uriDocumento = "#fattura", .crl = listeCorrenti()});
     },
     true, EsitoFirma::Valida, ""},
    {"chain_through_intermediate",
     [] {
         return firmata(chi::diIntermedia(),
                        {.indicaCertificato = false,
                         .certificati = {&chi::intermedia(), &chi::diIntermedia()}});
     },
     true, EsitoFirma::Valida, ""},
    {"authority_not_trusted", [] { return firmata(chi::estraneo()); }, true, EsitoFirma::Integra,
     "il certificatore non è nell'elenco di fiducia"},
    {"expired_at_signing_time",
     [] { return firmata(chi::scaduto(), {.oraFirma = "2015-06-01T12:00:00Z"}); }, true,
     EsitoFirma::Scaduta, "scaduto"},
    {"not_yet_valid_at_signing_time",
     [] { return firmata(chi::futuro(), {.oraFirma = "2024-06-01T12:00:00Z"}); }, true,
     EsitoFirma::NonAncoraValida, "valido dal"},
    {"content_changed",
     [] {
         return Sostituisci(firmata(chi::firmatario()), "<Numero>123</Numero>",
                            "<Numero>124</Numero>");
     },
     true, EsitoFirma::NonValida, "il documento è stato modificato dopo la firma"},
    {"content_changed_under_sdi_filter",
     [] {
         return Sostituisci(firmata(chi::firmatario(), {.copertura = Copertura::TutteLeFirme}),
                            "122.00", "1220.00");
     },
     true, EsitoFirma::NonValida, "il documento è stato modificato dopo la firma"},
    {"signing_time_changed",
     [] {
         return Sostituisci(firmata(chi::firmatario()), "2024-05-14T10:00:00Z",
                            "2024-05-13T10:00:00Z");
     },
     true, EsitoFirma::NonValida, "dati della firma"},
    {"signature_value_changed",
     [] {
         return Sostituisci(firmata(chi::firmatario()), "<ds:SignatureValue>",
                            "<ds:SignatureValue>AAAA");
     },
     true, EsitoFirma::NonValida, ""},
    {"body_left_out_of_the_signature",
     [] { return firmata(chi::firmatario(), {.copertura = Copertura::SenzaCorpo}); }, true,
     EsitoFirma::NonValida, "non copre tutto il documento"},
    {"document_not_referenced",
     [] { return firmata(chi::firmatario(), {.copertura = Copertura::Nessuna}); }, true,
     EsitoFirma::NonValida, "non riguarda il documento"},
    // The external file is there and its digest is right: only refusing to read it fails the
    // signature.
    {"external_reference_not_followed",
     [] {
         return firmata(chi::firmatario(),
                        {.uriEsterno = "file://" + fileEsterno("dati.txt", "dati esterni")});
     },
     true, EsitoFirma::NonValida, "dati esterni"},
    // Likewise the entity's file holds the very text that was signed.
    {"external_entity_not_loaded",
     [] {
         const std::string xml = Sostituisci(firmata(chi::firmatario()), "<Numero>123</Numero>",
                                             "<Numero>&numero;</Numero>");
         return Sostituisci(xml, "?>\n",
                            "?>\n<!DOCTYPE p:FatturaElettronica [<!ENTITY numero SYSTEM \"file://" +
                                fileEsterno("numero.txt", "123") + "\">]>\n");
     },
     true, EsitoFirma::NonValida, ""},
    {"xslt_transform_not_run", [] { return firmata(chi::firmatario(), {.xslt = true}); }, true,
     EsitoFirma::NonValida, "trasformazione"},
    {"certificate_swapped_for_one_with_the_same_key",
     [] { return firmata(chi::firmatario(), {.certificati = {&chi::stessaChiave()}}); }, true,
     EsitoFirma::NonVerificabile, "non è quello indicato"},
    // The signed reference may name the authority's certificate before the signer's.
    {"signing_certificate_list_names_the_authority_first",
     [] {
         return firmata(
             chi::diIntermedia(),
             {.certificati = {&chi::intermedia(), &chi::diIntermedia()}, .indicaAutorita = true});
     },
     true, EsitoFirma::Valida, ""},
    {"no_revocation_data", [] { return FirmaXml(kFattura, chi::firmatario()); }, true,
     EsitoFirma::Integra, "stato di revoca non verificato"},
    {"revoked_after_the_claimed_time",
     [] {
         return firmata(chi::firmatario(),
                        {.crl = {Crl(chi::autorita(), {{&chi::firmatario(), "20250101000000Z"}})}});
     },
     true, EsitoFirma::Revocata, "revocato il 01/01/2025"},
    {"revoked_before_the_claimed_time",
     [] {
         return firmata(chi::firmatario(),
                        {.crl = {Crl(chi::autorita(), {{&chi::firmatario(), "20240101000000Z"}})}});
     },
     true, EsitoFirma::NonValida, "prima della data della firma"},
    // An XAdES signature time-stamp of a qualified service proves when the signature existed:
    // the certificate, expired since, is judged then.
    {"expired_but_stamped_while_valid", [] { return scadutaConMarca(false); }, true,
     EsitoFirma::Valida, ""},
    {"stamp_over_other_bytes", [] { return scadutaConMarca(true); }, true, EsitoFirma::Integra,
     "non provata da marca temporale"},
    {"claimed_in_the_future",
     [] { return firmata(chi::firmatario(), {.oraFirma = "2031-01-01T00:00:00Z"}); }, true,
     EsitoFirma::Integra, "successiva a quella della verifica"},
    // The key of the certificate carried (EC) cannot have made the signature (RSA).
    {"certificate_of_another_key",
     [] {
         return firmata(chi::firmatario(),
                        {.indicaCertificato = false, .certificati = {&chi::estraneo()}});
     },
     true, EsitoFirma::NonVerificabile, ""},
    {"unsupported_signature_method",
     [] {
         return Sostituisci(firmata(chi::firmatario()),
                            "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256",
                            "http://www.w3.org/2021/04/xmldsig-more#eddsa-ed25519");
     },
     true, EsitoFirma::NonVerificabile, "non supportato"},
    // A copy of a plain signature (no identifiers to repeat) inside the invoice's text, with
    // words of its own in an unsigned ds:Object: the filter leaves every signature out, so the
    // copy verifies as the original does.
    {"copied_signature_carrying_text",
     [] {
         const std::string xml = firmata(
             chi::firmatario(), {.id = "", .oraFirma = "", .copertura = Copertura::TutteLeFirme});
         const auto inizio = xml.find("<ds:Signature");
         const auto fine = xml.find("</ds:Signature>") + std::string("</ds:Signature>").size();
         const std::string copia =
             Sostituisci(xml.substr(inizio, fine - inizio), "</ds:KeyInfo>",
                         "</ds:KeyInfo><ds:Object>Sconto del 90%</ds:Object>");
         return Sostituisci(xml, "Rossi Forniture</Denominazione>",
                            "Rossi Forniture" + copia + "</Denominazione>");
     },
     true, EsitoFirma::NonValida, "più volte"},
    // A second element with the signed properties' identifier: a reference could mean either.
    {"repeated_identifier",
     [] {
         return Sostituisci(firmata(chi::firmatario()), "<FatturaElettronicaHeader>",
                            "<FatturaElettronicaHeader Id=\"Firma1-proprieta\">");
     },
     true, EsitoFirma::NonValida, "identificativo"},
};

INSTANTIATE_TEST_SUITE_P(FirmaXml, VerdettoTest, testing::ValuesIn(kCasiFirma),
                         [](const auto& info) { return info.param.nome; });

TEST(FirmaXml, SignatureWithoutCertificateCannotBeVerified) {
    std::string xml = firmata(chi::firmatario());
    const auto inizio = xml.find("<ds:KeyInfo>");
    const auto fine = xml.find("</ds:KeyInfo>");
    ASSERT_NE(inizio, std::string::npos);
    xml.erase(inizio, fine + std::string("</ds:KeyInfo>").size() - inizio);
    const VerificaFirme verifica = VerificaFirmeXml(xml, fiduciaProva(), kOpzioni);
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    // Nothing says the document changed: only that the signature cannot be checked.
    EXPECT_EQ(verifica.esito, EsitoFirma::NonVerificabile);
    EXPECT_EQ(verifica.sottoindicazione, sotto::NoSigningCertificateFound);
    EXPECT_TRUE(Contiene(verifica.firmatari[0].motivo, "certificato"));
}

// ---------------------------------------------------------------------------------------------

TEST(FirmaXml, TellsWhoSignedAndWhen) {
    const VerificaFirme verifica = VerificaFirmeXml(firmata(chi::firmatario()), Fiducia());
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    const ondivo::Firmatario& f = verifica.firmatari[0];
    EXPECT_EQ(f.nome, "Mario Rossi");
    EXPECT_EQ(f.codiceFiscale, "RSSMRA80A01H501U");
    EXPECT_EQ(f.organizzazione, "Rossi Forniture S.r.l.");
    EXPECT_EQ(f.emittente, "CA di prova");
    EXPECT_EQ(f.dataFirma, "2024-05-14T10:00:00Z");
    EXPECT_EQ(f.livello, 1);
    EXPECT_FALSE(f.controfirma);
}

TEST(FirmaXml, TrustedChainGoesToTheAuthority) {
    const VerificaFirme verifica = VerificaFirmeXml(
        firmata(chi::diIntermedia(), {.certificati = {&chi::diIntermedia(), &chi::intermedia()}}),
        fiduciaProva(), kOpzioni);
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    const auto& catena = verifica.firmatari[0].catena;
    ASSERT_EQ(catena.size(), 3u);
    EXPECT_TRUE(Contiene(catena[1], "CA intermedia"));
    EXPECT_TRUE(Contiene(catena[2], "CA di prova"));
}

struct CasoDigest {
    std::string nome;
    bool sha1;
    std::string algoritmo;
    bool debole;
};

void PrintTo(const CasoDigest& c, std::ostream* os) {
    *os << c.nome;
}

class DigestTest : public testing::TestWithParam<CasoDigest> {};

TEST_P(DigestTest, NamesTheDigestOfTheDocument) {
    const VerificaFirme verifica = VerificaFirmeXml(
        firmata(chi::firmatario(), {.sha1 = GetParam().sha1}), fiduciaProva(), kOpzioni);
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    const ondivo::Firmatario& f = verifica.firmatari[0];
    // SHA-1 is no longer fit for signatures: never valid, the signature itself intact.
    EXPECT_EQ(f.esito, GetParam().debole ? EsitoFirma::Integra : EsitoFirma::Valida) << f.motivo;
    EXPECT_EQ(f.sottoindicazione, GetParam().debole ? sotto::CryptoConstraintsFailureNoPoe : "");
    EXPECT_EQ(f.algoritmo, GetParam().algoritmo);
    EXPECT_EQ(f.algoritmoDebole, GetParam().debole);
}

INSTANTIATE_TEST_SUITE_P(FirmaXml, DigestTest,
                         testing::Values(CasoDigest{"sha1", true, "SHA-1", true},
                                         CasoDigest{"sha256", false, "SHA-256", false}),
                         [](const auto& info) { return info.param.nome; });

// The signing time as XAdES may write it, and as the verdict gives it (UTC).
struct CasoOra {
    std::string nome;
    std::string scritta;
    std::optional<std::string> utc;
};

void PrintTo(const CasoOra& c, std::ostream* os) {
    *os << c.nome;
}

class OraFirmaTest : public testing::TestWithParam<CasoOra> {};

TEST_P(OraFirmaTest, GivesTheSigningTimeInUtc) {
    const VerificaFirme verifica = VerificaFirmeXml(
        firmata(chi::firmatario(), {.oraFirma = GetParam().scritta}), fiduciaProva(), kOpzioni);
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    EXPECT_EQ(verifica.firmatari[0].dataFirma, GetParam().utc);
    EXPECT_TRUE(verifica.firmatari[0].integra) << verifica.firmatari[0].motivo;
}

INSTANTIATE_TEST_SUITE_P(
    FirmaXml, OraFirmaTest,
    testing::Values(
        CasoOra{"utc", "2024-03-10T10:20:30Z", "2024-03-10T10:20:30Z"},
        CasoOra{"fraction_of_second", "2024-03-10T10:20:30.987Z", "2024-03-10T10:20:30Z"},
        CasoOra{"east_of_utc", "2024-03-10T01:30:00+02:00", "2024-03-09T23:30:00Z"},
        CasoOra{"west_of_utc_next_year", "2024-12-31T23:30:00.5-01:00", "2025-01-01T00:30:00Z"},
        CasoOra{"leap_day", "2024-03-01T00:15:00+01:00", "2024-02-29T23:15:00Z"},
        CasoOra{"no_zone_taken_as_utc", "2024-03-10T10:20:30", "2024-03-10T10:20:30Z"},
        CasoOra{"blanks_around", "\n 2024-03-10T10:20:30Z \n", "2024-03-10T10:20:30Z"},
        CasoOra{"not_a_date", "10 marzo 2024", std::nullopt},
        CasoOra{"no_such_day", "2023-02-29T10:00:00Z", std::nullopt},
        CasoOra{"bad_zone", "2024-03-10T10:20:30+2", std::nullopt}),
    [](const auto& info) { return info.param.nome; });

TEST(FirmaXml, TwoSignaturesGiveTwoSignersAndTheWorseVerdict) {
    const std::string prima =
        firmata(chi::firmatario(), {.id = "Prima", .copertura = Copertura::TutteLeFirme});
    const std::string entrambe =
        FirmaXml(prima, chi::estraneo(),
                 {.id = "Seconda", .copertura = Copertura::TutteLeFirme, .crl = listeCorrenti()});
    const VerificaFirme verifica = VerificaFirmeXml(entrambe, fiduciaProva(), kOpzioni);
    ASSERT_EQ(verifica.firmatari.size(), 2u);
    EXPECT_EQ(verifica.firmatari[0].esito, EsitoFirma::Valida) << verifica.firmatari[0].motivo;
    EXPECT_EQ(verifica.firmatari[1].esito, EsitoFirma::Integra) << verifica.firmatari[1].motivo;
    EXPECT_EQ(verifica.firmatari[1].emittente, "CA sconosciuta");
    EXPECT_EQ(verifica.esito, EsitoFirma::Integra);

    // The second signature, enveloped only, covers the first: both still hold, and a change
    // to the first's value spoils both.
    const std::string inSequenza =
        FirmaXml(prima, chi::firmatario(), {.id = "Seconda", .crl = listeCorrenti()});
    const VerificaFirme sequenza = VerificaFirmeXml(inSequenza, fiduciaProva(), kOpzioni);
    ASSERT_EQ(sequenza.firmatari.size(), 2u);
    EXPECT_EQ(sequenza.esito, EsitoFirma::Valida);
    const VerificaFirme guastata =
        VerificaFirmeXml(Sostituisci(inSequenza, "<ds:SignatureValue>", "<ds:SignatureValue>AAAA"),
                         fiduciaProva(), kOpzioni);
    ASSERT_EQ(guastata.firmatari.size(), 2u);
    EXPECT_EQ(guastata.firmatari[0].esito, EsitoFirma::NonValida);
    EXPECT_EQ(guastata.firmatari[1].esito, EsitoFirma::NonValida);
}

TEST(FirmaXml, UnsignedInvoiceHasNoSignature) {
    const VerificaFirme verifica = VerificaFirmeXml(kFattura, fiduciaProva());
    EXPECT_EQ(verifica.esito, EsitoFirma::Assente);
    EXPECT_TRUE(verifica.firmatari.empty());
}

class NonXmlTest : public testing::TestWithParam<std::string> {};

TEST_P(NonXmlTest, Throws) {
    try {
        VerificaFirmeXml(GetParam(), Fiducia());
        FAIL() << "no error";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Impossibile leggere l'XML: ", 0), 0u) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(FirmaXml, NonXmlTest,
                         testing::Values("", "testo qualunque", "%PDF-1.4\n%\xe2\xe3\xcf\xd3",
                                         "<a><b></a>", kFattura.substr(0, kFattura.size() / 2)));

// Verifications run side by side, each with its own xmlsec context; the first ones also race
// to prepare xmlsec.
TEST(FirmaXml, VerifiesInSeveralThreadsAtOnce) {
    const std::string xml = firmata(chi::firmatario());
    const std::string guasto = Sostituisci(xml, "<Numero>123</Numero>", "<Numero>124</Numero>");
    const Fiducia fiducia = fiduciaProva();
    std::vector<EsitoFirma> esiti(8, EsitoFirma::Assente);
    std::vector<std::thread> fili;
    for (std::size_t i = 0; i < esiti.size(); ++i)
        fili.emplace_back(
            [&, i] { esiti[i] = VerificaFirmeXml(i % 2 ? guasto : xml, fiducia, kOpzioni).esito; });
    for (auto& filo : fili)
        filo.join();
    for (std::size_t i = 0; i < esiti.size(); ++i)
        EXPECT_EQ(esiti[i], i % 2 ? EsitoFirma::NonValida : EsitoFirma::Valida) << i;
}

// ---------------------------------------------------------------------------------------------
// Real files, read where they are. What is expected of them was checked apart: the digest of
// each document (its canonical form without the signature, by xmllint, then SHA-256) matches the
// one signed in X0024 and in the receipts SdI issued, and not in the others.

const fs::path kCorpus = fs::path(ONDIVO_CORPUS_DIR);

struct CasoCorpus {
    std::string nome;
    std::string file;
    EsitoFirma esito; // with no trusted list
};

void PrintTo(const CasoCorpus& c, std::ostream* os) {
    *os << c.nome;
}

class CorpusFirmeTest : public testing::TestWithParam<CasoCorpus> {};

TEST_P(CorpusFirmeTest, GivesTheVerdict) {
    const fs::path file = kCorpus / GetParam().file;
    if (!fs::exists(file))
        GTEST_SKIP() << "corpus not found";
    const VerificaFirme verifica = VerificaFirmeXml(LeggiFile(file), Fiducia());
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    const ondivo::Firmatario& f = verifica.firmatari[0];
    EXPECT_EQ(f.esito, GetParam().esito) << f.motivo;
    EXPECT_EQ(f.nome, "Sistema Interscambio Fattura PA");
    EXPECT_EQ(f.algoritmo, "SHA-256");
    if (GetParam().esito == EsitoFirma::NonValida)
        EXPECT_TRUE(Contiene(f.motivo, "il documento è stato modificato dopo la firma"));
    else
        EXPECT_TRUE(f.dataFirma.has_value());
}

const CasoCorpus kCorpusFirme[] = {
    {"sdi_receipt_rc", "receipts/official/IT01234567890_11111_RC_001.xml", EsitoFirma::Integra},
    {"sdi_receipt_ns", "receipts/official/IT01234567890_11111_NS_001.xml", EsitoFirma::Integra},
    {"sdi_receipt_mc", "receipts/official/IT01234567890_11111_MC_001.xml", EsitoFirma::Integra},
    {"sdi_receipt_ne", "receipts/official/IT01234567890_11111_NE_001.xml", EsitoFirma::Integra},
    {"sdi_receipt_dt", "receipts/official/IT01234567890_11111_DT_001.xml", EsitoFirma::Integra},
    {"sdi_receipt_at", "receipts/official/IT01234567890_11111_AT_001.xml", EsitoFirma::Integra},
    {"sdi_receipt_se", "receipts/official/IT01234567890_11111_SE_001.xml", EsitoFirma::Integra},
    {"real_receipt_rc", "receipts/real/IT03339130126_00009_RC_003.xml", EsitoFirma::Integra},
    {"real_receipt_mc", "receipts/real/IT14627831002_02621_MC_001.xml", EsitoFirma::Integra},
    {"edited_receipt_rc", "receipts/ade-portal/ITHVQWPH73P42H501Y_00022_RC_001.xml",
     EsitoFirma::NonValida},
    {"edited_receipt_ns", "receipts/ade-portal/ITHVQWPH73P42H501Y_00022_NS_001.xml",
     EsitoFirma::NonValida},
    {"edited_receipt_mc", "receipts/ade-portal/ITHVQWPH73P42H501Y_00022_MC_001.xml",
     EsitoFirma::NonValida},
    // An invoice carrying a signature made for another document.
    {"invoice_with_a_borrowed_signature", "invoices/thirdparty/oca/IT03638121008_X11111.xml",
     EsitoFirma::NonValida},
};

INSTANTIATE_TEST_SUITE_P(FirmaXmlCorpus, CorpusFirmeTest, testing::ValuesIn(kCorpusFirme),
                         [](const auto& info) { return info.param.nome; });

} // namespace

// The one signed invoice of the Agenzia delle Entrate's samples: intact, signed by the Agenzia
// itself in 2018 while its certificate (2016-11-16 to 2019-11-17) was valid; with no trusted
// list its authority stays unverified.
TEST(FirmaXmlCorpus, AgenziaEntrateSampleIsIntact) {
    const fs::path file = kCorpus / "invoices/official/ade-portal/ITHVQWPH73P42H501Y_X0024.xml";
    if (!fs::exists(file))
        GTEST_SKIP() << "corpus not found";
    const VerificaFirme verifica = VerificaFirmeXml(LeggiFile(file), Fiducia());
    ASSERT_EQ(verifica.firmatari.size(), 1u);
    const ondivo::Firmatario& f = verifica.firmatari[0];
    EXPECT_EQ(verifica.esito, EsitoFirma::Integra) << f.motivo;
    EXPECT_TRUE(f.integra);
    EXPECT_EQ(f.nome, "Agenzia delle Entrate");
    EXPECT_EQ(f.emittente, "CA Agenzia delle Entrate");
    EXPECT_EQ(f.dataFirma, "2018-05-16T11:07:49Z");
    EXPECT_EQ(f.algoritmo, "SHA-256");
    EXPECT_FALSE(f.algoritmoDebole);
    EXPECT_EQ(f.validoDal, "2016-11-16");
    EXPECT_EQ(f.validoAl, "2019-11-17");
}

// The entity bomb is refused by the parser; the external entity is neither read nor expanded.
TEST(FirmaXmlCorpus, HostileFiles) {
    const fs::path cartella = kCorpus / "invoices/hostile";
    if (!fs::exists(cartella))
        GTEST_SKIP() << "corpus not found";
    EXPECT_THROW(VerificaFirmeXml(LeggiFile(cartella / "billion_laughs.xml"), Fiducia()),
                 OndivoError);
    EXPECT_EQ(VerificaFirmeXml(LeggiFile(cartella / "entity_expansion_xxe.xml"), Fiducia()).esito,
              EsitoFirma::Assente);
}
