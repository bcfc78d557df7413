#include "elementpath.h"
#include "errors.h"
#include "fakesink.h"
#include "tempdir.h"

#include <gtest/gtest.h>

using namespace ondivo;
using ondivo::test::FakeSink;
using ondivo::test::TempDir;

namespace {

struct NameCase {
    const char* name;
    std::string_view input;
    std::string_view expected;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class SenzaPrefissoTest : public testing::TestWithParam<NameCase> {};

TEST_P(SenzaPrefissoTest, DropsEverythingUpToTheFirstColon) {
    EXPECT_EQ(SenzaPrefisso(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, SenzaPrefissoTest,
                         testing::Values(NameCase{"plain", "Numero", "Numero"},
                                         NameCase{"prefixed", "p:Numero", "Numero"},
                                         NameCase{"twoColons", "a:b:c", "b:c"},
                                         NameCase{"onlyColonAtEnd", "p:", ""},
                                         NameCase{"empty", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DividiPercorso, DropsEmptyPiecesAndPrefixes) {
    EXPECT_EQ(DividiPercorso(".a..p:b."), (Componenti{"a", "b"}));
    EXPECT_EQ(DividiPercorso("FormatoTrasmissione"), (Componenti{"FormatoTrasmissione"}));
    EXPECT_TRUE(DividiPercorso("..").empty());
}

// A query on a document written to a file: either the entries, or the text-node error.
struct QueryCase {
    const char* name;
    std::string xml;
    std::string path;
    std::vector<std::string> expected; // ANSI
    bool docError = false;
};

void PrintTo(const QueryCase& c, std::ostream* os) {
    *os << c.name;
}

class QueryTest : public testing::TestWithParam<QueryCase> {};

TEST_P(QueryTest, FindsTheElementsEndingTheChain) {
    const auto& c = GetParam();
    TempDir dir;
    const auto file = dir.write("f.xml", c.xml);
    FakeSink sink;
    std::vector<std::string> result{"stale"};
    if (c.docError) {
        EXPECT_THROW(LeggiValoriXml(file, c.path, result, sink), EXMLDocError);
    } else {
        EXPECT_EQ(LeggiValoriXml(file, c.path, result, sink), !c.expected.empty());
        EXPECT_EQ(result, c.expected);
    }
    EXPECT_TRUE(sink.messaggi.empty());
}

const std::string kTwoBodies = R"(<?xml version="1.0"?>
<p:FatturaElettronica xmlns:p="urn:x">
  <FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>FPR12</FormatoTrasmissione></DatiTrasmissione></FatturaElettronicaHeader>
  <FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><Numero>1</Numero></DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>
  <FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><Numero>2</Numero></DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>
</p:FatturaElettronica>)";

INSTANTIATE_TEST_SUITE_P(
    Paths, QueryTest,
    testing::Values(
        QueryCase{"oneComponentAtAnyDepthAnyPrefix",
                  R"(<r xmlns:a="urn:a"><x><a:F>1</a:F></x><F>2</F></r>)",
                  "F",
                  {"1", "2"}},
        QueryCase{"chainUnderEveryStart",
                  kTwoBodies,
                  "DatiGenerali.DatiGeneraliDocumento.Numero",
                  {"1", "2"}},
        QueryCase{
            "chainMayStartAtTheRoot",
            kTwoBodies,
            "FatturaElettronica.FatturaElettronicaHeader.DatiTrasmissione.FormatoTrasmissione",
            {"FPR12"}},
        QueryCase{"prefixedComponent", kTwoBodies, "x:DatiGeneraliDocumento.q:Numero", {"1", "2"}},
        QueryCase{"asciiLettersFold",
                  kTwoBodies,
                  "datigenerali.DATIGENERALIDOCUMENTO.numero",
                  {"1", "2"}},
        QueryCase{"defaultNamespace", R"(<r xmlns="urn:z"><N>7</N></r>)", "N", {"7"}},
        QueryCase{"undeclaredPrefix", R"(<r><x:N>7</x:N></r>)", "N", {"7"}},
        QueryCase{"accentedNameInAnsi", "<r><N\xC3\xA9>1</N\xC3\xA9></r>", "N\xE9", {"1"}},
        QueryCase{"accentedLettersDoNotFold", "<r><N\xC3\xA9>1</N\xC3\xA9></r>", "N\xC9", {}},
        QueryCase{"nameEndingInColonIsEmpty", R"(<r><N>1</N></r>)", "r.:N", {"1"}},
        QueryCase{"onlyDirectChildren", R"(<r><D><x><N>1</N></x></D></r>)", "D.N", {}},
        QueryCase{"nestedSameNameOuterFirstFails", R"(<r><N><N>1</N></N></r>)", "N", {}, true},
        QueryCase{"groupedByChainStart", R"(<a><a><b>1</b></a><b>2</b></a>)", "a.b", {"2", "1"}},
        QueryCase{"emptyElementCounts", R"(<r><N/></r>)", "N", {""}},
        QueryCase{"blanksOnlyIsEmpty", "<r><N> \t\r\n </N></r>", "N", {""}},
        QueryCase{"trimmedText", "<r><N>\n\t a  b \r\n</N></r>", "N", {"a  b"}},
        QueryCase{"cdataWithBlanksAround", "<r><N>\n  <![CDATA[ x<y ]]>\n</N></r>", "N", {"x<y"}},
        QueryCase{"blankCdataIsAChild", "<r><N><![CDATA[  ]]></N></r>", "N", {""}},
        QueryCase{
            "entitiesReplaced", "<r><N>a &amp; b &#233;&#x20AC;</N></r>", "N", {"a & b \xE9\x80"}},
        QueryCase{
            "outsideCodePage", "<r><N>\xD8\xAC\xC5\x82\xF0\x9F\x8E\x82</N></r>", "N", {"?l?"}},
        QueryCase{"textAndComment", "<r><N>1<!-- c --></N></r>", "N", {}, true},
        QueryCase{"textAndElement", "<r><N>1<b/></N></r>", "N", {}, true},
        QueryCase{"onlyComment", "<r><N><!-- c --></N></r>", "N", {}, true},
        QueryCase{"textAndCdata", "<r><N>a<![CDATA[b]]></N></r>", "N", {}, true},
        QueryCase{"noMatch", R"(<r><N>1</N></r>)", "M", {}},
        QueryCase{"declaredEncoding",
                  "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r><N>caff\xE8 \x80</N></r>",
                  "N",
                  {"caff\xE8 \x80"}},
        QueryCase{"utf16WithBom",
                  std::string("\xFF\xFE<\0r\0>\0<\0N\0>\0\xE8\0<\0/\0N\0>\0<\0/\0r\0>\0", 32),
                  "N",
                  {"\xE8"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LeggiValoriXml, ErrorKeepsTheEntriesBeforeTheFailingMatch) {
    TempDir dir;
    const auto file = dir.write("f.xml", "<r><N>1</N><N>2<b/></N></r>");
    FakeSink sink;
    std::vector<std::string> result;
    EXPECT_THROW(LeggiValoriXml(file, "N", result, sink), EXMLDocError);
    EXPECT_EQ(result, std::vector<std::string>{"1"});
}

TEST(LeggiValoriXml, MissingFileOrFolderIsSilentAndClearsTheList) {
    TempDir dir;
    for (const std::string& path : {(dir.path() / "nope.xml").string(), dir.path().string()}) {
        FakeSink sink;
        std::vector<std::string> result{"stale"};
        EXPECT_FALSE(LeggiValoriXml(path, "N", result, sink)) << path;
        EXPECT_TRUE(result.empty());
        EXPECT_TRUE(sink.messaggi.empty());
    }
}

TEST(LeggiValoriXml, ExternalEntityIsNeverRead) {
    TempDir dir;
    const auto secret = dir.write("secret.txt", "SEGRETO");
    const auto file = dir.write("f.xml", "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secret +
                                             "\">]><r><N>&x;</N><M>ok</M></r>");
    FakeSink sink;
    std::vector<std::string> result;
    EXPECT_TRUE(LeggiValoriXml(file, "M", result, sink));
    EXPECT_EQ(result, std::vector<std::string>{"ok"});
    // The reference stays a reference: never the file's text.
    EXPECT_THROW(LeggiValoriXml(file, "N", result, sink), EXMLDocError);
    EXPECT_TRUE(result.empty());
}

// A CDATA section over 10 MB makes the loader lift libxml2's size limits for the file.
const std::string kHugeCdata = "<C><![CDATA[" + std::string(11 * 1024 * 1024, 'C') + "]]></C>\n";

TEST(LeggiValoriXml, EntitiesOfOrdinarySizeStillLoad) {
    TempDir dir;
    const std::string entity = "<!DOCTYPE r [<!ENTITY e \"euro &#8364;\">]>";
    for (const std::string& cdata : {std::string(), kHugeCdata}) {
        const auto file =
            dir.write("f.xml", entity + "<r a=\"&e;\">" + cdata + "<N>&e;</N><M>ok</M></r>");
        FakeSink sink;
        std::vector<std::string> result;
        EXPECT_TRUE(LeggiValoriXml(file, "M", result, sink))
            << testing::PrintToString(sink.messaggi);
        EXPECT_EQ(result, std::vector<std::string>{"ok"});
    }
}

TEST(LeggiValoriXml, HugeTextNodeLoads) {
    TempDir dir;
    const std::string big(30 * 1024 * 1024, 'Q');
    const auto file =
        dir.write("f.xml", "<r><A>" + big + "</A><C><![CDATA[" +
                               std::string(11 * 1024 * 1024, 'C') + "]]></C><N>x</N></r>");
    FakeSink sink;
    std::vector<std::string> result;
    ASSERT_TRUE(LeggiValoriXml(file, "A", result, sink)) << testing::PrintToString(sink.messaggi);
    EXPECT_EQ(result.at(0).size(), big.size());
    EXPECT_TRUE(LeggiValoriXml(file, "N", result, sink));
    // From memory too, the second parse that lifts the limits included.
    const std::string dati = "<r><C><![CDATA[" + std::string(11 * 1024 * 1024, 'C') + "]]></C></r>";
    const XmlDocPtr doc = CaricaPerQuery("voce.xml", sink, &dati);
    ASSERT_NE(doc, nullptr) << testing::PrintToString(sink.messaggi);
    ASSERT_TRUE(LeggiValoriDoc(doc.get(), "C", result));
    EXPECT_EQ(result.at(0).size(), 11u * 1024 * 1024);
}

// Files that cannot be loaded: one message, built from the parser's reason, the line and the
// start of the failing line; the result is false and the list empty.
struct LoadErrorCase {
    const char* name;
    std::string xml;
    std::string expectedTail;        // "Line: N\r\n<line start>"
    std::string expectedReason = {}; // checked when given
};

void PrintTo(const LoadErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadErrorTest : public testing::TestWithParam<LoadErrorCase> {};

TEST_P(LoadErrorTest, ShowsOneMessageAndFindsNothing) {
    const auto& c = GetParam();
    TempDir dir;
    const auto file = dir.write("f.xml", c.xml);
    FakeSink sink;
    std::vector<std::string> result{"stale"};
    EXPECT_FALSE(LeggiValoriXml(file, "N", result, sink));
    EXPECT_TRUE(result.empty());
    ASSERT_EQ(sink.messaggi.size(), 1u);
    const std::string& m = sink.messaggi[0];
    EXPECT_EQ(m.rfind("ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n", 0), 0u) << m;
    const auto lineAt = m.find("\r\nLine: ");
    ASSERT_NE(lineAt, std::string::npos) << m;
    EXPECT_GT(lineAt, 39u) << "the parser's reason comes first: " << m;
    EXPECT_EQ(m.substr(lineAt + 2), c.expectedTail) << m;
    if (!c.expectedReason.empty()) {
        EXPECT_EQ(m.substr(38, lineAt - 38), c.expectedReason) << m;
    }
    // The same bytes already in memory (an entry of an archive) meet the same refusal.
    FakeSink memoria;
    EXPECT_EQ(CaricaPerQuery(file, memoria, &c.xml), nullptr);
    EXPECT_EQ(memoria.messaggi, sink.messaggi);
}

std::string deepNesting(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += "<N>";
    return s;
}

const std::string kBomb = R"(<?xml version="1.0"?>
<!DOCTYPE r [
 <!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
 <!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
 <!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
 <!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">
 <!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">
 <!ENTITY f "&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;">
 <!ENTITY g "&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;">
]>
<r><N>&g;</N></r>)";

// One entity of 64 KiB referenced 100 times: 6.4 MB of text once expanded, from 70 KB.
const std::string kWideEntity =
    "<!DOCTYPE r [<!ENTITY w \"" + std::string(64 * 1024, 'w') + "\">]>\n";
std::string wideReferences() {
    std::string s;
    for (int i = 0; i < 100; ++i)
        s += "&w;";
    return s;
}

const std::string kTooLarge = "Le entità del documento si espandono oltre il limite consentito";
const std::string kTooManyAttributes = "Un elemento del documento ha più di 256 attributi";
const std::string kTooManyNamespaces =
    "Il documento dichiara troppi spazi dei nomi (più di 256 su un elemento)";

// A start tag of `n` attributes, written over several reads of the file.
std::string attributes(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += " a" + std::to_string(i) + "=\"v\"";
    return s;
}

std::string namespaces(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += " xmlns:p" + std::to_string(i) + "=\"urn:" + std::to_string(i) + "\"";
    return s;
}

// `depth` elements one inside the other, a line each, each declaring two namespaces.
std::string nestedNamespaces(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += "<N" + namespaces(2) + ">\n";
    return s;
}

std::string attributeDeclarations(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "<!ATTLIST N d" + std::to_string(i) + " CDATA \"x\">\n";
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadErrorTest,
    testing::Values(
        LoadErrorCase{"tagMismatch", "<r>\n  <N>1</M>\n</r>", "Line: 2\r\n  <N>1</M>"},
        LoadErrorCase{"lineStartCutAt40Characters",
                      "<r>\n<N>\xC3\xA8" + std::string(60, 'x') + "</M></r>",
                      "Line: 2\r\n<N>\xC3\xA8" + std::string(36, 'x')},
        LoadErrorCase{"emptyFile", "", "Line: 1\r\n"},
        LoadErrorCase{"zeroBytes", std::string(16, '\0'), "Line: 1\r\n"},
        LoadErrorCase{"entityBomb", kBomb, "Line: 11\r\n<r><N>&g;</N></r>"},
        LoadErrorCase{"deepNesting", deepNesting(100000), "Line: 1\r\n" + deepNesting(13) + "<"},
        LoadErrorCase{"wideEntityInText", kWideEntity + "<r>\n<N>" + wideReferences() + "</N></r>",
                      "Line: 3\r\n<N>" + wideReferences().substr(0, 37), kTooLarge},
        LoadErrorCase{"wideEntityInAttributes",
                      kWideEntity + "<r>\n<N a=\"" + wideReferences() + "\">x</N></r>",
                      "Line: 3\r\n<N a=\"" + wideReferences().substr(0, 34), kTooLarge},
        LoadErrorCase{"deepNestingAfterAHugeCdata", "<r>" + kHugeCdata + deepNesting(100000),
                      "Line: 2\r\n" + deepNesting(13) + "<",
                      "Excessive depth in document: 256 use XML_PARSE_HUGE option"},
        LoadErrorCase{"deeperNestingAfterAHugeCdata", "<r>" + kHugeCdata + deepNesting(1000000),
                      "Line: 2\r\n" + deepNesting(13) + "<",
                      "Excessive depth in document: 256 use XML_PARSE_HUGE option"},
        LoadErrorCase{"entityBombBeforeAHugeCdata",
                      kBomb.substr(0, kBomb.rfind("<r>")) + "<r>" + kHugeCdata + "<N>&g;</N></r>",
                      "Line: 4\r\n <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;", kTooLarge},
        LoadErrorCase{"oneAttributeTooMany", "<r>\n<N" + attributes(257) + ">x</N></r>",
                      "Line: 2\r\n<N" + attributes(257).substr(0, 38), kTooManyAttributes},
        // The parser stops reading within a block of the tag: the rest is never looked at.
        LoadErrorCase{"aHundredThousandAttributes", "<r>\n<N" + attributes(100000) + ">x</N></r>",
                      "Line: 2\r\n<N" + attributes(100000).substr(0, 38), kTooManyAttributes},
        LoadErrorCase{"aHundredThousandNamespaces", "<r>\n<N" + namespaces(100000) + ">x</N></r>",
                      "Line: 2\r\n<N" + namespaces(100000).substr(0, 38), kTooManyNamespaces},
        LoadErrorCase{"namespacesPiledUpByNesting", nestedNamespaces(200),
                      "Line: 129\r\n<N" + namespaces(2) + ">", kTooManyNamespaces},
        LoadErrorCase{"attributesDeclaredInTheDtd",
                      "<!DOCTYPE r [\n" + attributeDeclarations(300) + "]>\n<r><N>x</N></r>",
                      "Line: 258\r\n<!ATTLIST N d256 CDATA \"x\">", kTooManyAttributes},
        LoadErrorCase{"attributesInsideAnEntity",
                      "<!DOCTYPE r [<!ENTITY e '<x" + attributes(300) + "/>'>]>\n<r><N>&e;</N></r>",
                      "Line: 1\r\n" + ("<!DOCTYPE r [<!ENTITY e '<x" + attributes(3)).substr(0, 40),
                      kTooManyAttributes}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
