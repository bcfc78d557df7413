#include "allegati.h"
#include "fakeprompts.h"
#include "htmlview.h"
#include "lctv.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QWebEnginePage>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace ondivo {

namespace {

struct Allegato {
    std::string nome;
    QByteArray contenuto;
};

std::string fattura(const std::string& formato, const std::string& numero,
                    const std::vector<Allegato>& allegati = {}) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica "
                      "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">"
                      "<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>" +
                      formato +
                      "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore>"
                      "<DatiAnagrafici><Anagrafica><Denominazione>Rossi S.r.l.</Denominazione>"
                      "</Anagrafica></DatiAnagrafici></CedentePrestatore>"
                      "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali>"
                      "<DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Data>2024-05-31"
                      "</Data><Numero>" +
                      numero + "</Numero></DatiGeneraliDocumento></DatiGenerali>";
    for (const auto& a : allegati)
        xml += "<Allegati><NomeAttachment>" + a.nome + "</NomeAttachment><Attachment>" +
               a.contenuto.toBase64().toStdString() + "</Attachment></Allegati>";
    return xml + "</FatturaElettronicaBody></p:FatturaElettronica>\n";
}

std::string leggi(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

// The open command and the panels, end to end, in a program folder of their own: our
// stylesheets in FODISTILE and the system's openssl in ossl/.
class TestOpenCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::string m_fatture;

    std::string scrivi(const std::string& nome, const std::string& contenuto) {
        return m_dir->write("FATTURE/" + nome, contenuto);
    }

    // A window on the program folder, shown (which resets it).
    std::unique_ptr<TFONDIVO> finestra(test::FakePrompts& prompts) {
        auto w = std::make_unique<TFONDIVO>(prompts);
        ImpostaAppDir(m_dir->path().string() + "/");
        w->show();
        return w;
    }

    static void apri(TFONDIVO& w, test::FakePrompts& prompts, std::optional<std::string> scelta) {
        prompts.answers.push_back(std::move(scelta));
        w.eseguiComando([&w] { w.btnSelFileClick(); });
    }

    static QString testoPagina(TFONDIVO& w) {
        QString risultato;
        bool pronto = false;
        w.WebBrowser1->page()->toPlainText([&](const QString& t) {
            risultato = t;
            pronto = true;
        });
        if (!QTest::qWaitFor([&] { return pronto; }, 10000))
            return {};
        return risultato;
    }

    static QStringList voci(const TFONDIVO& w) {
        QStringList v;
        for (int i = 0; i < w.LBAlleg->count(); ++i)
            v << w.LBAlleg->item(i)->text();
        return v;
    }

private slots:
    void init() {
        m_dir = std::make_unique<test::TempDir>();
        fs::create_directories(m_dir->path() / "FATTURE");
        fs::copy(ONDIVO_SOURCE_DIR "/stylesheets", m_dir->path() / "FODISTILE");
        fs::create_directories(m_dir->path() / "ossl");
        fs::create_symlink(ONDIVO_OPENSSL, m_dir->path() / "ossl" / "openssl");
    }

    void cleanup() { m_dir.reset(); }

    void dialogIsSetUpAndCancelChangesNothing() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->StFileXML->setText(QStringLiteral("precedente"));
        apri(*w, prompts, std::nullopt);
        apri(*w, prompts, std::string("   "));
        QCOMPARE(prompts.dialogs.size(), 2u);
        const auto& d = prompts.dialogs[0];
        QCOMPARE(d.cartellaIniziale, AppDir() + "FATTURE/");
        QCOMPARE(d.estensionePredefinita, std::string("*.xml"));
        QCOMPARE(d.filtro,
                 std::string("fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte "
                             "le fatture (.xml, .p7m)|*.xml;*.p7m|tutti i file (*.*)|*.*"));
        QCOMPARE(d.titolo, std::string("Selezione fattura elettronica (formato xml, p7m)"));
        QCOMPARE(w->StFileXML->text(), QStringLiteral("precedente"));
        QVERIFY(prompts.shown.empty());
    }

    void opensAnInvoiceWithItsAttachments() {
        const QByteArray a("contenuto di a\x00\xff", 16), b("B"), c("CC");
        const auto file = scrivi(
            "f.xml", fattura("FPR12", "FT 7/2024", {{"b.pdf", b}, {"a.pdf", a}, {"c.pdf", c}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QSignalSpy caricata(w->WebBrowser1, &QWebEngineView::loadFinished);
        apri(*w, prompts, file);
        QVERIFY(prompts.shown.empty());
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(file));
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("FT 7/2024"));
        QCOMPARE(w->STTipoDoc->text(), QStringLiteral("TD01 fattura"));
        QCOMPARE(w->StFornitore->text(), QStringLiteral("Rossi S.r.l."));
        QCOMPARE(w->StDataDoc->text(), QStringLiteral("2024-05-31"));
        QCOMPARE(voci(*w), (QStringList{"a.pdf", "b.pdf", "c.pdf"}));
        QCOMPARE(w->LBAlleg->currentItem()->text(), QStringLiteral("a.pdf"));
        QCOMPARE(w->FFoglioStile,
                 AppDir() + "FODISTILE/Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl");
        QVERIFY(caricata.wait(20000));
        QVERIFY(testoPagina(*w).contains(QStringLiteral("FT 7/2024")));

        // Saving writes the selected attachment's bytes, replacing a file of that name.
        const fs::path allegati = m_dir->path() / "ALLEGATI";
        fs::create_directories(allegati);
        std::ofstream(allegati / "a.pdf") << "vecchio contenuto piu' lungo del nuovo";
        w->eseguiComando([&] { w->ButtonSaveClick(); });
        QCOMPARE(leggi(allegati / "a.pdf"), a.toStdString());
        w->LBAlleg->setCurrentRow(2);
        w->eseguiComando([&] { w->ButtonSaveClick(); });
        QCOMPARE(leggi(allegati / "c.pdf"), std::string("CC"));
        QVERIFY(prompts.shown.empty());

        // Without the folder the save fails in the error box and writes nothing.
        fs::remove_all(allegati);
        w->eseguiComando([&] { w->ButtonSaveClick(); });
        QCOMPARE(prompts.shown.size(), 1u);
        QVERIFY(prompts.shown[0].rfind(
                    "error: Cannot create file \"" + allegati.string() + "/c.pdf\". ", 0) == 0);
        QVERIFY(!fs::exists(allegati));
    }

    void namesSortWithoutRegardToCaseAndEnvelopeTestIsOnTheLastExtension() {
        const auto file =
            scrivi("fattura.p7m.xml",
                   fattura("FPR12", "1", {{"b.pdf", "b"}, {"C.pdf", "c"}, {"A.pdf", "a"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        apri(*w, prompts, file);
        QVERIFY(prompts.shown.empty());
        QCOMPARE(w->FFileXml, file);
        QCOMPARE(voci(*w), (QStringList{"A.pdf", "b.pdf", "C.pdf"}));
        QCOMPARE(w->LBAlleg->currentRow(), 0);
    }

    void nothingSelectedAsksForASelection() {
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"x.txt", "x"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        apri(*w, prompts, file);
        w->LBAlleg->clearSelection();
        w->eseguiComando([&] { w->ButtonSaveClick(); });
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"message: Selezionare l'allegato da salvare!"});
    }

    void signedEnvelopeInCapitals() {
        const auto xml = scrivi("firmata.xml", fattura("FPA12", "PA/1"));
        const QString dir = QString::fromStdString(m_dir->path().string());
        QProcess openssl;
        openssl.setWorkingDirectory(dir);
        openssl.start(QStringLiteral(ONDIVO_OPENSSL),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "k.pem", "-out",
                       "c.pem", "-subj", "/CN=Ondivo", "-days", "1"});
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
        const std::string busta = m_dir->path().string() + "/FATTURE/FIRMATA.XML.P7M";
        openssl.start(QStringLiteral(ONDIVO_OPENSSL),
                      {"cms", "-sign", "-binary", "-nodetach", "-outform", "DER", "-in",
                       QString::fromStdString(xml), "-signer", "c.pem", "-inkey", "k.pem", "-out",
                       QString::fromStdString(busta)});
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);

        test::FakePrompts prompts;
        auto w = finestra(prompts);
        apri(*w, prompts, busta);
        QVERIFY2(prompts.shown.empty(), prompts.shown.empty() ? "" : prompts.shown[0].c_str());
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(busta));
        QCOMPARE(w->FFileXml, m_dir->path().string() + "/FATTURE/FIRMATA.XML");
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("PA/1"));
        QCOMPARE(w->FFoglioStile, AppDir() + "FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl");
    }

    void filesThatCannotBeShown() {
        const std::string mancanteXml = m_dir->path().string() + "/FATTURE/manca.xml";
        const std::string mancanteP7m = m_dir->path().string() + "/FATTURE/manca.xml.p7m";
        const auto rotto = scrivi("rotto.xml", "<a>\n<b></a>");
        const auto senzaFormato = scrivi("senza.xml", "<a><b>FPR12</b></a>");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->STNumDoc->setText(QStringLiteral("precedente"));

        apri(*w, prompts, mancanteXml);
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{
                     "message: Documento xml non gestito, visualizzazione non possibile!"});
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(mancanteXml));
        QCOMPARE(w->FFileXml, mancanteXml);

        prompts.shown.clear();
        apri(*w, prompts, mancanteP7m);
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"error: File non trovato: " + mancanteP7m + "."});
        QCOMPARE(w->FFileXml, mancanteP7m);

        prompts.shown.clear();
        apri(*w, prompts, rotto);
        QCOMPARE(prompts.shown.size(), 2u);
        QVERIFY(prompts.shown[0].rfind("message: ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n", 0) ==
                0);
        QVERIFY(prompts.shown[0].find("\r\nLine: 2\r\n<b></a>") != std::string::npos);
        QCOMPARE(prompts.shown[1],
                 std::string("message: Documento xml non gestito, visualizzazione non possibile!"));

        prompts.shown.clear();
        apri(*w, prompts, senzaFormato);
        QCOMPARE(prompts.shown.size(), 1u);
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("precedente"));
    }

    void unknownFormatKeepsTheStylesheetUsedLast() {
        const auto pa = scrivi("pa.xml", fattura("FPA12", "1"));
        const auto strano = scrivi("strano.xml", fattura("fpa12", "2"));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        apri(*w, prompts, pa);
        apri(*w, prompts, strano);
        QVERIFY(prompts.shown.empty());
        QCOMPARE(w->FFoglioStile, AppDir() + "FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl");
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("2"));
    }

    void failedListReloadLeavesNoLinkToReleasedRecords() {
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"x.txt", "x"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        apri(*w, prompts, file);
        QCOMPARE(w->LBAlleg->count(), 1);
        w->eseguiComando([&] { w->CaricaListaAllegati(m_dir->path().string() + "/assente.xml"); });
        QCOMPARE(prompts.shown.size(), 1u);
        QVERIFY(prompts.shown[0].rfind("error: Cannot open file ", 0) == 0);
        QCOMPARE(w->LBAlleg->count(), 1);
        fs::create_directories(m_dir->path() / "ALLEGATI");
        w->eseguiComando([&] { w->ButtonSaveClick(); }); // must not touch the released record
        QVERIFY(fs::is_empty(m_dir->path() / "ALLEGATI"));
    }

    void utilityCommands() {
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"u.bin", "dati"}}));
        const auto testo = scrivi("nota.txt", "abc");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        apri(*w, prompts, file);

        w->eseguiComando([&] { w->btnEstraiPM7Click(); }); // an .xml is shown: nothing happens
        QVERIFY(prompts.shown.empty());

        prompts.answers = {testo};
        w->eseguiComando([&] { w->btndecodificaClick(); });
        QCOMPARE(
            prompts.shown,
            std::vector<std::string>{
                "message: Formato del file selezionato non corretto. Selezionare file in .xml"});
        QVERIFY(!fs::exists(m_dir->path() / "ALLEGATI"));

        prompts.answers = {file};
        w->eseguiComando([&] { w->btndecodificaClick(); });
        QCOMPARE(leggi(m_dir->path() / "ALLEGATI" / "u.bin"), std::string("dati"));
        QCOMPARE(prompts.dialogs.back().titolo,
                 std::string("Selezione file da decodificare da base64"));

        prompts.shown.clear();
        const std::string assente = m_dir->path().string() + "/assente.bin";
        prompts.answers = {assente};
        w->eseguiComando([&] { w->btnCodificaFileClick(); });
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"message: Errore: " + assente + " non trovato!"});
        QCOMPARE(w->MemoXCodifica->toPlainText(), QString());

        prompts.answers = {testo};
        w->eseguiComando([&] { w->btnCodificaFileClick(); });
        QCOMPARE(w->MemoXCodifica->toPlainText(), QStringLiteral("YWJj"));
        QCOMPARE(prompts.dialogs.back().cartellaIniziale, AppDir() + "ALLEGATI/");
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestOpenCommand)
#include "opencommand_test.moc"
