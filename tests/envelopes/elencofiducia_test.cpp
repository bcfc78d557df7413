// The trusted list: written and signed here as the authority publishes it, then read back,
// spoiled, and used to judge an invoice's signature.
#include "certificatifixture.h"
#include "dataora.h"
#include "envelopefixture.h"
#include "errors.h"
#include "fiducia.h"
#include "firmaxmlprova.h"
#include "identitaprova.h"
#include "verificafirma.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <fstream>
#include <functional>
#include <map>

using namespace ondivo;
using namespace ondivo::test;

namespace {

constexpr const char* kCaQc = "http://uri.etsi.org/TrstSvc/Svctype/CA/QC";
constexpr const char* kTsa = "http://uri.etsi.org/TrstSvc/Svctype/TSA/QTST";

// The list's signer, the authorities in it and two signers, each made the first time a test
// asks for it; elliptic-curve keys, quick to make, but for the signer of the list.
namespace chi {

constexpr const char* kDal = "20000101000000Z";
constexpr const char* kAl = "20991231235959Z";

const Identita& firmatarioElenco() {
    static const Identita i =
        NuovaIdentita({{{"C", "IT"}, {"O", "Agenzia di prova"}, {"CN", "Elenco di prova"}}});
    return i;
}
const Identita& autorita(const char* nome) {
    static std::map<std::string, Identita> autorita;
    auto [voce, nuova] = autorita.try_emplace(nome);
    if (nuova)
        voce->second = NuovaIdentita({{{"CN", nome}}, kDal, kAl, true}, nullptr, TipoChiave::Ec);
    return voce->second;
}
const Identita& primaAutorita() {
    return autorita("Prima CA qualificata");
}
const Identita& secondaAutorita() {
    return autorita("Seconda CA qualificata");
}
const Identita& autoritaCessata() {
    return autorita("CA qualificata cessata");
}
const Identita& marcatura() {
    return autorita("Marche temporali");
}
const Identita& firmatario() {
    static const Identita i = NuovaIdentita({{{"givenName", "Mario"},
                                              {"surname", "Rossi"},
                                              {"serialNumber", "TINIT-RSSMRA80A01H501U"}}},
                                            &secondaAutorita(), TipoChiave::Ec);
    return i;
}
const Identita& firmatarioNonQualificato() {
    static const Identita i =
        NuovaIdentita({{{"givenName", "Anna"}, {"surname", "Neri"}}}, &marcatura(), TipoChiave::Ec);
    return i;
}

} // namespace chi

// Base64 in lines of 64 characters, indented, as lists are laid out.
std::string inRighe(const std::string& base64) {
    std::string testo;
    for (std::size_t i = 0; i < base64.size(); i += 64)
        testo += "\n              " + base64.substr(i, 64);
    return testo + "\n            ";
}

constexpr const char* kConcesso = "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/granted";
constexpr const char* kRevocato = "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/withdrawn";

// An earlier status of a service: its type then, the status and when it began.
struct Storia {
    std::string tipo;
    std::string stato;
    std::string dal;
};

struct Servizio {
    std::string tipo;
    std::vector<std::string> certificati; // as written in X509Certificate
    std::string stato = kConcesso;
    std::string dal = "2016-07-01T00:00:00Z"; // StatusStartingTime
    std::vector<Storia> storia = {};
};

// A trusted list with the services given, two to a provider; unsigned.
std::string elenco(const std::vector<Servizio>& servizi,
                   const std::string& ns = "http://uri.etsi.org/02231/v2#") {
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<tsl:TrustServiceStatusList xmlns:tsl=")" +
                      ns + R"(" Id="elenco" TSLTag="http://uri.etsi.org/19612/TSLTag">
  <tsl:SchemeInformation>
    <tsl:TSLVersionIdentifier>5</tsl:TSLVersionIdentifier>
    <tsl:TSLSequenceNumber>42</tsl:TSLSequenceNumber>
    <tsl:SchemeOperatorName><tsl:Name xml:lang="it">Agenzia di prova</tsl:Name></tsl:SchemeOperatorName>
    <tsl:SchemeTerritory>IT</tsl:SchemeTerritory>
    <tsl:ListIssueDateTime>2026-11-02T09:00:00Z</tsl:ListIssueDateTime>
    <tsl:NextUpdate>
      <tsl:dateTime>2027-05-02T09:00:00Z</tsl:dateTime>
    </tsl:NextUpdate>
  </tsl:SchemeInformation>
  <tsl:TrustServiceProviderList>)";
    for (std::size_t i = 0; i < servizi.size(); ++i) {
        if (i % 2 == 0)
            xml +=
                "\n    <tsl:TrustServiceProvider>\n      <tsl:TSPInformation><tsl:TSPName>"
                "<tsl:Name xml:lang=\"it\">Prestatore</tsl:Name></tsl:TSPName></tsl:TSPInformation>"
                "\n      <tsl:TSPServices>";
        xml += "\n        <tsl:TSPService>\n          <tsl:ServiceInformation>"
               "\n            <tsl:ServiceTypeIdentifier>" +
               servizi[i].tipo +
               "</tsl:ServiceTypeIdentifier>"
               "\n            <tsl:ServiceDigitalIdentity>";
        for (const auto& certificato : servizi[i].certificati)
            xml += "\n              <tsl:DigitalId><tsl:X509Certificate>" + certificato +
                   "</tsl:X509Certificate></tsl:DigitalId>";
        xml += "\n              "
               "<tsl:DigitalId><tsl:X509SubjectName>CN=x</tsl:X509SubjectName></tsl:DigitalId>"
               "\n            </tsl:ServiceDigitalIdentity>"
               "\n            <tsl:ServiceStatus>" +
               servizi[i].stato + "</tsl:ServiceStatus>\n            <tsl:StatusStartingTime>" +
               servizi[i].dal + "</tsl:StatusStartingTime>\n          </tsl:ServiceInformation>";
        if (!servizi[i].storia.empty()) {
            xml += "\n          <tsl:ServiceHistory>";
            for (const auto& h : servizi[i].storia)
                xml += "<tsl:ServiceHistoryInstance><tsl:ServiceTypeIdentifier>" + h.tipo +
                       "</tsl:ServiceTypeIdentifier><tsl:ServiceStatus>" + h.stato +
                       "</tsl:ServiceStatus><tsl:StatusStartingTime>" + h.dal +
                       "</tsl:StatusStartingTime></tsl:ServiceHistoryInstance>";
            xml += "</tsl:ServiceHistory>";
        }
        xml += "\n        </tsl:TSPService>";
        if (i % 2 == 1 || i + 1 == servizi.size())
            xml += "\n      </tsl:TSPServices>\n    </tsl:TrustServiceProvider>";
    }
    return xml + "\n  </tsl:TrustServiceProviderList>\n</tsl:TrustServiceStatusList>\n";
}

std::string firmato(const std::string& xml, OpzioniFirma opzioni = {.id = "firma-elenco"}) {
    return FirmaXml(xml, chi::firmatarioElenco(), opzioni);
}

// Every authority once, some twice, beside a time-stamping service.
std::vector<Servizio> serviziProva() {
    return {
        {kCaQc, {inRighe(chi::primaAutorita().base64())}},
        {kTsa, {chi::marcatura().base64()}},
        {kCaQc, {chi::primaAutorita().base64(), chi::secondaAutorita().base64()}},
        {kCaQc, {chi::autoritaCessata().base64()}, kRevocato},
    };
}

TEST(ElencoFiducia, ReadsTheQualifiedAuthorities) {
    const ElencoFiducia letto = LeggiElencoFiducia(firmato(elenco(serviziProva())));
    EXPECT_EQ(letto.certificati,
              (std::vector<std::string>{chi::primaAutorita().der(), chi::secondaAutorita().der(),
                                        chi::autoritaCessata().der()}));
    EXPECT_EQ(letto.territorio, "IT");
    EXPECT_EQ(letto.numeroSequenza, "42");
    EXPECT_EQ(letto.dataEmissione, "2026-11-02T09:00:00Z");
    EXPECT_EQ(letto.prossimoAggiornamento, "2027-05-02T09:00:00Z");
    EXPECT_TRUE(Contiene(letto.firmatario, "CN=Elenco di prova"));
    EXPECT_TRUE(Contiene(letto.firmatario, "O=Agenzia di prova"));
}

TEST(ElencoFiducia, AuthoritiesOfTheListMakeASignatureValid) {
    const Fiducia fiducia(LeggiElencoFiducia(firmato(elenco(serviziProva()))).certificati);
    const std::string fattura =
        "<Fattura xmlns=\"urn:prova\"><Numero>7</Numero><Totale>10.00</Totale></Fattura>";

    // Judged on 1 June 2030, with the issuer's list of revocation current then.
    const OpzioniVerifica ora{1906502400};
    const VerificaFirme qualificata = VerificaFirmeXml(
        FirmaXml(fattura, chi::firmatario(), {.crl = {Crl(chi::secondaAutorita())}}), fiducia, ora);
    ASSERT_EQ(qualificata.firmatari.size(), 1u);
    EXPECT_EQ(qualificata.esito, EsitoFirma::Valida) << qualificata.firmatari[0].motivo;

    // The time-stamping authority is in the list, but not as a certification authority.
    const VerificaFirme altra = VerificaFirmeXml(
        FirmaXml(fattura, chi::firmatarioNonQualificato(), {.crl = {Crl(chi::marcatura())}}),
        fiducia, ora);
    ASSERT_EQ(altra.firmatari.size(), 1u);
    EXPECT_EQ(altra.esito, EsitoFirma::Integra);
}

// ---------------------------------------------------------------------------------------------
// A signature is valid only under an authority whose service was qualified when it issued the
// signer's certificate: its status and history decide, as the list gives them.

const Identita& autoritaStorica() {
    static const Identita i = NuovaIdentita({{{"CN", "CA con storia"}}, chi::kDal, chi::kAl, true},
                                            nullptr, TipoChiave::Ec);
    return i;
}

// A signer certified by the authority with a history, on the day given.
const Identita& certificatoIl(const std::string& giorno) {
    static std::map<std::string, Identita> emessi;
    auto [voce, nuova] = emessi.try_emplace(giorno);
    if (nuova)
        voce->second =
            NuovaIdentita({{{"givenName", "Mario"}, {"surname", "Rossi"}, {"CN", "ROSSI MARIO"}},
                           giorno,
                           "20491231000000Z"},
                          &autoritaStorica(), TipoChiave::Ec);
    return voce->second;
}

struct CasoStorico {
    std::string nome;
    Servizio servizio;  // of the authority with a history
    std::string emesso; // when the signer's certificate was issued
    EsitoFirma esito;
    std::string motivo; // part of the reason; empty for a valid signature
};

void PrintTo(const CasoStorico& c, std::ostream* os) {
    *os << c.nome;
}

class StoriaServizioTest : public testing::TestWithParam<CasoStorico> {};

TEST_P(StoriaServizioTest, JudgesTheAuthorityWhenItIssued) {
    const auto& caso = GetParam();
    Servizio servizio = caso.servizio;
    servizio.certificati = {autoritaStorica().base64()};
    const ElencoFiducia letto = LeggiElencoFiducia(firmato(elenco({servizio})));
    const Fiducia fiducia(letto.servizi, *SecondiDaDataOra(letto.prossimoAggiornamento));
    const std::string fattura = "<Fattura xmlns=\"urn:prova\"><Numero>7</Numero></Fattura>";
    // Judged on 1 June 2030, with the authority's current list of revocation: the list
    // itself was to be replaced in 2027, and the verdict says so.
    const VerificaFirme v = VerificaFirmeXml(
        FirmaXml(fattura, certificatoIl(caso.emesso), {.crl = {Crl(autoritaStorica())}}), fiducia,
        {1906502400});
    ASSERT_EQ(v.firmatari.size(), 1u);
    EXPECT_EQ(v.esito, caso.esito) << v.firmatari[0].motivo;
    if (caso.motivo.empty())
        EXPECT_TRUE(v.firmatari[0].motivi.empty()) << v.firmatari[0].motivo;
    else
        EXPECT_TRUE(Contiene(v.firmatari[0].motivo, caso.motivo));
    ASSERT_EQ(v.avvisi.size(), 1u);
    EXPECT_TRUE(Contiene(v.avvisi[0], "andava sostituito entro il 02/05/2027"));
}

const CasoStorico kStorie[] = {
    {"granted",
     {kCaQc, {}, kConcesso, "2016-07-01T00:00:00Z"},
     "20200101000000Z",
     EsitoFirma::Valida,
     ""},
    {"issuedBeforeTheWithdrawal",
     {kCaQc, {}, kRevocato, "2022-01-01T00:00:00Z", {{kCaQc, kConcesso, "2016-07-01T00:00:00Z"}}},
     "20200101000000Z",
     EsitoFirma::Valida,
     ""},
    {"issuedAfterTheWithdrawal",
     {kCaQc, {}, kRevocato, "2022-01-01T00:00:00Z", {{kCaQc, kConcesso, "2016-07-01T00:00:00Z"}}},
     "20230101000000Z",
     EsitoFirma::Integra,
     "stato: withdrawn dal 01/01/2022"},
    {"issuedBeforeTheServiceWasListed",
     {kCaQc, {}, kConcesso, "2021-01-01T00:00:00Z"},
     "20200101000000Z",
     EsitoFirma::Integra,
     "non era ancora nell'elenco"},
    {"qualifiedOnlySinceLater",
     {kCaQc,
      {},
      kConcesso,
      "2021-01-01T00:00:00Z",
      {{"http://uri.etsi.org/TrstSvc/Svctype/CA/PKC", kConcesso, "2016-07-01T00:00:00Z"}}},
     "20200101000000Z",
     EsitoFirma::Integra,
     "non era qualificato il 01/01/2020"},
    {"beforeTheRegulationUnderSupervision",
     {kCaQc,
      {},
      kConcesso,
      "2016-07-01T00:00:00Z",
      {{kCaQc, "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/undersupervision",
        "2010-01-01T00:00:00Z"}}},
     "20120101000000Z",
     EsitoFirma::Valida,
     ""},
};

INSTANTIATE_TEST_SUITE_P(ElencoFiducia, StoriaServizioTest, testing::ValuesIn(kStorie),
                         [](const auto& info) { return info.param.nome; });

// A list kept by an earlier version has no statuses: its authorities chain, but nothing is
// valid until the list is imported again.
TEST(ElencoFiducia, ListKeptWithoutStatusesValidatesNothing) {
    TempDir dir;
    ScopedEnv dati("XDG_DATA_HOME", dir.path().string());
    ElencoFiducia elenco;
    elenco.territorio = "IT";
    elenco.certificati = {autoritaStorica().der()};
    SalvaElencoFiducia(elenco);
    const std::string cartella = CartellaFiducia();
    ASSERT_TRUE(std::filesystem::remove(cartella + "servizi.txt"));
    const VerificaFirme v = VerificaFirmeXml(FirmaXml("<Fattura xmlns=\"urn:prova\"/>",
                                                      certificatoIl("20200101000000Z"),
                                                      {.crl = {Crl(autoritaStorica())}}),
                                             CaricaFiducia(), {1906502400});
    ASSERT_EQ(v.firmatari.size(), 1u);
    EXPECT_FALSE(v.firmatari[0].attendibile);
    EXPECT_EQ(v.esito, EsitoFirma::Integra);
    EXPECT_EQ(v.sottoindicazione, sotto::NoCertificateChainFound);
    EXPECT_TRUE(Contiene(v.firmatari[0].motivo, "importare di nuovo l'elenco"));
}

// A list vouches for signatures only when its signer is known: named among the known signers
// of lists, or the signer of the authentic list kept before for the same territory.
TEST(ElencoFiducia, OnlyAuthenticListsVouch) {
    TempDir dir;
    ScopedEnv dati("XDG_DATA_HOME", dir.path().string());
    const std::string fattura = "<Fattura xmlns=\"urn:prova\"><Numero>7</Numero></Fattura>";
    const std::string firmata =
        FirmaXml(fattura, chi::firmatario(), {.crl = {Crl(chi::secondaAutorita())}});
    const auto esito = [&] {
        return VerificaFirmeXml(firmata, CaricaFiducia(), {1906502400}).firmatari.at(0);
    };
    // The signer's authority, qualified since before it issued the certificate.
    const std::vector<Servizio> servizi = {
        {kCaQc, {chi::secondaAutorita().base64()}, kConcesso, "1999-01-01T00:00:00Z"}};
    const std::string lista = firmato(elenco(servizi));

    // Unknown signer: kept, said, and nothing under it is valid.
    ElencoFiducia ignoto = AccettaElencoFiducia(lista);
    EXPECT_NE(ignoto.autenticato, "sì");
    EXPECT_TRUE(Contiene(ignoto.motivoNonAutenticato, "CN=Elenco di prova"));
    EXPECT_TRUE(Contiene(SintesiElencoFiducia(ignoto, 1), "non autenticato"));
    EXPECT_EQ(esito().esito, EsitoFirma::Integra);
    EXPECT_TRUE(Contiene(esito().motivo, "l'elenco di fiducia non è autenticato"));

    // The signer made known: authentic.
    const std::string cartella = CartellaFiducia();
    std::filesystem::create_directories(cartella);
    {
        BioPtr bio(BIO_new(BIO_s_mem()));
        PEM_write_bio_X509(bio.get(), chi::firmatarioElenco().certificato.get());
        char* testo = nullptr;
        const long n = BIO_get_mem_data(bio.get(), &testo);
        std::ofstream(cartella + "firmatari-noti.pem") << std::string(testo, n);
    }
    EXPECT_EQ(AccettaElencoFiducia(lista).autenticato, "sì");
    EXPECT_EQ(esito().esito, EsitoFirma::Valida) << esito().motivo;

    // The next list of the same signer stays authentic once the signer is no longer listed.
    std::filesystem::remove(cartella + "firmatari-noti.pem");
    EXPECT_EQ(AccettaElencoFiducia(lista).autenticato, "sì");
    EXPECT_EQ(esito().esito, EsitoFirma::Valida) << esito().motivo;

    // A list of another signer, even one that calls itself the Agency, is not.
    const Identita falsario =
        NuovaIdentita({{{"C", "IT"}, {"O", "Agenzia per l'Italia Digitale"}, {"CN", "AgID"}}});
    const ElencoFiducia falso =
        AccettaElencoFiducia(FirmaXml(elenco(servizi), falsario, {.id = "firma-elenco"}));
    EXPECT_NE(falso.autenticato, "sì");
    EXPECT_EQ(esito().esito, EsitoFirma::Integra);
    // Nor does the known signer come back through it: the authentic list was replaced.
    EXPECT_NE(AccettaElencoFiducia(lista).autenticato, "sì");
}

// The list of lists names the signers of each territory's list: kept when its own signer is
// known, it makes the territory's list authentic by its signer.
std::string
elencoDegliElenchi(const std::vector<std::pair<std::string, const Identita*>>& puntatori) {
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<tsl:TrustServiceStatusList xmlns:tsl="http://uri.etsi.org/02231/v2#" Id="lotl">
  <tsl:SchemeInformation>
    <tsl:TSLVersionIdentifier>5</tsl:TSLVersionIdentifier>
    <tsl:TSLSequenceNumber>300</tsl:TSLSequenceNumber>
    <tsl:SchemeTerritory>EU</tsl:SchemeTerritory>
    <tsl:PointersToOtherTSL>)";
    for (const auto& [territorio, firmatario] : puntatori)
        xml += "<tsl:OtherTSLPointer><tsl:ServiceDigitalIdentities><tsl:ServiceDigitalIdentity>"
               "<tsl:DigitalId><tsl:X509Certificate>" +
               firmatario->base64() +
               "</tsl:X509Certificate></tsl:DigitalId></tsl:ServiceDigitalIdentity>"
               "</tsl:ServiceDigitalIdentities><tsl:TSLLocation>https://example.invalid/" +
               territorio +
               ".xml</tsl:TSLLocation><tsl:AdditionalInformation><tsl:OtherInformation>"
               "<tsl:SchemeTerritory>" +
               territorio +
               "</tsl:SchemeTerritory></tsl:OtherInformation></tsl:AdditionalInformation>"
               "</tsl:OtherTSLPointer>";
    return xml + R"(</tsl:PointersToOtherTSL>
    <tsl:ListIssueDateTime>2026-11-01T09:00:00Z</tsl:ListIssueDateTime>
    <tsl:NextUpdate><tsl:dateTime>2027-05-01T09:00:00Z</tsl:dateTime></tsl:NextUpdate>
  </tsl:SchemeInformation>
</tsl:TrustServiceStatusList>
)";
}

TEST(ElencoFiducia, ListOfListsAuthenticatesATerritorysList) {
    TempDir dir;
    ScopedEnv dati("XDG_DATA_HOME", dir.path().string());
    const Identita europa = NuovaIdentita({{{"C", "BE"}, {"CN", "Elenco degli elenchi"}}});
    const Identita altroFirmatario = NuovaIdentita({{{"C", "IT"}, {"CN", "Altro gestore"}}});
    const std::string lotl =
        FirmaXml(elencoDegliElenchi({{"IT", &chi::firmatarioElenco()}, {"FR", &altroFirmatario}}),
                 europa, {.id = "firma-lotl"});
    const std::string italiano = firmato(elenco(serviziProva()));

    // The list of lists of an unknown signer is refused, and changes nothing.
    try {
        AccettaElencoFiducia(lotl);
        ADD_FAILURE() << "list of lists accepted";
    } catch (const OndivoError& e) {
        EXPECT_TRUE(Contiene(e.what(), "Elenco degli elenchi di fiducia non autenticato"));
    }
    EXPECT_NE(AccettaElencoFiducia(italiano).autenticato, "sì");

    // Its signer made known: kept; the Italian list is then authentic by its pointer.
    const std::string cartella = CartellaFiducia();
    {
        BioPtr bio(BIO_new(BIO_s_mem()));
        PEM_write_bio_X509(bio.get(), europa.certificato.get());
        char* testo = nullptr;
        const long n = BIO_get_mem_data(bio.get(), &testo);
        std::ofstream(cartella + "firmatari-noti.pem") << std::string(testo, n);
    }
    const ElencoFiducia degliElenchi = AccettaElencoFiducia(lotl);
    EXPECT_EQ(degliElenchi.firmatariDegliElenchi.size(), 2u);
    EXPECT_EQ(SintesiElencoFiducia(degliElenchi, 0),
              "elenco degli elenchi di fiducia, 2 territori");
    EXPECT_EQ(AccettaElencoFiducia(italiano).autenticato, "sì");
    // The signer named for another territory authenticates no Italian list.
    const ElencoFiducia altro = AccettaElencoFiducia(
        FirmaXml(elenco(serviziProva()), altroFirmatario, {.id = "firma-elenco"}));
    EXPECT_NE(altro.autenticato, "sì");
}

struct CasoRifiuto {
    std::string nome;
    std::function<std::string()> xml;
    std::string messaggio; // how the error starts
};

void PrintTo(const CasoRifiuto& c, std::ostream* os) {
    *os << c.nome;
}

class RifiutoTest : public testing::TestWithParam<CasoRifiuto> {};

TEST_P(RifiutoTest, RefusesTheList) {
    try {
        LeggiElencoFiducia(GetParam().xml());
        FAIL() << "list accepted";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(GetParam().messaggio, 0), 0u) << e.what();
    }
}

const CasoRifiuto kRifiuti[] = {
    {"not_xml", [] { return std::string("TrustServiceStatusList"); },
     "Elenco di fiducia non valido: non è un file XML"},
    {"not_a_list",
     [] {
         return firmato("<p:FatturaElettronica "
                        "xmlns:p=\"urn:fattura\"><Numero>1</Numero></p:FatturaElettronica>");
     },
     "Elenco di fiducia non valido: non è un elenco di fiducia dei certificatori (il file XML "
     "che l'AgID pubblica, TSL-IT.xml, nel formato europeo ETSI TS 119 612)"},
    {"list_of_another_namespace",
     [] { return firmato(elenco(serviziProva(), "http://uri.etsi.org/02231/v1#")); },
     "Elenco di fiducia non valido: non è un elenco di fiducia dei certificatori (il file XML "
     "che l'AgID pubblica, TSL-IT.xml, nel formato europeo ETSI TS 119 612)"},
    {"unsigned", [] { return elenco(serviziProva()); },
     "Elenco di fiducia non valido: l'elenco non è firmato"},
    {"authority_changed_after_signing",
     [] {
         return Sostituisci(firmato(elenco(serviziProva())), chi::secondaAutorita().base64(),
                            chi::marcatura().base64());
     },
     "Elenco di fiducia non valido: la firma dell'elenco non è valida"},
    {"service_type_changed_after_signing",
     [] { return Sostituisci(firmato(elenco(serviziProva())), kTsa, kCaQc); },
     "Elenco di fiducia non valido: la firma dell'elenco non è valida"},
    {"xslt_in_the_signature",
     [] { return firmato(elenco(serviziProva()), {.id = "f", .xslt = true}); },
     "Elenco di fiducia non valido: la firma dell'elenco non è valida"},
    {"no_certification_authority",
     [] {
         return firmato(elenco({{kTsa, {chi::marcatura().base64()}}}));
     },
     "Elenco di fiducia non valido: nessun certificatore qualificato nell'elenco"},
};

INSTANTIATE_TEST_SUITE_P(ElencoFiducia, RifiutoTest, testing::ValuesIn(kRifiuti),
                         [](const auto& info) { return info.param.nome; });

} // namespace
