// The pieces of the list of many invoices: archive entries judged one by one, exact sums,
// the documents of simplified invoices, the CSV, and the SdI state an invoice gets.
#include "allegatielenco.h"
#include "calendario.h"
#include "csvelenco.h"
#include "datidocumento.h"
#include "elenco.h"
#include "envelopepath.h"
#include "esploratore.h"
#include "files.h"
#include "fileutil.h"
#include "tempdir.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace ondivo::test {
namespace {

// A ZIP archive written with libarchive: entries in order, optionally deflated, optionally
// without their sizes in the headers (then written after the data, as streaming tools do).
std::string Zip(const std::vector<std::pair<std::string, std::string>>& voci, bool comprimi = true,
                bool dimensioni = true) {
    std::unique_ptr<archive, decltype(&archive_write_free)> a(archive_write_new(),
                                                              archive_write_free);
    archive_write_set_format_zip(a.get());
    archive_write_set_options(a.get(),
                              comprimi ? "zip:compression=deflate" : "zip:compression=store");
    std::vector<char> buffer(64u << 20);
    size_t usati = 0;
    archive_write_open_memory(a.get(), buffer.data(), buffer.size(), &usati);
    for (const auto& [nome, dati] : voci) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> e(archive_entry_new(),
                                                                        archive_entry_free);
        archive_entry_set_pathname(e.get(), nome.c_str());
        archive_entry_set_filetype(e.get(), AE_IFREG);
        archive_entry_set_perm(e.get(), 0644);
        if (dimensioni)
            archive_entry_set_size(e.get(), static_cast<la_int64_t>(dati.size()));
        archive_write_header(a.get(), e.get());
        archive_write_data(a.get(), dati.data(), dati.size());
    }
    archive_write_close(a.get());
    return std::string(buffer.data(), usati);
}

std::map<std::string, FileTrovato> Esplora(Esploratore& e,
                                           const std::vector<std::string>& percorsi) {
    std::map<std::string, FileTrovato> trovati;
    e.esplora(percorsi, [&](FileTrovato f) { trovati.emplace(f.nome, std::move(f)); });
    return trovati;
}

TEST(MotivoNomeNonSicuro, RefusesNamesThatLeaveTheFolder) {
    const std::pair<const char*, bool> casi[] = {
        {"a.xml", true},         {"cartella/a.xml", true},
        {"a..b.xml", true},      {"..a/b.xml", true},
        {"../a.xml", false},     {"a/../../b.xml", false},
        {"a\\..\\b.xml", false}, {"/etc/passwd", false},
        {"\\server\\x", false},  {"C:/Windows/x.xml", false},
        {"c:x.xml", false},      {"", false},
        {"..", false},
    };
    for (const auto& [nome, sicuro] : casi)
        EXPECT_EQ(MotivoNomeNonSicuro(nome).empty(), sicuro) << nome;
}

TEST(Esploratore, JudgesEachEntryOfAnArchive) {
    TempDir dir;
    const std::string interno =
        Zip({{"dentro/b.xml", "<b/>"}, {"terzo.zip", Zip({{"c.xml", "<c/>"}})}});
    const std::string zip = dir.write("f.zip", Zip({{"a/uno.xml", "<a/>"},
                                                    {"b/uno.xml", "<b/>"},
                                                    {"../fuori.xml", "<x/>"},
                                                    {"/assoluto.xml", "<x/>"},
                                                    {"grande.xml", std::string(3u << 20, ' ')},
                                                    {"zeri.xml", std::string(20u << 20, '\0')},
                                                    {"interno.zip", interno}}));
    std::string folder = (dir.path() / "estratti").string();
    std::map<std::string, FileTrovato> trovati;
    {
        Esploratore e(LimitiArchivio{2u << 20, 100, 100});
        trovati = Esplora(e, {zip});
        // The first copy lies straight in the private folder.
        folder =
            std::filesystem::path(trovati.at(zip + " › a/uno.xml").percorso).parent_path().string();
        for (const char* nome : {"a/uno.xml", "b/uno.xml", "interno.zip › dentro/b.xml"}) {
            const auto& f = trovati.at(zip + " › " + nome);
            EXPECT_TRUE(f.errore.empty()) << nome << ": " << f.errore;
            EXPECT_TRUE(std::filesystem::exists(f.percorso)) << nome;
            EXPECT_EQ(f.percorso.rfind(folder + "/", 0), 0u) << f.percorso;
        }
        EXPECT_NE(trovati.at(zip + " › a/uno.xml").percorso,
                  trovati.at(zip + " › b/uno.xml").percorso);
        EXPECT_NE(trovati.at(zip + " › ../fuori.xml").errore.find("non sicuro"), std::string::npos);
        EXPECT_NE(trovati.at(zip + " › grande.xml").errore.find("oltre 2 MB"), std::string::npos);
        EXPECT_NE(trovati.at(zip + " › zeri.xml").errore.find("oltre"), std::string::npos);
        EXPECT_NE(trovati.at(zip + " › interno.zip › terzo.zip").errore.find("annidato"),
                  std::string::npos);
        EXPECT_EQ(trovati.size(), 8u);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "fuori.xml"));
    }
    // The private folder goes with the explorer.
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

// Entries of the same name, in any case, each keep their own bytes under their own name; an
// envelope's copy has the name of its XML free beside it, so opening it writes nothing
// outside the private folder.
TEST(Esploratore, CopiesOfTheSameNameNeverMeet) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> voci = {
        {"a/x.xml", "uno"},       {"b/x.xml", "due"},        {"c/X.XML", "tre"},
        {"x.xml.p7m", "quattro"}, {"d/x.xml.p7m", "cinque"}, {"e/voce-1", "sei"},
        {"f/x.xml", "sette"},     {"g/y.xml", "otto"},       {"y.xml.p7m", "nove"},
    };
    const std::string zip = dir.write("stessi nomi.zip", Zip(voci));
    Esploratore e;
    const auto trovati = Esplora(e, {zip});
    ASSERT_EQ(trovati.size(), voci.size());
    std::set<std::string> copie;
    const std::string privata =
        std::filesystem::path(trovati.at(zip + " › a/x.xml").percorso).parent_path().string();
    for (const auto& [nome, dati] : voci) {
        const auto& f = trovati.at(zip + " › " + nome);
        ASSERT_TRUE(f.errore.empty()) << nome << ": " << f.errore;
        EXPECT_EQ(platform::LeggiFile(f.percorso), dati) << nome;
        EXPECT_EQ(NomeFile(f.percorso), NomeFile(nome));
        EXPECT_EQ(f.percorso.rfind(privata + "/", 0), 0u) << f.percorso;
        copie.insert(f.percorso);
        if (IsEnvelope(nome)) {
            EXPECT_FALSE(std::filesystem::exists(PercorsoXmlDaP7m(f.percorso))) << nome;
        }
    }
    EXPECT_EQ(copie.size(), voci.size());
}

// Entries read in memory: the same entries, refusals and bytes as with copies, and no file for
// those that may stay in memory, envelopes included; an archive inside and an entry over the
// memory limit, declared or found as it comes out, still get their copy.
TEST(Esploratore, EntriesInMemoryMatchTheCopies) {
    TempDir dir;
    const std::string medio(300u << 10, 'm');
    const std::vector<std::pair<std::string, std::string>> voci = {
        {"a/uno.xml", "<a/>"},
        {"b/uno.xml", "<b/>"},
        {"../fuori.xml", "<x/>"},
        {"medio.xml", medio},
        {"busta.xml.p7m", "firmata"},
        {"zeri.xml", std::string(20u << 20, '\0')},
        {"grande.xml", std::string(3u << 20, ' ')},
        {"interno.zip", Zip({{"dentro/b.xml", "<b/>"}})},
    };
    const std::vector<std::string> archivi = {
        dir.write("dichiarate.zip", Zip(voci)),
        dir.write("senza dimensioni.zip", Zip(voci, true, false)),
    };
    const LimitiArchivio limiti{2u << 20, 100, 100, 256u << 10};
    Esploratore copie(limiti);
    Esploratore memoria(limiti, VociArchivio::InMemoria);
    const auto conCopie = Esplora(copie, archivi);
    const auto inMemoria = Esplora(memoria, archivi);
    ASSERT_EQ(conCopie.size(), inMemoria.size());
    const std::set<std::string> restanoInMemoria = {"a/uno.xml", "b/uno.xml", "busta.xml.p7m",
                                                    "interno.zip › dentro/b.xml"};
    for (const auto& zip : archivi) {
        for (const auto& nome :
             {"a/uno.xml", "b/uno.xml", "../fuori.xml", "medio.xml", "busta.xml.p7m", "zeri.xml",
              "grande.xml", "interno.zip › dentro/b.xml"}) {
            const auto& c = conCopie.at(zip + " › " + nome);
            const auto& m = inMemoria.at(zip + " › " + nome);
            EXPECT_EQ(m.errore, c.errore) << zip << " " << nome;
            if (!c.errore.empty())
                continue;
            EXPECT_EQ(m.contenuto != nullptr, restanoInMemoria.count(nome) == 1)
                << zip << " " << nome;
            EXPECT_EQ(m.percorso.empty(), m.contenuto != nullptr) << zip << " " << nome;
            EXPECT_EQ(m.contenuto ? *m.contenuto : platform::LeggiFile(m.percorso),
                      platform::LeggiFile(c.percorso))
                << zip << " " << nome;
        }
    }
    EXPECT_EQ(platform::LeggiFile(inMemoria.at(archivi[1] + " › medio.xml").percorso), medio);
}

// The same archive with every entry listed twice in its directory: two entries of one data.
std::string ConVociCondivise(const std::string& zip) {
    const auto intero = [&](std::size_t dove, int byte) {
        std::uint64_t v = 0;
        for (int i = byte - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(zip[dove + static_cast<std::size_t>(i)]);
        return v;
    };
    const auto scrivi = [](std::string& dove, std::size_t da, std::uint64_t v, int byte) {
        for (int i = 0; i < byte; ++i)
            dove[da + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::size_t fine = zip.size() - 22;
    EXPECT_EQ(zip.substr(fine, 4), std::string("PK\x05\x06", 4));
    const std::size_t inizio = intero(fine + 16, 4);
    const std::size_t dimensione = intero(fine + 12, 4);
    const std::string directory = zip.substr(inizio, dimensione);
    std::string doppia = zip.substr(0, inizio) + directory + directory + zip.substr(fine);
    const std::size_t nuovaFine = doppia.size() - 22;
    scrivi(doppia, nuovaFine + 8, intero(fine + 8, 2) * 2, 2);
    scrivi(doppia, nuovaFine + 10, intero(fine + 10, 2) * 2, 2);
    scrivi(doppia, nuovaFine + 12, dimensione * 2, 4);
    return doppia;
}

// What one archive may unpack to, all its entries and those of the archives inside it
// together: past that, every entry left is a row with the reason, and entries that share
// their data refuse the archive whole. Archives within the bounds are read whole.
struct BilancioCase {
    const char* name;
    std::function<std::string()> archivio;
    LimitiArchivio limiti;
    // Entry (after "archivio.zip › "): the word its reason holds, "" for an entry read.
    std::map<std::string, std::string> attese;
};

class BilancioArchivioTest : public testing::TestWithParam<BilancioCase> {};

TEST_P(BilancioArchivioTest, EveryEntryHasItsRow) {
    const auto& c = GetParam();
    TempDir dir;
    const std::string zip = dir.write("archivio.zip", c.archivio());
    for (const auto voci : {VociArchivio::Copiate, VociArchivio::InMemoria}) {
        Esploratore e(c.limiti, voci);
        const auto trovati = Esplora(e, {zip});
        std::map<std::string, std::string> visti;
        for (const auto& [nome, f] : trovati) {
            const std::string voce = nome == zip ? "" : nome.substr(zip.size() + 5);
            std::string parola;
            for (const auto& [v, attesa] : c.attese)
                if (v == voce)
                    parola = attesa;
            visti[voce] = !f.errore.empty() && f.errore.find(parola) != std::string::npos ? parola
                          : f.errore.empty() ? std::string()
                                             : f.errore;
        }
        EXPECT_EQ(visti, c.attese) << (voci == VociArchivio::Copiate ? "copiate" : "in memoria");
    }
}

std::string Testo(std::size_t byte, char seme) {
    std::string t;
    std::uint32_t x = static_cast<unsigned char>(seme);
    while (t.size() < byte) {
        x = x * 1103515245u + 12345u;
        t += "<Riga>" + std::to_string(x % 1000) + "</Riga>\n";
    }
    t.resize(byte);
    return t;
}

// Entries each small enough, together too much: those read add up to no more than the budget,
// and every one after it is a row with the reason.
TEST(Esploratore, ManySmallEntriesShareOneBudget) {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> voci;
    for (int i = 10; i < 40; ++i)
        voci.emplace_back("z" + std::to_string(i) + ".xml", std::string(100u << 10, '\0'));
    const std::string zip = dir.write("zeri.zip", Zip(voci));
    const std::uint64_t bilancio = 100 * std::filesystem::file_size(zip);
    for (const auto modo : {VociArchivio::Copiate, VociArchivio::InMemoria}) {
        Esploratore e({}, modo);
        std::vector<FileTrovato> trovati;
        e.esplora({zip}, [&](FileTrovato f) { trovati.push_back(std::move(f)); });
        ASSERT_EQ(trovati.size(), voci.size());
        std::uint64_t letti = 0;
        std::size_t primoRifiutato = trovati.size();
        for (std::size_t i = 0; i < trovati.size(); ++i) {
            if (trovati[i].errore.empty()) {
                EXPECT_LT(i, primoRifiutato) << trovati[i].nome;
                letti += voci[i].second.size();
            } else {
                primoRifiutato = std::min(primoRifiutato, i);
                EXPECT_NE(trovati[i].errore.find("volte la sua dimensione"), std::string::npos)
                    << trovati[i].errore;
            }
        }
        EXPECT_GT(letti, 0u);
        EXPECT_LE(letti, bilancio);
        EXPECT_LT(primoRifiutato, trovati.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Archivi, BilancioArchivioTest,
    testing::Values(
        BilancioCase{
            "aBombThenAnInvoice",
            [] {
                return Zip({{"zeri.xml", std::string(40u << 20, '\0')}, {"dopo.xml", "<ok/>"}});
            },
            {},
            {{"zeri.xml", "volte la sua dimensione"}, {"dopo.xml", ""}}},
        BilancioCase{"invoicesBeforeABombStayRead",
                     [] {
                         return Zip({{"a.xml", Testo(50000, 'a')},
                                     {"b.xml", Testo(50000, 'b')},
                                     {"zeri.xml", std::string(40u << 20, '\0')}});
                     },
                     {},
                     {{"a.xml", ""}, {"b.xml", ""}, {"zeri.xml", "volte la sua dimensione"}}},
        BilancioCase{
            "archivesInsideShareTheBudget",
            [] {
                const std::string interno = Zip({{"dentro.xml", std::string(3u << 20, ' ')}});
                return Zip({{"interno.zip", interno}, {"fuori.xml", "<ok/>"}}, false);
            },
            {},
            {{"interno.zip › dentro.xml", "volte la sua dimensione"}, {"fuori.xml", ""}}},
        BilancioCase{"aFixedCapWhateverTheRatio",
                     [] {
                         return Zip({{"a.xml", Testo(40000, 'a')},
                                     {"b.xml", Testo(40000, 'b')},
                                     {"c.xml", Testo(40000, 'c')}},
                                    false);
                     },
                     LimitiArchivio{.estrattiMassimi = 100000},
                     {{"a.xml", ""}, {"b.xml", ""}, {"c.xml", "0,1 MB"}}},
        BilancioCase{"entriesSharingTheirData",
                     [] {
                         return ConVociCondivise(Zip({{"a.xml", Testo(30000, 'a')}}));
                     },
                     {},
                     {{"", "condividono"}}},
        BilancioCase{"anOrdinaryArchiveIsReadWhole",
                     [] {
                         std::vector<std::pair<std::string, std::string>> voci;
                         for (char c = 'a'; c <= 't'; ++c)
                             voci.emplace_back(std::string(1, c) + ".xml", Testo(20000, c));
                         return Zip(voci);
                     },
                     {},
                     [] {
                         std::map<std::string, std::string> tutte;
                         for (char c = 'a'; c <= 't'; ++c)
                             tutte[std::string(1, c) + ".xml"] = "";
                         return tutte;
                     }()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Esploratore, StopsAtTheEntryLimitAndSaysSo) {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> voci;
    for (int i = 0; i < 5; ++i)
        voci.emplace_back("f" + std::to_string(i) + ".xml", "<f/>");
    const std::string zip = dir.write("molte.zip", Zip(voci, false));
    Esploratore e(LimitiArchivio{1u << 30, 100, 3});
    const auto trovati = Esplora(e, {zip});
    EXPECT_EQ(trovati.size(), 4u);
    EXPECT_NE(trovati.at(zip).errore.find("più di 3 voci"), std::string::npos);
}

TEST(Esploratore, WalksFoldersAndNamesWhatItCannotRead) {
    TempDir dir;
    dir.write("c/z.xml", "<z/>");
    dir.write("c/sotto/a.xml", "<a/>");
    dir.write("c/rotto.zip", "PK\x03\x04 not really");
    dir.write("c/finto.zip", "just text");
    Esploratore e;
    std::vector<FileTrovato> trovati;
    e.esplora({(dir.path() / "c").string(), (dir.path() / "manca.xml").string()},
              [&](FileTrovato f) { trovati.push_back(std::move(f)); });
    std::vector<std::string> nomi;
    for (const auto& f : trovati)
        nomi.push_back(
            std::filesystem::path(f.nome.substr(dir.path().string().size() + 1)).generic_string() +
            (f.errore.empty() ? "" : "!"));
    EXPECT_EQ(nomi, (std::vector<std::string>{"c/finto.zip!", "c/rotto.zip!", "c/sotto/a.xml",
                                              "c/z.xml", "manca.xml"}));
}

TEST(SommaImporti, AddsExactly) {
    const std::pair<std::vector<std::string>, std::optional<std::string>> casi[] = {
        {{}, "0.00"},
        {{"0.1", "0.2"}, "0.30"},
        {{"1000.00", "-1000.01"}, "-0.01"},
        {{"12.345", "1"}, "13.345"},
        {{"999999999999999.99", "0.01"}, "1000000000000000.00"},
        {{"0.00000001", "0.00000002"}, "0.00000003"},
        {{"+5", " 7.5 "}, "12.50"},
        {{"1,5"}, std::nullopt},
        {{""}, std::nullopt},
        {{"1."}, std::nullopt},
        {{"1e3"}, std::nullopt},
        {{"0.000000001"}, std::nullopt},
    };
    for (const auto& [importi, atteso] : casi)
        EXPECT_EQ(SommaImporti(importi), atteso) << (importi.empty() ? "" : importi[0]);
}

TEST(LeggiDatiDocumenti, ReadsSimplifiedInvoicesAndMissingParts) {
    const char* xml =
        "<p:FatturaElettronicaSemplificata xmlns:p='x' versione='FSM10'>"
        "<FatturaElettronicaHeader><CedentePrestatore><IdFiscaleIVA><IdPaese>IT</IdPaese>"
        "<IdCodice>02468135799</IdCodice></IdFiscaleIVA><Nome>Anna</Nome><Cognome>Neri</Cognome>"
        "</CedentePrestatore><CessionarioCommittente><AltriDatiIdentificativi>"
        "<Denominazione>Bar &amp; Co</Denominazione></AltriDatiIdentificativi>"
        "</CessionarioCommittente></FatturaElettronicaHeader>"
        "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD07"
        "</TipoDocumento><Data>2024-05-06</Data><Numero> 7 </Numero></DatiGeneraliDocumento>"
        "</DatiGenerali><DatiBeniServizi><Importo>122.00</Importo><DatiIVA><Imposta>22.00"
        "</Imposta></DatiIVA></DatiBeniServizi><DatiBeniServizi><Importo>10.00</Importo>"
        "<DatiIVA><Aliquota>0</Aliquota></DatiIVA></DatiBeniServizi></FatturaElettronicaBody>"
        "<FatturaElettronicaBody/></p:FatturaElettronicaSemplificata>";
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadMemory(xml, static_cast<int>(std::strlen(xml)), "x.xml", nullptr, 0), xmlFreeDoc);
    const auto d = LeggiDatiDocumenti(doc.get());
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].fornitore, "Anna Neri");
    EXPECT_EQ(d[0].partitaIvaFornitore, "IT02468135799");
    EXPECT_EQ(d[0].cliente, "Bar & Co");
    EXPECT_EQ(d[0].numero, "7");
    EXPECT_EQ(d[0].imposta, "22.00");
    EXPECT_EQ(d[0].imponibile, "110.00");
    EXPECT_EQ(d[0].totale, "132.00");
    EXPECT_EQ(d[1].numero, "");
    EXPECT_EQ(d[1].totale, "");
}

// A simplified invoice's lines include their tax: the total is their sum; the tax and the
// taxable amount only when every line's tax is known (stated, or a rate of zero).
TEST(LeggiDatiDocumenti, SimplifiedAmountsOnlyWhenKnownExactly) {
    struct Caso {
        const char* nome;
        std::vector<std::pair<const char*, const char*>> righe; // Importo, DatiIVA's content
        const char* imponibile;
        const char* imposta;
        const char* totale;
    };
    const Caso casi[] = {
        {"taxStated",
         {{"122.00", "<Imposta>22.00</Imposta>"}, {"61", "<Imposta>11</Imposta>"}},
         "150.00",
         "33.00",
         "183.00"},
        {"rateOnly", {{"25.00", "<Aliquota>22.00</Aliquota>"}}, "", "", "25.00"},
        {"statedAndRateOnly",
         {{"122.00", "<Imposta>22.00</Imposta>"}, {"11.00", "<Aliquota>10.00</Aliquota>"}},
         "",
         "",
         "133.00"},
        {"zeroRateKnown", {{"50.00", "<Aliquota>0.00</Aliquota>"}}, "50.00", "0.00", "50.00"},
        {"unreadableAmount", {{"dieci", "<Imposta>1.00</Imposta>"}}, "", "1.00", ""},
        {"noLines", {}, "", "", ""},
    };
    for (const auto& c : casi) {
        std::string xml = "<p:FatturaElettronicaSemplificata xmlns:p='x'><FatturaElettronicaBody>";
        for (const auto& [importo, iva] : c.righe)
            xml += std::string("<DatiBeniServizi><Importo>") + importo + "</Importo><DatiIVA>" +
                   iva + "</DatiIVA></DatiBeniServizi>";
        xml += "</FatturaElettronicaBody></p:FatturaElettronicaSemplificata>";
        std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
            xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "x.xml", nullptr, 0),
            xmlFreeDoc);
        const auto d = LeggiDatiDocumenti(doc.get());
        ASSERT_EQ(d.size(), 1u) << c.nome;
        EXPECT_EQ(d[0].imponibile, c.imponibile) << c.nome;
        EXPECT_EQ(d[0].imposta, c.imposta) << c.nome;
        EXPECT_EQ(d[0].totale, c.totale) << c.nome;
    }
}

struct FormulaCase {
    const char* nome;
    std::string fornitore;
    std::string cella; // as the CSV line holds it
};

class CsvFormulaTest : public testing::TestWithParam<FormulaCase> {};

// A text a spreadsheet would run as a formula is written as text; amounts stay numbers.
TEST_P(CsvFormulaTest, NeutralisesFormulas) {
    RigaElenco r;
    r.file = "f.xml";
    r.documento = 1;
    r.dati.tipoDocumento = "TD01";
    r.dati.fornitore = GetParam().fornitore;
    const std::string csv = CsvElenco({r});
    EXPECT_NE(csv.find("\r\nTD01;;;" + GetParam().cella + ";"), std::string::npos) << csv;
}

INSTANTIATE_TEST_SUITE_P(
    Cells, CsvFormulaTest,
    testing::Values(
        FormulaCase{"equals", "=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        FormulaCase{"plus", "+39 333 1234567", "'+39 333 1234567"},
        FormulaCase{"minusText", "-2+3", "'-2+3"}, FormulaCase{"at", "@SUM(A1)", "'@SUM(A1)"},
        FormulaCase{"tab", "\t=1", "'\t=1"}, FormulaCase{"carriageReturn", "\r=1", "\"'\r=1\""},
        FormulaCase{"minusAlone", "-", "'-"}, FormulaCase{"semicolonAfter", "=1;2", "\"'=1;2\""},
        FormulaCase{"negativeAmountStays", "-1.234,50", "-1.234,50"},
        FormulaCase{"positiveAmountStays", "+12,5", "+12,5"},
        FormulaCase{"plainText", "Rossi S.r.l.", "Rossi S.r.l."},
        FormulaCase{"equalsInside", "A=B", "A=B"}),
    [](const auto& info) { return std::string(info.param.nome); });

// Each invoice of a save gets a folder of its own: the number at the end of the name, and
// never a folder that is already there.
TEST(CartelleAllegati, NumbersAtTheEndAndNeverReusesAFolder) {
    test::TempDir base;
    const auto riga = [](std::string percorso, std::string fornitore, std::string numero) {
        RigaElenco r;
        r.percorso = std::move(percorso);
        r.file = r.percorso;
        r.dati.fornitore = std::move(fornitore);
        r.dati.numero = std::move(numero);
        return r;
    };
    std::filesystem::create_directory(base.path() / "Bianchi S.p.A. 3");
    base.write("Verdi 9", "un file, non una cartella");
    CartelleAllegati cartelle(base.path().string());
    const auto nome = [&](const RigaElenco& r) {
        return std::filesystem::path(cartelle.cartellaDi(r)).filename().string();
    };
    const RigaElenco a = riga("/x/a.xml", "Rossi S.r.l.", "7-2024");
    const RigaElenco b = riga("/y/b.xml", "Rossi S.r.l.", "7-2024");
    const RigaElenco c = riga("/z/c.xml", "Rossi S.r.l.", "7-2024");
    EXPECT_EQ(nome(a), NomeCartellaAllegati(a));
    EXPECT_EQ(nome(b), NomeCartellaAllegati(a) + " (2)");
    EXPECT_EQ(nome(c), NomeCartellaAllegati(a) + " (3)");
    EXPECT_EQ(nome(a), NomeCartellaAllegati(a)); // asked again: the same folder
    const RigaElenco d = riga("/w/d.xml", "Bianchi S.p.A.", "3");
    EXPECT_EQ(nome(d), NomeCartellaAllegati(d) + " (2)"); // the earlier save's folder is kept
    const RigaElenco e = riga("/v/e.xml", "Verdi", "9");
    EXPECT_EQ(nome(e), "Verdi 9 (2)");
}

TEST(CsvElenco, QuotesAndWritesItalianNumbers) {
    RigaElenco r;
    r.file = "a;b \"c\".xml";
    r.documento = 2;
    r.dati.tipoDocumento = "TD01";
    r.dati.fornitore = "Riga\nnuova";
    r.dati.totale = "-1234.50";
    r.dati.data = "2024-03-14";
    r.firma = EsitoFirma::Integra;
    RigaElenco rotta;
    rotta.file = "x.txt";
    rotta.errore = "Documento xml non gestito";
    // A credit note counts against the invoices: its amounts are written negative.
    RigaElenco nota;
    nota.file = "n.xml";
    nota.documento = 1;
    nota.dati.tipoDocumento = "TD04";
    nota.dati.imponibile = "100.00";
    nota.dati.imposta = "22.00";
    nota.dati.totale = "122.00";
    nota.dati.netto = "122.00";
    nota.dati.divisa = "USD";
    nota.altriPosti = {{"a.zip › n.xml", ""}, {"c/n.xml", ""}};
    const std::string csv = CsvElenco({r, rotta, nota});
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(csv.find("TD01;;14/03/2024;\"Riga\nnuova\";;;;;-1234,50;;integra;;\"a;b "
                       "\"\"c\"\".xml\";2;;;;\r\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find(";;;;;;;;;;;;x.txt;;Documento xml non gestito;;;\r\n"), std::string::npos)
        << csv;
    EXPECT_NE(
        csv.find(
            "TD04;;;;;;-100,00;-22,00;-122,00;;;;n.xml;1;;USD;-122,00;a.zip › n.xml | c/n.xml\r\n"),
        std::string::npos)
        << csv;
}

// The messages of the exchange system, as the list reads them, and the invoices they may name.
struct Msg {
    std::string codice;
    std::string nomeFile;
    std::string id;
    std::string quando; // xs:dateTime, "" for none
    std::optional<EsitoFirma> firma = EsitoFirma::Integra;
    std::string hash = {};
    std::vector<std::string> errori = {};
    std::string esito = {}; // EC01/EC02 for NE and EC
};

struct CasoSdi {
    const char* nome;
    std::vector<std::pair<std::string, std::string>> fatture; // file, SHA-256
    std::vector<Msg> messaggi;
    std::vector<std::string> stati;         // per invoice
    std::vector<std::string> righeMessaggi; // statoSdi per message row
};

RigaElenco fatturaSdi(const std::string& file, const std::string& impronta) {
    RigaElenco r;
    r.file = file;
    r.documento = 1;
    r.formato = "FPR12";
    r.impronta = impronta;
    return r;
}

RigaElenco messaggioSdi(const Msg& m, std::size_t n) {
    static const std::map<std::string, std::string> stati = {{"RC", "consegnata"},
                                                             {"NS", "scartata"},
                                                             {"MC", "non consegnata"},
                                                             {"AT", "non consegnata"},
                                                             {"DT", "decorrenza termini"},
                                                             {"MT", ""},
                                                             {"SE", ""}};
    MessaggioSdI msg;
    msg.codice = m.codice;
    msg.nomeFile = m.nomeFile;
    msg.identificativoSdI = m.id;
    msg.esito = m.esito;
    msg.statoFattura = m.codice == "NE" || m.codice == "EC" ? (m.esito == "EC01"   ? "accettata"
                                                               : m.esito == "EC02" ? "rifiutata"
                                                                                   : "")
                                                            : stati.at(m.codice);
    msg.istante = IstanteDataOra(m.quando);
    msg.dataOra = DataOraItaliana(m.quando);
    msg.hash = m.hash;
    msg.codiciErrore = m.errori;
    RigaElenco r;
    r.file = "msg" + std::to_string(n) + "_" + m.codice + ".xml";
    r.documento = 1;
    r.formato = "SDI";
    r.firma = m.firma;
    r.statoSdi = msg.statoFattura;
    r.identificativoSdi = m.id;
    r.nomeFileSdi = m.nomeFile;
    r.messaggio = std::make_shared<const MessaggioSdI>(msg);
    return r;
}

class AbbinaMessaggiSdiTest : public testing::TestWithParam<CasoSdi> {};

TEST_P(AbbinaMessaggiSdiTest, ProvesTheState) {
    const CasoSdi& c = GetParam();
    std::vector<RigaElenco> righe;
    for (const auto& [file, impronta] : c.fatture)
        righe.push_back(fatturaSdi(file, impronta));
    for (std::size_t i = 0; i < c.messaggi.size(); ++i)
        righe.push_back(messaggioSdi(c.messaggi[i], i));
    AbbinaMessaggiSdi(righe);
    for (std::size_t i = 0; i < c.stati.size(); ++i)
        EXPECT_EQ(righe[i].statoSdi, c.stati[i]) << righe[i].file;
    for (std::size_t i = 0; i < c.righeMessaggi.size(); ++i)
        EXPECT_EQ(righe[c.fatture.size() + i].statoSdi, c.righeMessaggi[i]) << i;
}

const std::string kA = "it01234567890_00001.xml";
const std::string kHashA(64, 'a');
const std::string kHashB(64, 'b');

INSTANTIATE_TEST_SUITE_P(
    Receipts, AbbinaMessaggiSdiTest,
    testing::Values(
        CasoSdi{"deliveredByName",
                {{"IT01234567890_00001.xml", ""}},
                {{"RC", "IT01234567890_00001.xml", "7", "2024-03-01T10:00:00+01:00"}},
                {"consegnata"},
                {"consegnata"}},
        CasoSdi{"envelopeAndCaseDoNotMatter",
                {{"zip/IT01234567890_00001.XML.p7m", ""}},
                {{"NS", "it01234567890_00001.xml.p7m", "7", "2024-03-01T10:00:00+01:00"}},
                {"scartata"},
                {"scartata"}},
        // Only a receipt whose signature is intact proves anything.
        CasoSdi{"unsignedReceiptCountsForNothing",
                {{kA, ""}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00", EsitoFirma::Assente}},
                {""},
                {"ricevuta non verificata"}},
        CasoSdi{"brokenSignatureCountsForNothing",
                {{kA, ""}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00", EsitoFirma::NonValida}},
                {""},
                {"ricevuta non verificata"}},
        CasoSdi{"unreadableSignatureCountsForNothing",
                {{kA, ""}},
                {{"NS", kA, "7", "2024-03-01T10:00:00+01:00", EsitoFirma::NonVerificabile}},
                {""},
                {"ricevuta non verificata"}},
        CasoSdi{"validSignatureCounts",
                {{kA, ""}},
                {{"MC", kA, "7", "2024-03-01T10:00:00+01:00", EsitoFirma::Valida}},
                {"non consegnata"},
                {"non consegnata"}},
        CasoSdi{"forgedRejectionAfterDelivery",
                {{kA, ""}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00"},
                 {"NS", kA, "7", "2024-03-02T10:00:00+01:00", std::nullopt}},
                {"consegnata"},
                {"consegnata", "ricevuta non verificata"}},
        // The hash tells two files of one name apart; without it nothing is told.
        CasoSdi{"hashPicksTheFile",
                {{"gennaio/" + kA, kHashA}, {"febbraio/" + kA, kHashB}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00", EsitoFirma::Integra, kHashB}},
                {"", "consegnata"},
                {"consegnata"}},
        CasoSdi{"hashFitsNoFile",
                {{kA, kHashA}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00", EsitoFirma::Integra, kHashB}},
                {""},
                {"consegnata"}},
        CasoSdi{"sameNameNoHashIsAmbiguous",
                {{"gennaio/" + kA, kHashA}, {"febbraio/" + kA, kHashB}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00"}},
                {"", ""},
                {"abbinamento ambiguo"}},
        CasoSdi{"hashOfTheMetadataFile",
                {{"gennaio/" + kA, kHashA}, {"febbraio/" + kA, kHashB}},
                {{"MT", kA, "7", "", std::nullopt, kHashA},
                 {"NS", "", "7", "2024-03-01T10:00:00+01:00"}},
                {"scartata", ""},
                {"", "scartata"}},
        // An identifier two metadata files give to different files stands for neither.
        CasoSdi{"identifierReusedByAnotherMetadataFile",
                {{kA, ""}, {"it01234567890_00002.xml", ""}},
                {{"MT", kA, "7", "", std::nullopt},
                 {"MT", "it01234567890_00002.xml", "7", "", std::nullopt},
                 {"NE", "", "7", "", EsitoFirma::Integra, "", {}, "EC02"}},
                {"", ""},
                {"", "", "rifiutata"}},
        CasoSdi{"identifierOfOneMetadataFile",
                {{kA, ""}},
                {{"MT", kA, "7", "", std::nullopt},
                 {"RC", "", "7", "2024-03-01T10:00:00+01:00"},
                 {"NE", "", "7", "", EsitoFirma::Integra, "", {}, "EC02"}},
                {"rifiutata"},
                {"", "consegnata", "rifiutata"}},
        // The exchange system's order: a delivery is never undone.
        CasoSdi{"duplicateResendRejectedAfterDelivery",
                {{kA, ""}},
                {{"RC", kA, "7", "2024-03-01T10:00:00+01:00"},
                 {"NS", kA, "8", "2024-03-05T10:00:00+01:00", EsitoFirma::Integra, "", {"00002"}}},
                {"consegnata"},
                {"consegnata", "scartata"}},
        CasoSdi{"olderFailureBeforeDelivery",
                {{kA, ""}},
                {{"RC", kA, "7", "2024-03-04T10:00:00+01:00"},
                 {"MC", kA, "7", "2024-03-01T10:00:00+01:00"}},
                {"consegnata"},
                {"consegnata", "non consegnata"}},
        CasoSdi{"latestDeliveryStageMessageWithoutDelivery",
                {{kA, ""}},
                {{"NS", kA, "7", "2024-03-04T10:00:00+01:00"},
                 {"MC", kA, "8", "2024-03-01T10:00:00+01:00"}},
                {"scartata"},
                {"scartata", "non consegnata"}},
        CasoSdi{"outcomeAfterDelivery",
                {{kA, ""}},
                {{"DT", kA, "7", "2024-03-20T10:00:00+01:00"},
                 {"RC", kA, "7", "2024-03-01T10:00:00+01:00"}},
                {"decorrenza termini"},
                {"decorrenza termini", "consegnata"}},
        CasoSdi{"messageWithoutItsInvoice",
                {{kA, ""}},
                {{"RC", "IT09999999999_00009.xml", "9", "2024-03-01T10:00:00+01:00"}},
                {""},
                {"consegnata"}}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(AbbinaMessaggiSdi, KeepsTheHistoryInItalianTime) {
    std::vector<RigaElenco> righe = {
        fatturaSdi(kA, ""),
        messaggioSdi(
            {"NS", kA, "8", "2024-03-31T23:30:00+00:00", EsitoFirma::Integra, "", {"00002"}}, 1),
        messaggioSdi({"RC", kA, "7", "2024-03-01T10:00:00Z"}, 0),
    };
    AbbinaMessaggiSdi(righe);
    ASSERT_EQ(righe[0].storiaSdi.size(), 2u);
    EXPECT_EQ(righe[0].storiaSdi[0].codice, "RC");
    EXPECT_EQ(righe[0].storiaSdi[0].dataOra, "2024-03-01 11:00:00");
    EXPECT_TRUE(righe[0].storiaSdi[0].nota.empty());
    EXPECT_EQ(righe[0].storiaSdi[1].codice, "NS");
    EXPECT_EQ(righe[0].storiaSdi[1].dataOra, "2024-04-01 01:30:00");
    EXPECT_NE(righe[0].storiaSdi[1].nota.find("nuovo invio"), std::string::npos);
    EXPECT_EQ(righe[0].storiaSdi[1].file, "msg1_NS.xml");
}

} // namespace
} // namespace ondivo::test
