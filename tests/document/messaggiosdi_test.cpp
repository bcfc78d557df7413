// The receipts and notices of the exchange system told apart from every other document: the
// real ones of the public corpus, read in place, and small ones of our own for the edge cases.
#include "messaggiosdi.h"
#include "tempdir.h"
#include "xmldocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

using namespace ondivo;
using ondivo::test::TempDir;
namespace fs = std::filesystem;

namespace {

const fs::path kRicevute = fs::path(ONDIVO_CORPUS_DIR) / "receipts";

std::optional<MessaggioSdI> leggi(const std::string& file) {
    const XmlDocPtr documento = CaricaXml(file);
    return LeggiMessaggioSdI(documento.get());
}

// ---------------------------------------------------------------------------------------------
// The corpus: the code comes from the file name the system gave the message (..._RC_001.xml),
// the identifiers from the first element of their name in the file's text.

struct CorpusCase {
    std::string name;
    fs::path file;
};

void PrintTo(const CorpusCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<CorpusCase> ricevute() {
    std::vector<CorpusCase> casi;
    if (!fs::is_directory(kRicevute))
        return casi;
    std::error_code ec;
    for (const auto& voce : fs::recursive_directory_iterator(kRicevute, ec)) {
        if (voce.path().extension() != ".xml")
            continue;
        std::string nome = fs::relative(voce.path(), kRicevute).string();
        std::replace_if(
            nome.begin(), nome.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
        casi.push_back({nome, voce.path()});
    }
    std::sort(casi.begin(), casi.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    return casi;
}

std::string testoFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream testo;
    testo << in.rdbuf();
    return testo.str();
}

std::string primoElemento(const std::string& testo, const std::string& nome) {
    std::smatch trovato;
    const std::regex elemento("<" + nome + ">\\s*([^<]*?)\\s*</" + nome + ">");
    return std::regex_search(testo, trovato, elemento) ? trovato[1].str() : std::string();
}

class CorpusTest : public testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusTest, RecognisesTheMessageAndItsInvoice) {
    const auto& c = GetParam();
    const std::string nome = c.file.filename().string();
    std::smatch parti;
    ASSERT_TRUE(std::regex_search(nome, parti, std::regex("_([A-Z]{2})_\\d+\\.xml$"))) << nome;
    const std::string testo = testoFile(c.file);

    const auto m = leggi(c.file.string());

    ASSERT_TRUE(m);
    EXPECT_EQ(m->codice, parti[1].str());
    EXPECT_EQ(m->identificativoSdI, primoElemento(testo, "IdentificativoSdI"));
    EXPECT_FALSE(m->identificativoSdI.empty());
    EXPECT_EQ(m->nomeFile, primoElemento(testo, "NomeFile"));
    EXPECT_EQ(m->messageId, primoElemento(testo, "MessageId"));
}

INSTANTIATE_TEST_SUITE_P(Receipts, CorpusTest, testing::ValuesIn(ricevute()),
                         [](const auto& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusTest);

// Both channels' messages are in the corpus, so both namespaces are exercised above.
TEST(CorpusTest, HoldsMessagesOfBothNamespaces) {
    if (!fs::is_directory(kRicevute))
        GTEST_SKIP() << "no corpus at " << kRicevute;
    std::set<std::string> trovati;
    for (const auto& c : ricevute()) {
        const std::string testo = testoFile(c.file);
        for (const char* uri : {NamespaceMessaggiSdI, NamespaceMessaggiFattura})
            if (testo.find(std::string("=\"") + uri + "\"") != std::string::npos)
                trovati.insert(uri);
    }
    EXPECT_EQ(trovati.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Messages of our own: what is read of each, however little it holds.

const std::string kSdI = NamespaceMessaggiSdI;
const std::string kFattura = NamespaceMessaggiFattura;

std::string elemento(const std::string& radice, const std::string& uri, const std::string& corpo) {
    return "<ns:" + radice + " xmlns:ns=\"" + uri + "\" versione=\"1.0\">" + corpo +
           "</ns:" + radice + ">";
}

std::string messaggio(const std::string& radice, const std::string& uri, const std::string& corpo) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + elemento(radice, uri, corpo);
}

std::string esito(const std::string& codice) {
    return "<EsitoCommittente versione=\"1.0\"><IdentificativoSdI>5</IdentificativoSdI>"
           "<Esito>" +
           codice + "</Esito></EsitoCommittente>";
}

struct ReadCase {
    const char* name;
    std::string xml;
    const char* codice;
    const char* identificativo;
    const char* nomeFile;
    const char* esito;
    const char* stato;
    const char* data;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadTest, ReadsWhatTheMessageHolds) {
    const auto& c = GetParam();
    TempDir dir;

    const auto m = leggi(dir.write("m.xml", c.xml));

    ASSERT_TRUE(m);
    EXPECT_EQ(m->codice, c.codice);
    EXPECT_EQ(m->identificativoSdI, c.identificativo);
    EXPECT_EQ(m->nomeFile, c.nomeFile);
    EXPECT_EQ(m->esito, c.esito);
    EXPECT_EQ(m->statoFattura, c.stato);
    EXPECT_EQ(m->data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ReadTest,
    testing::Values(
        ReadCase{"deliveryDatedByItsDelivery",
                 messaggio("RicevutaConsegna", kFattura,
                           "<IdentificativoSdI>42</IdentificativoSdI><NomeFile>IT1_a.xml</NomeFile>"
                           "<DataOraRicezione>2024-01-31T23:59:00.000+01:00</DataOraRicezione>"
                           "<DataOraConsegna>2024-02-01T00:01:00.000+01:00</DataOraConsegna>"),
                 "RC", "42", "IT1_a.xml", "", "consegnata", "2024-02-01"},
        ReadCase{"deliveryWithoutItsDeliveryDate",
                 messaggio("RicevutaConsegna", kSdI,
                           "<DataOraRicezione>2024-01-31T23:59:00Z</DataOraRicezione>"),
                 // 23:59 UTC is 00:59 of the next day in Italy.
                 "RC", "", "", "", "consegnata", "2024-02-01"},
        ReadCase{"rejectionOfTheAgenziaChannel",
                 messaggio("RicevutaScarto", kFattura,
                           "<IdentificativoSdI>7</IdentificativoSdI>"
                           "<DataOraRicezione>2019-03-04T10:00:00.000+01:00</DataOraRicezione>"),
                 "NS", "7", "", "", "scartata", "2019-03-04"},
        ReadCase{"noticeOfAcceptance",
                 messaggio("NotificaEsito", kSdI,
                           "<IdentificativoSdI>9</IdentificativoSdI><NomeFile>f.xml</NomeFile>" +
                               esito("EC01")),
                 "NE", "9", "f.xml", "EC01", "accettata", ""},
        ReadCase{"noticeOfRefusal", messaggio("NotificaEsito", kSdI, esito(" EC02 ")), "NE", "", "",
                 "EC02", "rifiutata", ""},
        ReadCase{"noticeWithoutOutcome", messaggio("NotificaEsito", kSdI, "<Esito>EC01</Esito>"),
                 "NE", "", "", "", "", ""},
        ReadCase{"outcomeRefused",
                 messaggio("NotificaEsitoCommittente", kSdI,
                           "<IdentificativoSdI>3</IdentificativoSdI><Esito>EC02</Esito>"),
                 "EC", "3", "", "EC02", "rifiutata", ""},
        ReadCase{"outcomeUnderItsShortName",
                 messaggio("EsitoCommittente", kSdI, "<Esito>EC01</Esito>"), "EC", "", "", "EC01",
                 "accettata", ""},
        ReadCase{"outcomeNeitherAcceptedNorRefused",
                 messaggio("NotificaEsitoCommittente", kSdI, "<Esito>EC03</Esito>"), "EC", "", "",
                 "EC03", "", ""},
        ReadCase{"metadataOfTheAgenziaChannel",
                 messaggio("FileMetadati", kFattura,
                           "<IdentificativoSdI>1</IdentificativoSdI><NomeFile>x.xml</NomeFile>"),
                 "MT", "1", "x.xml", "", "", ""},
        ReadCase{"emptyMessage", messaggio("NotificaDecorrenzaTermini", kSdI, ""), "DT", "", "", "",
                 "decorrenza termini", ""},
        ReadCase{"valuesInCdataAndBlanks",
                 messaggio("AttestazioneTrasmissioneFattura", kSdI,
                           "<IdentificativoSdI>\n  <![CDATA[88]]>  </IdentificativoSdI>"
                           "<NomeFile>\t<![CDATA[a]]>&amp;b.xml </NomeFile>"),
                 "AT", "88", "a&b.xml", "", "non consegnata", ""},
        ReadCase{"markupInsideAValueIsSkipped",
                 messaggio("NotificaMancataConsegna", kSdI,
                           "<NomeFile>IT<b>x</b>1.xml</NomeFile>"
                           "<DataOraRicezione>ieri</DataOraRicezione>"),
                 "MC", "", "IT1.xml", "", "non consegnata", "ieri"},
        ReadCase{"onlyTheMessagesOwnElementsCount",
                 messaggio("NotificaScarto", kSdI,
                           "<RiferimentoArchivio><IdentificativoSdI>100</IdentificativoSdI>"
                           "<NomeFile>a.zip</NomeFile></RiferimentoArchivio>"
                           "<IdentificativoSdI>101</IdentificativoSdI>"),
                 "NS", "101", "", "", "scartata", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Documents that are no message.

struct NotAMessageCase {
    const char* name;
    std::string xml;
};

void PrintTo(const NotAMessageCase& c, std::ostream* os) {
    *os << c.name;
}

class NotAMessageTest : public testing::TestWithParam<NotAMessageCase> {};

TEST_P(NotAMessageTest, IsNotRecognised) {
    TempDir dir;
    EXPECT_FALSE(leggi(dir.write("m.xml", GetParam().xml)));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, NotAMessageTest,
    testing::Values(
        NotAMessageCase{"unknownElementOfTheMessagesNamespace",
                        messaggio("RicevutaSconosciuta", kSdI,
                                  "<IdentificativoSdI>1"
                                  "</IdentificativoSdI>")},
        NotAMessageCase{"knownNameWithoutNamespace",
                        "<RicevutaConsegna><IdentificativoSdI>1</IdentificativoSdI>"
                        "</RicevutaConsegna>"},
        NotAMessageCase{"knownNameInAnotherNamespace",
                        messaggio("RicevutaConsegna", "urn:altro", "")},
        NotAMessageCase{"namespaceOnTheChildrenOnly",
                        "<RicevutaConsegna><ns:IdentificativoSdI xmlns:ns=\"" + kSdI +
                            "\">1</ns:IdentificativoSdI></RicevutaConsegna>"},
        NotAMessageCase{"messageInsideAnotherDocument",
                        "<busta>" + elemento("RicevutaConsegna", kSdI, "") + "</busta>"},
        NotAMessageCase{
            "invoice",
            "<p:FatturaElettronica xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/"
            "fatture/v1.2\" versione=\"FPR12\"><FatturaElettronicaHeader><DatiTrasmissione>"
            "<FormatoTrasmissione>FPR12</FormatoTrasmissione></DatiTrasmissione>"
            "</FatturaElettronicaHeader></p:FatturaElettronica>"},
        NotAMessageCase{"invoiceInTheMessagesNamespace",
                        messaggio("FatturaElettronica", kFattura,
                                  "<FatturaElettronicaHeader/><FatturaElettronicaBody/>")}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
