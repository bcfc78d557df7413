// Hostile input through the window's open command and its attachment panel.
#include "envelopepath.h"
#include "fakeprompts.h"
#include "htmlview.h"
#include "lctv.h"
#include "tcplistener.h"
#include "cartellaprogramma.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QWebEnginePage>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace ondivo {

namespace {

const QString kNonGestito =
    QStringLiteral("message: Documento xml non gestito, visualizzazione non possibile!");
const QString kTroppoProfondo =
    QStringLiteral("Excessive depth in document: 256 use XML_PARSE_HUGE option");
const QString kTroppoEstese =
    QStringLiteral("Le entità del documento si espandono oltre il limite consentito");
const QString kStrumentoFallito =
    QStringLiteral("error: OpenSSL errore \\(ExitCode=[0-9]+\\)\n{FILE}");
const char* const kOrdinaria = "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl";

// Patterns of what a refused open shows end with "{FILE}" where the box names the chosen
// file: its path on a line of its own.

// The refusal.
QString nonGestito() {
    return QRegularExpression::escape(kNonGestito) + QStringLiteral("\n{FILE}");
}

// The load-error box (its reason matched by the pattern), then the refusal.
QStringList erroriXml(const QString& motivo = QStringLiteral(".+")) {
    return {QStringLiteral("message: ATTENZIONE, XML CON ERRORI \\(002\\)! \r\n\r\n") + motivo +
                QStringLiteral("\r\nLine: [0-9]+\r\n.*\n{FILE}"),
            nonGestito()};
}

struct Allegato {
    std::string nome;
    std::string base64;
};

std::string fattura(const std::string& numero, const std::vector<Allegato>& allegati = {},
                    const std::string& doctype = {}, const std::string& corpo = {},
                    const std::string& causale = "Fornitura") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doctype +
                      "<p:FatturaElettronica versione=\"FPR12\" "
                      "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">\n"
                      "<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>FPR12"
                      "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore>"
                      "<DatiAnagrafici><Anagrafica><Denominazione>Fornitore " +
                      numero +
                      "</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
                      "</FatturaElettronicaHeader>\n<FatturaElettronicaBody><DatiGenerali>"
                      "<DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Data>2024-05-31"
                      "</Data><Numero>" +
                      numero + "</Numero><Causale>" + causale +
                      "</Causale></DatiGeneraliDocumento></DatiGenerali>\n" + corpo;
    for (const auto& a : allegati)
        xml += "<Allegati><NomeAttachment>" + a.nome + "</NomeAttachment><Attachment>" + a.base64 +
               "</Attachment></Allegati>\n";
    return xml + "</FatturaElettronicaBody></p:FatturaElettronica>\n";
}

std::string ripeti(const std::string& s, int volte) {
    std::string r;
    r.reserve(s.size() * static_cast<std::size_t>(volte));
    for (int i = 0; i < volte; ++i)
        r += s;
    return r;
}

// Over 10 MB, so the loader lifts libxml2's size limits for the file.
std::string cdataEnorme() {
    return "<C><![CDATA[" + ripeti("QUJD", 3 << 20) + "]]></C>\n";
}

std::string bombaDiEntita() {
    std::string dichiarazioni = "<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        dichiarazioni += "<!ENTITY l" + std::to_string(i) + " \"" +
                         ripeti("&l" + std::to_string(i - 1) + ";", 10) + "\">";
    return dichiarazioni;
}

std::string leggi(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string sostituisci(std::string s, const std::string& da, const std::string& a) {
    for (auto pos = s.find(da); pos != std::string::npos; pos = s.find(da, pos + a.size()))
        s.replace(pos, da.size(), a);
    return s;
}

// Every entry under a folder but those under the excluded paths: files with size and time,
// folders and links as they are.
std::map<std::string, std::string> istantanea(const fs::path& radice,
                                              const std::vector<fs::path>& esclusi) {
    std::map<std::string, std::string> stato;
    for (auto it = fs::recursive_directory_iterator(radice);
         it != fs::recursive_directory_iterator(); ++it) {
        const auto& p = it->path();
        if (std::find(esclusi.begin(), esclusi.end(), p) != esclusi.end()) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat info {};
        ::lstat(p.c_str(), &info);
        stato[p.string()] = S_ISREG(info.st_mode)
                                ? std::to_string(info.st_size) + "/" + std::to_string(info.st_mtime)
                                : std::to_string(info.st_mode);
    }
    return stato;
}

// The process's resident memory, now and at its peak since the last reset (kB figures of
// /proc/self/status, in bytes).
qint64 memoria(const char* voce) {
    std::ifstream status("/proc/self/status");
    for (std::string riga; std::getline(status, riga);)
        if (riga.rfind(voce, 0) == 0)
            return std::stoll(riga.substr(std::strlen(voce))) * 1024;
    return -1;
}

// Lets the peak be measured from now on: the kernel resets it to the current size.
void azzeraPicco() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A dialog whose answer can be followed by an action, as if it happened between the choice
// and the open.
class PromptsConAzione : public test::FakePrompts {
public:
    std::optional<std::string> ScegliFile(const ConfigurazioneDialogo& c) override {
        auto scelta = FakePrompts::ScegliFile(c);
        if (dopoLaScelta) {
            dopoLaScelta();
            dopoLaScelta = nullptr;
        }
        return scelta;
    }
    std::function<void()> dopoLaScelta;
};

// How a row's file comes about: written, copied from the public corpus (whole or its first
// half), or not a file at all.
enum class Forma { Contenuto, Corpus, CorpusTroncato, Mancante, Cartella, Fifo, Sparisce };

} // namespace

} // namespace ondivo

Q_DECLARE_METATYPE(ondivo::Forma)

namespace ondivo {

// Every open of a hostile file ends with the program's message, the error box or the
// invoice shown, never with a crash; a refused open leaves the invoice shown before as it was
// (the file label, the page, the attachment list and the header labels) and its box names the
// file refused; text from an input is shown as text, never as markup; nothing is written outside
// the attachment folder but the XML beside an envelope; no URL in an input is ever fetched; memory
// grows by no more than 100 MB and 8 times the input. The time-out is CTest's.
class TestHostileWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<test::TcpListener> m_rete; // every URL in the inputs names it
    PromptsConAzione m_prompts;
    std::unique_ptr<TFONDIVO> m_w;
    fs::path m_fuori; // where names climbing out of the whole test folder would land
    std::unique_ptr<test::TempDir> m_datiUtente; // XDG_DATA_HOME, apart from the program folder

    fs::path allegati() const { return m_dir->path() / "ALLEGATI"; }

    std::string scrivi(const std::string& nome, const std::string& contenuto) {
        return m_dir->write("FATTURE/" + nome, contenuto);
    }

    // Chooses a file in the dialog and waits until its open has come back.
    void apri(const std::optional<std::string>& scelta) {
        m_prompts.answers.push_back(scelta);
        m_w->eseguiComando([this] { m_w->btnSelFileClick(); });
        QTRY_VERIFY_WITH_TIMEOUT(!m_w->aperturaInCorso(), 120000);
    }

    QString testoPagina() {
        QString risultato;
        bool pronto = false;
        m_w->WebBrowser1->page()->toPlainText([&](const QString& t) {
            risultato = t;
            pronto = true;
        });
        if (!QTest::qWaitFor([&] { return pronto; }, 20000))
            return {};
        return risultato;
    }

    // The address of the page last handed to the view: it changes as soon as a page is
    // handed over, before that page is loaded.
    QUrl pagina() const { return m_w->WebBrowser1->page()->requestedUrl(); }

    QStringList voci() const {
        QStringList v;
        for (int i = 0; i < m_w->LBAlleg->count(); ++i)
            v << m_w->LBAlleg->item(i)->text();
        return v;
    }

    QStringList etichette() const {
        return {m_w->StFornitore->text(), m_w->STTipoDoc->text(), m_w->StDataDoc->text(),
                m_w->STNumDoc->text()};
    }

    // Opens an ordinary invoice with two attachments and waits until its page is shown.
    void apriPrima() {
        const auto prima =
            scrivi("prima.xml", fattura("PRIMA/1", {{"b.pdf", "Qg=="}, {"a.pdf", "QQ=="}}));
        QSignalSpy caricata(m_w->WebBrowser1, &QWebEngineView::loadFinished);
        apri(prima);
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        // The load may have ended while the open was awaited, and a busy machine may still be
        // showing the page before: wait for this one's text.
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(testoPagina().contains(QStringLiteral("PRIMA/1")), 60000);
        QCOMPARE(voci(), (QStringList{"a.pdf", "b.pdf"}));
        m_prompts.shown.clear();
    }

    void verificaMessaggi(const QStringList& attesi) {
        QStringList mostrati;
        for (const auto& m : m_prompts.shown)
            mostrati << QString::fromStdString(m);
        bool uguali = mostrati.size() == attesi.size();
        for (int i = 0; uguali && i < attesi.size(); ++i)
            uguali = QRegularExpression(QRegularExpression::anchoredPattern(attesi[i]),
                                        QRegularExpression::DotMatchesEverythingOption)
                         .match(mostrati[i])
                         .hasMatch();
        QVERIFY2(uguali, qPrintable(QStringLiteral("shown: [%1]\nexpected: [%2]")
                                        .arg(mostrati.join(QStringLiteral(" | ")),
                                             attesi.join(QStringLiteral(" | ")))));
    }

    // Runs an action and checks that the memory it took stays within the bound for an input
    // of that size.
    void conMemoriaLimitata(qint64 dimensione, const std::function<void()>& azione) {
        const qint64 prima = memoria("VmRSS:");
        azzeraPicco();
        azione();
        const qint64 crescita = memoria("VmHWM:") - prima;
        const qint64 limite = 100 * (qint64(1) << 20) + 8 * dimensione;
        QVERIFY2(crescita <= limite, qPrintable(QStringLiteral("memory grew by %1 MB, bound %2 MB")
                                                    .arg(crescita >> 20)
                                                    .arg(limite >> 20)));
    }

    // The file a row chooses in the dialog, made as the row says.
    std::string prepara(Forma forma, const QString& nome, const QByteArray& contenuto) {
        const std::string percorso = (m_dir->path() / "FATTURE" / nome.toStdString()).string();
        switch (forma) {
        case Forma::Contenuto:
        case Forma::Sparisce: {
            std::string testo = contenuto.toStdString();
            testo = sostituisci(testo, "{URL}", m_rete->url());
            testo = sostituisci(testo, "{DIR}", m_dir->path().string());
            return scrivi(nome.toStdString(), testo);
        }
        case Forma::Corpus:
        case Forma::CorpusTroncato: {
            const fs::path origine = fs::path(ONDIVO_CORPUS_DIR) / contenuto.toStdString();
            if (!fs::exists(origine))
                return {};
            // Copied: an envelope's XML would be written beside it.
            std::string byte = leggi(origine);
            if (forma == Forma::CorpusTroncato)
                byte.resize(byte.size() / 2);
            return scrivi(nome.toStdString(), byte);
        }
        case Forma::Mancante:
            return percorso;
        case Forma::Cartella:
            fs::create_directories(percorso);
            return percorso;
        case Forma::Fifo:
            ::mkfifo(percorso.c_str(), 0600);
            return percorso;
        }
        return percorso;
    }

private slots:
    void initTestCase() {
        m_dir = std::make_unique<test::TempDir>();
        m_datiUtente = std::make_unique<test::TempDir>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_datiUtente->path().string()));
        m_rete = std::make_unique<test::TcpListener>();
        test::PreparaCartellaProgramma(m_dir->path());
        m_fuori =
            fs::temp_directory_path() / ("ondivo-fuori-" + std::to_string(std::random_device()()));
        m_w = std::make_unique<TFONDIVO>(m_prompts);
        ImpostaAppDir(m_dir->path().string() + "/");
        m_w->show();
    }

    void cleanupTestCase() {
        m_w.reset();
        m_dir.reset();
        m_datiUtente.reset();
    }

    void init() {
        m_prompts.shown.clear();
        m_prompts.answers.clear();
        std::error_code ec;
        fs::remove_all(allegati(), ec);
        fs::remove_all(m_datiUtente->path() / "ondivo", ec);
    }

    void cleanup() {
        QCOMPARE(m_rete->connections(), 0);
        QVERIFY2(!fs::exists(m_fuori), m_fuori.c_str());
    }

    void refusedOpen_data() {
        QTest::addColumn<Forma>("forma");
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QByteArray>("contenuto"); // for Corpus, the path in the corpus
        QTest::addColumn<QStringList>("attesi");   // patterns of what is shown, in order

        const auto riga = [](const char* nomeRiga, Forma forma, const char* nome,
                             const std::string& contenuto, const QStringList& attesi) {
            QTest::newRow(nomeRiga) << forma << QString::fromUtf8(nome)
                                    << QByteArray::fromStdString(contenuto) << attesi;
        };
        riga("corpusEntityBomb", Forma::Corpus, "billion_laughs.xml",
             "invoices/hostile/billion_laughs.xml",
             erroriXml(QStringLiteral("Detected an entity reference loop")));
        riga("corpusExternalEntity", Forma::Corpus, "xxe.xml",
             "invoices/hostile/entity_expansion_xxe.xml", {nonGestito()});
        for (const char* busta : {"IT02182030391_31_tampered.Base64.xml.p7m",
                                  "IT02182030391_31_tampered.xml.p7m", "invalid.xml.p7m"})
            riga((std::string("corpusBroken/") + busta).c_str(), Forma::Corpus, busta,
                 std::string("p7m/broken/") + busta, {kStrumentoFallito});
        riga("emptyFile", Forma::Contenuto, "vuoto.xml", "", erroriXml());
        riga("zeroBytes", Forma::Contenuto, "zeri.xml", std::string(4096, '\0'), erroriXml());
        std::mt19937 caso(7);
        std::string binario(65536, '\0');
        for (char& c : binario)
            c = static_cast<char>(caso());
        riga("binaryNamedXml", Forma::Contenuto, "binario.xml", binario, erroriXml());
        riga("nested100000Deep", Forma::Contenuto, "profondo.xml",
             "<a>" + ripeti("<x>", 100000) + ripeti("</x>", 100000) + "</a>",
             erroriXml(kTroppoProfondo));
        riga("nested100000DeepAfterAHugeCdata", Forma::Contenuto, "profondo-cdata.xml",
             fattura("X/1", {}, {}, cdataEnorme() + ripeti("<x>", 100000) + ripeti("</x>", 100000)),
             erroriXml(kTroppoProfondo));
        const std::string largo =
            "<!DOCTYPE p:FatturaElettronica [<!ENTITY w \"" + std::string(1 << 20, 'w') + "\">]>\n";
        riga("entityExpandingToGigabytes", Forma::Contenuto, "quadratica.xml",
             fattura("X/1", {}, largo, {}, ripeti("&w;", 3000)), erroriXml(kTroppoEstese));
        riga("entityBombBeforeAHugeCdata", Forma::Contenuto, "bomba-cdata.xml",
             fattura("X/1", {}, "<!DOCTYPE p:FatturaElettronica [" + bombaDiEntita() + "]>\n",
                     cdataEnorme() + "<Nota>&l9;</Nota>"),
             erroriXml(kTroppoEstese));
        riga("wellFormedButNoFormat", Forma::Contenuto, "altro.xml", "<a><b>FPR12</b></a>",
             {nonGestito()});
        riga("missingFile", Forma::Mancante, "manca.xml", "", {nonGestito()});
        riga("folderNamedXml", Forma::Cartella, "cartella.xml", "", {nonGestito()});
        riga("fifoNamedXml", Forma::Fifo, "fifo.xml", "", {nonGestito()});
        riga("goneBeforeTheOpen", Forma::Sparisce, "sparita.xml", fattura("X/1"), {nonGestito()});
        riga("envelopeGoneBeforeTheOpen", Forma::Sparisce, "sparita.xml.p7m",
             "\x30\x03\x02\x01\x01",
             {QStringLiteral("error: File non trovato: .*/FATTURE/sparita\\.xml\\.p7m\\.")});
        riga("missingEnvelope", Forma::Mancante, "manca.xml.p7m", "",
             {QStringLiteral("error: File non trovato: .*/FATTURE/manca\\.xml\\.p7m\\.")});
        riga("emptyEnvelope", Forma::Contenuto, "vuota.xml.p7m", "", {kStrumentoFallito});
        riga("garbageEnvelope", Forma::Contenuto, "spazzatura.xml.p7m", binario,
             {kStrumentoFallito});
        riga("truncatedEnvelope", Forma::CorpusTroncato, "troncata.xml.p7m",
             "p7m/der/IT01234567890_FPR03.xml.p7m", {kStrumentoFallito});
        riga("envelopeOfPlainText", Forma::Corpus, "testo.txt.p7m", "p7m/other/test.txt.p7m",
             erroriXml());
    }

    void refusedOpen() {
        QFETCH(Forma, forma);
        QFETCH(QString, nome);
        QFETCH(QByteArray, contenuto);
        QFETCH(QStringList, attesi);

        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const QStringList etichettePrima = etichette();
        const QString filePrima = m_w->StFileXML->text();
        const std::string fileXmlPrima = m_w->FFileXml;
        const QUrl paginaPrima = pagina();
        std::string scelto = prepara(forma, nome, contenuto);
        if (scelto.empty())
            QSKIP("the public corpus is not there");
        if (forma == Forma::Sparisce)
            m_prompts.dopoLaScelta = [scelto] { fs::remove(scelto); };
        std::error_code ec;
        const auto dimensione = static_cast<qint64>(fs::file_size(scelto, ec));
        // An envelope's content is written beside it; nothing else may change.
        // (a file removed by the row itself is the row's doing)
        const std::vector<fs::path> liberi = {allegati(), PercorsoXmlDaP7m(scelto), scelto};
        const auto prima = istantanea(m_dir->path(), liberi);

        conMemoriaLimitata(ec ? 0 : dimensione, [&] { apri(scelto); });

        attesi.replaceInStrings(QStringLiteral("{FILE}"),
                                QRegularExpression::escape(QString::fromStdString(scelto)));
        verificaMessaggi(attesi);
        QCOMPARE(m_w->StFileXML->text(), filePrima);
        QCOMPARE(m_w->FFileXml, fileXmlPrima);
        QCOMPARE(pagina(), paginaPrima);
        QVERIFY(testoPagina().contains(QStringLiteral("PRIMA/1")));
        QCOMPARE(voci(), (QStringList{"a.pdf", "b.pdf"}));
        QCOMPARE(etichette(), etichettePrima);
        QCOMPARE(istantanea(m_dir->path(), liberi), prima);
        QVERIFY(!fs::exists(allegati()));
    }

    // Files that are invoices after all: shown, with nothing fetched and nothing read that
    // the invoice only names.
    void acceptedOpen_data() {
        QTest::addColumn<QByteArray>("contenuto");
        QTest::addColumn<QString>("numero");
        QTest::addColumn<QStringList>("voci");

        // Attachments are read from the parsed document, so UTF-16 text gives them too.
        const QString utf16 = QString::fromStdString(
            sostituisci(fattura("UTF16/1", {{"u.txt", "dXRm"}}), "\"UTF-8\"", "\"UTF-16\""));
        QByteArray byte("\xff\xfe", 2);
        byte += QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
        QTest::newRow("utf16Invoice") << byte << "UTF16/1" << QStringList{"u.txt"};
        QTest::newRow("externalEntitiesAndUrls")
            << QByteArray::fromStdString(fattura(
                   "RETE/1", {{"r.txt", "cg=="}},
                   "<?xml-stylesheet type=\"text/xsl\" href=\"{URL}/foglio.xsl\"?>\n"
                   "<!DOCTYPE p:FatturaElettronica SYSTEM \"{URL}/fattura.dtd\" [\n"
                   "<!ENTITY % remoto SYSTEM \"{URL}/parametri.dtd\"> %remoto;\n"
                   "<!ENTITY rete SYSTEM \"{URL}/testo.txt\">\n"
                   "<!ENTITY locale SYSTEM \"{DIR}/segreto.txt\">]>\n",
                   "<x:include xmlns:x=\"http://www.w3.org/2001/XInclude\" href=\"{URL}/x.xml\"/>"
                   "<Link>{URL}/immagine.png</Link>",
                   "&rete;&locale;<![CDATA[<img src=\"{URL}/i.png\">]]>"))
            << "RETE/1" << QStringList{"r.txt"};
    }

    void acceptedOpen() {
        QFETCH(QByteArray, contenuto);
        QFETCH(QString, numero);
        QFETCH(QStringList, voci);
        m_dir->write("segreto.txt", "SEGRETO-DA-NON-MOSTRARE");
        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const QUrl paginaPrima = pagina();
        const auto scelto = prepara(
            Forma::Contenuto, QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".xml"),
            contenuto);
        QSignalSpy caricata(m_w->WebBrowser1, &QWebEngineView::loadFinished);
        conMemoriaLimitata(contenuto.size(), [&] { apri(scelto); });
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 30000); // it may have come during the open
        const QString pagina = testoPagina();
        QVERIFY(pagina.contains(numero));
        QVERIFY(!pagina.contains(QStringLiteral("SEGRETO")));
        QCOMPARE(m_w->STNumDoc->text(), numero);
        QCOMPARE(this->voci(), voci);
    }

    // A failure in the last step, after the page is made: nothing of the new invoice is shown.
    void failureInTheLastStep() {
        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const QUrl paginaPrima = pagina();
        const QStringList etichettePrima = etichette();
        const auto scelto =
            scrivi("numero-composto.xml",
                   sostituisci(fattura("DOPO/1", {{"c.pdf", "Qw=="}}), "<Numero>DOPO/1</Numero>",
                               "<Numero>DOPO/<b>1</b></Numero>"));
        apri(scelto);
        verificaMessaggi(
            {QStringLiteral("error: Element does not contain a single text node\\.\n") +
             QRegularExpression::escape(QString::fromStdString(scelto))});
        QCOMPARE(pagina(), paginaPrima);
        QVERIFY(testoPagina().contains(QStringLiteral("PRIMA/1")));
        QCOMPARE(voci(), (QStringList{"a.pdf", "b.pdf"}));
        QCOMPARE(etichette(), etichettePrima);
        QVERIFY(m_w->StFileXML->text().endsWith(QStringLiteral("prima.xml")));
    }

    // A symbolic link where an envelope's content goes is neither written through nor
    // replaced: the invoice opens from the user's cache.
    void linkWhereTheEnvelopeContentGoes() {
        const fs::path der = fs::path(ONDIVO_CORPUS_DIR) / "p7m/der/IT01234567890_FPR03.xml.p7m";
        if (!fs::exists(der))
            QSKIP("the public corpus is not there");
        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const QByteArray cachePrima = qgetenv("XDG_CACHE_HOME");
        const fs::path cache = m_dir->path() / "cache";
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.string()));
        const auto vittima = m_dir->write("vittima.txt", "originale");
        const auto busta = scrivi("collegata.xml.p7m", leggi(der));
        fs::create_symlink(vittima, PercorsoXmlDaP7m(busta));
        QSignalSpy caricata(m_w->WebBrowser1, &QWebEngineView::loadFinished);
        apri(busta);
        if (cachePrima.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", cachePrima);

        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        QCOMPARE(leggi(vittima), std::string("originale"));
        QVERIFY(fs::is_symlink(PercorsoXmlDaP7m(busta)));
        QVERIFY2(m_w->FFileXml.starts_with(cache.string() + "/"), m_w->FFileXml.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 30000); // it may have come during the open
        QCOMPARE(m_w->STNumDoc->text(), QStringLiteral("123\r\n456")); // two bodies
    }

    // Stylesheets in FODISTILE that try to fetch or to write: the error box, nothing else.
    void hostileStylesheet_data() {
        QTest::addColumn<QByteArray>("foglio"); // {URL}: the listening server, {DIR}: the folder
        QTest::addColumn<QString>("attesa");    // pattern of the error box

        const auto foglio = [](const char* corpo, const char* intorno = "",
                               const char* versione = "1.0", const char* prima = "",
                               const char* dtd = "") {
            return QByteArray(dtd) + "<xsl:stylesheet version=\"" + versione +
                   "\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" " + intorno + ">" +
                   prima + "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body>" +
                   corpo + "</body></html></xsl:template></xsl:stylesheet>";
        };
        const char* exslt =
            "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\"";
        QTest::newRow("documentFromTheNetwork")
            << foglio("<xsl:value-of select=\"document('{URL}/dati.xml')\"/>")
            << QStringLiteral("error: .*Network file read for http://127\\.0\\.0\\.1:[0-9]+/dati"
                              "\\.xml refused.*");
        QTest::newRow("documentUrlFromTheInvoice")
            << foglio("<xsl:value-of select=\"document(concat('{URL}/', //Numero))\"/>")
            << QStringLiteral("error: .*Network file read for .* refused.*");
        QTest::newRow("exslDocumentWritesAFile")
            << foglio("<exsl:document href=\"{DIR}/scritto.html\">x</exsl:document>", exslt)
            << QStringLiteral("error: .*File write for .*/scritto\\.html refused.*");
        QTest::newRow("exslDocumentIntoTheAttachmentFolder")
            << foglio("<exsl:document href=\"{DIR}/ALLEGATI/scritto.html\">x</exsl:document>",
                      exslt)
            << QStringLiteral("error: .*refused.*");
        QTest::newRow("xslDocumentWritesAFile")
            << foglio("<xsl:document href=\"{DIR}/scritto.html\">x</xsl:document>", "", "1.1")
            << QStringLiteral("error: .*File write for .*/scritto\\.html refused.*");
        QTest::newRow("importFromTheNetwork")
            << foglio("", "", "1.0", "<xsl:import href=\"{URL}/f.xsl\"/>")
            << QStringLiteral("error: .+");
        QTest::newRow("entityBombInTheStylesheet")
            << foglio("&l9;", "", "1.0", "",
                      ("<!DOCTYPE xsl:stylesheet [" + bombaDiEntita() + "]>").c_str())
            << QStringLiteral("error: Errore nel caricamento XSL: .*");
    }

    void hostileStylesheet() {
        QFETCH(QByteArray, foglio);
        QFETCH(QString, attesa);
        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const QUrl paginaPrima = pagina();
        const std::string percorsoFoglio = "FODISTILE/" + std::string(kOrdinaria);
        const std::string originale = leggi(m_dir->path() / percorsoFoglio);
        m_dir->write(percorsoFoglio,
                     sostituisci(sostituisci(foglio.toStdString(), "{URL}", m_rete->url()), "{DIR}",
                                 m_dir->path().string()));
        const auto scelto = scrivi("semplice.xml", fattura("FOGLIO/1"));
        // The stylesheet is put back by the test; nothing else may change.
        const fs::path rimesso = m_dir->path() / percorsoFoglio;
        const auto prima = istantanea(m_dir->path(), {rimesso});
        apri(scelto);
        m_dir->write(percorsoFoglio, originale);
        verificaMessaggi({attesa});
        QCOMPARE(pagina(), paginaPrima);
        QCOMPARE(voci(), (QStringList{"a.pdf", "b.pdf"}));
        QCOMPARE(istantanea(m_dir->path(), {rimesso}), prima);
    }

    // A page whose stylesheet asks for remote resources is shown without any of them.
    void pageReachingOut() {
        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const std::string percorsoFoglio = "FODISTILE/" + std::string(kOrdinaria);
        const std::string originale = leggi(m_dir->path() / percorsoFoglio);
        m_dir->write(percorsoFoglio,
                     sostituisci("<xsl:stylesheet version=\"1.0\" "
                                 "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                 "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html>"
                                 "<head><link rel=\"stylesheet\" href=\"{URL}/s.css\"/>"
                                 "<meta http-equiv=\"refresh\" content=\"0;url={URL}/via\"/>"
                                 "</head><body><img src=\"{URL}/i.png\"/>"
                                 "<iframe src=\"{URL}/f.html\"></iframe><script src=\"{URL}/j.js\">"
                                 "</script><p><xsl:value-of select=\"//Numero\"/></p></body></html>"
                                 "</xsl:template></xsl:stylesheet>",
                                 "{URL}", m_rete->url()));
        const auto scelto = scrivi("remota.xml", fattura("REMOTA/1"));
        QSignalSpy caricata(m_w->WebBrowser1, &QWebEngineView::loadFinished);
        apri(scelto);
        m_dir->write(percorsoFoglio, originale);
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 30000); // it may have come during the open
        QVERIFY(testoPagina().contains(QStringLiteral("REMOTA/1")));
    }

    // Saving attachments whose names try to leave the folder, or whose Base64 is odd, from the
    // panel one by one and all at once with the utility command.
    void savingAttachments_data() {
        QTest::addColumn<QStringList>("nomi");
        QTest::addColumn<QStringList>("base64");
        QTest::addColumn<QStringList>("salvati"); // the files in ALLEGATI afterwards
        QTest::addColumn<QStringList>("errori");  // patterns of the error boxes of the saves

        // The parser reads the line break of "a\r\nb.txt" as one character.
        QTest::newRow("namesLeavingTheFolder")
            << QStringList{"../fuori1.txt",
                           "../../fuori2.txt",
                           "{FUORI}",
                           "..\\..\\fuori4.txt",
                           "C:\\fuori5.txt",
                           "C:fuori6.txt",
                           "sub/../../fuori7.txt",
                           "..",
                           "a\r\nb.txt"}
            << QStringList{"MQ==", "Mg==", "Mw==", "NA==", "NQ==", "Ng==", "Nw==", "OA==", "OQ=="}
            << QStringList{"fuori1.txt", "fuori2.txt", "{FUORI}",  "fuori4.txt", "fuori5.txt",
                           "fuori6.txt", "fuori7.txt", "allegato", "a_b.txt"}
            << QStringList{};
        QTest::newRow("base64UnevenWithAStrayCharacter")
            << QStringList{"uno.bin"} << QStringList{"QUJD*"} << QStringList{}
            << QStringList{QStringLiteral("error: Uneven size in DecodeToStream\\.")};
        QTest::newRow("base64EvenWithStrayBytes")
            << QStringList{"due.bin"} << QStringList{QString::fromLatin1("QU-\xc3\xa9!_D")}
            << QStringList{"due.bin"} << QStringList{};
        QTest::newRow("nameTooLongIsShortened")
            << QStringList{QString(300, QLatin1Char('n')) + ".pdf"} << QStringList{"QUJD"}
            << QStringList{QString(251, QLatin1Char('n')) + ".pdf"} << QStringList{};
    }

    void savingAttachments() {
        QFETCH(QStringList, nomi);
        QFETCH(QStringList, base64);
        QFETCH(QStringList, salvati);
        QFETCH(QStringList, errori);
        const QString fuori = QString::fromStdString(m_fuori.string());
        std::vector<Allegato> elenco;
        for (int i = 0; i < nomi.size(); ++i)
            elenco.push_back({QString(nomi[i]).replace("{FUORI}", fuori).toLatin1().toStdString(),
                              base64[i].toLatin1().toStdString()});
        const auto scelto = scrivi("nomi.xml", fattura("NOMI/1", elenco));
        apri(scelto);
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        QCOMPARE(m_w->LBAlleg->count(), nomi.size());
        QStringList attesi;
        for (const auto& s : salvati)
            attesi << QString(s).replace("{FUORI}", QString::fromStdString(m_fuori.filename()));
        attesi.sort();

        const auto prima = istantanea(m_dir->path(), {allegati()});
        for (int i = 0; i < m_w->LBAlleg->count(); ++i) {
            m_w->LBAlleg->setCurrentRow(i);
            m_w->eseguiComando([this] { m_w->ButtonSaveClick(); });
        }
        verificaMessaggi(errori);
        QCOMPARE(istantanea(m_dir->path(), {allegati()}), prima);
        QStringList trovati;
        for (const auto& voce : fs::directory_iterator(allegati()))
            trovati << QString::fromStdString(voce.path().filename().string());
        trovati.sort();
        QCOMPARE(trovati, attesi);

        // The utility command decodes them all into the same folder.
        fs::remove_all(allegati());
        m_prompts.answers = {scelto};
        m_w->eseguiComando([this] { m_w->btndecodificaClick(); });
        QCOMPARE(istantanea(m_dir->path(), {allegati()}), prima);
        trovati.clear();
        for (const auto& voce : fs::directory_iterator(allegati()))
            trovati << QString::fromStdString(voce.path().filename().string());
        trovati.sort();
        QCOMPARE(trovati, attesi);
    }

    // An attachment folder of the program that cannot take the file, not even from root: the
    // attachment goes to the user's folder, or to a free name, or the save fails; nothing is
    // ever written through a link.
    void unusableAttachmentFolder_data() {
        QTest::addColumn<int>("forma");
        QTest::addColumn<QStringList>("attesi"); // patterns of the boxes; {UTENTE}: user's folder
        QTest::addColumn<QString>("salvato");    // where a.pdf ends up; {UTENTE} as above
        QTest::newRow("aFileInItsPlace")
            << 0
            << QStringList{QStringLiteral("message: La cartella del programma non è scrivibile: "
                                          "gli allegati vengono salvati in {UTENTE}")}
            << QStringLiteral("{UTENTE}a.pdf");
        QTest::newRow("aLinkToAFolderUnderProc")
            << 1
            << QStringList{QRegularExpression::escape(QString::fromStdString(
                               "error: Cannot create file \"" + AppDir() + "ALLEGATI/a.pdf\". ")) +
                           QStringLiteral("[^\\n]+\\.")}
            << QString();
        QTest::newRow("aLinkInsideTheFolder")
            << 2 << QStringList{} << QString::fromStdString(AppDir() + "ALLEGATI/a (2).pdf");
    }

    void unusableAttachmentFolder() {
        QFETCH(int, forma);
        QFETCH(QStringList, attesi);
        QFETCH(QString, salvato);
        const QString utente =
            QString::fromStdString(m_datiUtente->path().string() + "/ondivo/ALLEGATI/");
        attesi.replaceInStrings(QStringLiteral("{UTENTE}"), QRegularExpression::escape(utente));
        salvato.replace(QStringLiteral("{UTENTE}"), utente);
        const auto vittima = m_dir->write("vittima.txt", "originale");
        if (forma == 0) {
            m_dir->write("ALLEGATI", "un file al posto della cartella");
        } else if (forma == 1) {
            fs::create_symlink("/proc/self/fdinfo", allegati());
        } else {
            fs::create_directories(allegati());
            fs::create_symlink(vittima, allegati() / "a.pdf");
        }
        const auto scelto = scrivi("salva.xml", fattura("SALVA/1", {{"a.pdf", "QUJD"}}));
        apri(scelto);
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        const auto prima = istantanea(m_dir->path(), {allegati()});
        m_w->eseguiComando([this] { m_w->ButtonSaveClick(); });
        verificaMessaggi(attesi);
        if (!salvato.isEmpty()) {
            QCOMPARE(leggi(salvato.toStdString()), std::string("ABC"));
            QCOMPARE(m_w->statusBar()->currentMessage(),
                     QStringLiteral("Allegato salvato come ") + salvato);
        }
        m_prompts.answers = {scelto};
        m_w->eseguiComando([this] { m_w->btndecodificaClick(); });
        QCOMPARE(istantanea(m_dir->path(), {allegati()}), prima);
        QCOMPARE(leggi(vittima), std::string("originale"));
        if (forma == 0)
            QCOMPARE(leggi(allegati()), std::string("un file al posto della cartella"));
        if (forma == 2)
            QVERIFY(fs::is_symlink(allegati() / "a.pdf"));
    }

    // Markup in a file name, an invoice's values and an attachment's name arrives as text:
    // no image is read (/dev/zero would never end), no link is made.
    void markupIsShownAsText() {
        const std::string nome = "<img src=&#47;dev&#47;zero>.xml";
        const auto scelto = scrivi(
            nome, sostituisci(fattura("MARKUP/1",
                                      {{"&lt;a href=\"file:&amp;#47;&amp;#47;&amp;#47;etc&amp;#47;"
                                        "passwd\"&gt;x&lt;/a&gt;.pdf",
                                        "QUJD"}}),
                              "Fornitore MARKUP/1", "&lt;img src=\"/dev/zero\"&gt;"));
        apri(scelto);
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        QCOMPARE(m_w->StFileXML->text(), QString::fromStdString(scelto));
        QCOMPARE(m_w->StFornitore->text(), QStringLiteral("<img src=\"/dev/zero\">"));
        QCOMPARE(voci(), QStringList{QStringLiteral(
                             "<a href=\"file:&#47;&#47;&#47;etc&#47;passwd\">x</a>.pdf")});
        for (QLabel* etichetta : m_w->etichetteValori())
            QCOMPARE(etichetta->textFormat(), Qt::PlainText);
        QVERIFY(!m_w->grab().isNull()); // the whole window drawn, labels included
    }

    // A 200 MB invoice, generated here: shown, listed and saved whole, in bounded memory.
    void invoiceOf200MB() {
        apriPrima();
        if (QTest::currentTestFailed())
            return;
        const auto scelto = (m_dir->path() / "FATTURE" / "grande.xml").string();
        constexpr qint64 kByte = 150'000'000; // a multiple of 3: no padding inside the text
        QCryptographicHash impronta(QCryptographicHash::Sha256);
        {
            std::ofstream out(scelto, std::ios::binary);
            const std::string testa = fattura("GRANDE/1", {{"grande.bin", "@"}});
            const auto segno = testa.find('@');
            out << testa.substr(0, segno);
            std::mt19937_64 caso(42);
            QByteArray blocco(3 << 20, '\0');
            for (qint64 restano = kByte; restano > 0;) {
                const auto n = std::min<qint64>(restano, blocco.size());
                for (qint64 i = 0; i < n; i += 8) {
                    const auto v = caso();
                    std::memcpy(blocco.data() + i, &v,
                                static_cast<std::size_t>(std::min<qint64>(8, n - i)));
                }
                const QByteArray parte = blocco.left(n);
                impronta.addData(parte);
                out << parte.toBase64().toStdString();
                restano -= n;
            }
            out << testa.substr(segno + 1);
        }
        const auto dimensione = static_cast<qint64>(fs::file_size(scelto));
        QVERIFY(dimensione > 200'000'000);

        QSignalSpy caricata(m_w->WebBrowser1, &QWebEngineView::loadFinished);
        conMemoriaLimitata(dimensione, [&] { apri(scelto); });
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        QCOMPARE(m_w->STNumDoc->text(), QStringLiteral("GRANDE/1"));
        QCOMPARE(voci(), QStringList{"grande.bin"});
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 60000); // it may have come during the open
        QVERIFY(testoPagina().contains(QStringLiteral("grande.bin")));

        conMemoriaLimitata(dimensione,
                           [&] { m_w->eseguiComando([this] { m_w->ButtonSaveClick(); }); });
        QCOMPARE(m_prompts.shown, std::vector<std::string>{});
        const fs::path salvato = allegati() / "grande.bin";
        QCOMPARE(static_cast<qint64>(fs::file_size(salvato)), kByte);
        QFile letto(QString::fromStdString(salvato.string()));
        QVERIFY(letto.open(QIODevice::ReadOnly));
        QCryptographicHash controllo(QCryptographicHash::Sha256);
        QVERIFY(controllo.addData(&letto));
        QCOMPARE(controllo.result(), impronta.result());
        fs::remove(scelto);
        fs::remove(salvato);
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestHostileWindow)

#include "hostile_window_test.moc"
