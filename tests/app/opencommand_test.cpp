#include "allegati.h"
#include "cartellaprogramma.h"
#include "fakeprompts.h"
#include "htmlview.h"
#include "lctv.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
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

// Stands in for the system's file browser: records the addresses the window asks it to open.
class ApriCartelle : public QObject {
    Q_OBJECT

public:
    QList<QUrl> aperte;

public slots:
    void apri(const QUrl& url) { aperte << url; }
};

// Counts the paintings of a widget.
class ContaDisegni : public QObject {
public:
    int disegni = 0;

protected:
    bool eventFilter(QObject*, QEvent* evento) override {
        if (evento->type() == QEvent::Paint)
            ++disegni;
        return false;
    }
};

} // namespace

// The open command and the panels, end to end, in a program folder of their own: our
// stylesheets in FODISTILE and the system's openssl in ossl/; the user's data folder is a
// temporary one too.
class TestOpenCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<test::TempDir> m_datiUtente; // XDG_DATA_HOME, apart from the program folder

    std::string scrivi(const std::string& nome, const std::string& contenuto) {
        return m_dir->write("FATTURE/" + nome, contenuto);
    }

    fs::path allegati() const { return m_dir->path() / "ALLEGATI"; }
    fs::path allegatiUtente() const { return m_datiUtente->path() / "ondivo" / "ALLEGATI"; }
    fs::path cancello() const { return m_dir->path() / "via"; }

    // A window on the program folder, shown (which resets it).
    std::unique_ptr<TFONDIVO> finestra(test::FakePrompts& prompts) {
        auto w = std::make_unique<TFONDIVO>(prompts);
        ImpostaAppDir(m_dir->path().string() + "/");
        w->show();
        return w;
    }

    // Chooses a file in the dialog; the open runs on while this returns.
    static void avvia(TFONDIVO& w, test::FakePrompts& prompts, std::optional<std::string> scelta) {
        prompts.answers.push_back(std::move(scelta));
        w.eseguiComando([&w] { w.btnSelFileClick(); });
    }

    static bool finita(TFONDIVO& w) {
        return QTest::qWaitFor([&w] { return !w.aperturaInCorso(); }, 60000);
    }

    // Chooses a file and waits until its open has come back.
    [[nodiscard]] static bool apri(TFONDIVO& w, test::FakePrompts& prompts,
                                   std::optional<std::string> scelta) {
        avvia(w, prompts, std::move(scelta));
        return finita(w);
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

    static QStringList etichette(const TFONDIVO& w) {
        return {w.StFileXML->text(), w.StFornitore->text(), w.STTipoDoc->text(),
                w.StDataDoc->text(), w.STNumDoc->text()};
    }

    static void salva(TFONDIVO& w) {
        w.eseguiComando([&w] { w.ButtonSaveClick(); });
    }

    static QString statoSalvato(const fs::path& file) {
        return QStringLiteral("Allegato salvato come ") + QString::fromStdString(file.string());
    }

    // ossl/openssl stands still until the test opens the gate, then writes the XML given (or
    // fails when there is none): an open as slow as the test wants.
    void strumentoLento(const std::string& xml) {
        std::string script =
            "#!/bin/sh\nwhile [ ! -e '" + cancello().string() + "' ]; do sleep 0.05; done\n";
        if (xml.empty())
            script += "exit 1\n";
        else
            script += "while [ $# -gt 0 ]; do\n  case \"$1\" in -out) out=$2;; esac; shift\n"
                      "done\ncp '" +
                      xml + "' \"$out\"\n";
        fs::remove(m_dir->path() / "ossl" / "openssl");
        m_dir->write("ossl/openssl", script);
        fs::permissions(m_dir->path() / "ossl" / "openssl", fs::perms::owner_all);
    }

    std::string busta(const std::string& nome) {
        return scrivi(nome, std::string("\x30\x03\x02\x01\x01", 5)); // starts like DER
    }

    // Asks for the PDF of the invoice shown, answering the save dialog, and waits until it is
    // written or has failed.
    [[nodiscard]] static bool esportaPdf(TFONDIVO& w, test::FakePrompts& prompts,
                                         std::optional<std::string> scelta) {
        prompts.answers.push_back(std::move(scelta));
        w.eseguiComando([&w] { w.esportaPdfClick(); });
        return QTest::qWaitFor([&w] { return w.m_esportazioniInCorso == 0; }, 60000);
    }

    // What a poppler tool says of a PDF.
    static QString poppler(const QString& strumento, const QStringList& argomenti) {
        QProcess p;
        p.start(strumento, argomenti);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private slots:
    void init() {
        m_dir = std::make_unique<test::TempDir>();
        test::PreparaCartellaProgramma(m_dir->path());
        m_datiUtente = std::make_unique<test::TempDir>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_datiUtente->path().string()));
    }

    void cleanup() {
        // A slow tool still waiting must end before its folder goes.
        std::ofstream(cancello()) << "";
        m_dir.reset();
        m_datiUtente.reset();
    }

    // An attachment opens with the system's application by double-click, Enter or the
    // context menu's "Apri": from a private copy holding its decoded bytes, never from
    // ALLEGATI (nothing is written there), the copy going with the window.
    void attachmentsOpenFromAPrivateCopy_data() {
        QTest::addColumn<QString>("come");
        QTest::newRow("doubleClick") << "doppioClic";
        QTest::newRow("enter") << "invio";
        QTest::newRow("menu") << "menu";
    }

    void attachmentsOpenFromAPrivateCopy() {
        QFETCH(QString, come);
        const QByteArray contenuto("%PDF-1.4 prova\x00\xff", 16);
        const auto file =
            scrivi("f.xml", fattura("FPR12", "1", {{"a.txt", "A"}, {"b.pdf", contenuto}}));
        ApriCartelle sistema;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &sistema, "apri");
        const auto ripristina =
            qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QListWidgetItem* voce =
            w->LBAlleg->findItems(QStringLiteral("b.pdf"), Qt::MatchExactly).value(0);
        QVERIFY(voce);
        w->LBAlleg->setCurrentItem(voce);
        const QRect riquadro = w->LBAlleg->visualItemRect(voce);
        if (come == QLatin1String("doppioClic")) {
            // As the system sends it: a click, then the second press as a double-click.
            QTest::mouseClick(w->LBAlleg->viewport(), Qt::LeftButton, {}, riquadro.center());
            QTest::mouseDClick(w->LBAlleg->viewport(), Qt::LeftButton, {}, riquadro.center());
        } else if (come == QLatin1String("invio")) {
            w->LBAlleg->setFocus();
            QTest::keyClick(w->LBAlleg, Qt::Key_Return);
        } else {
            w->azioneApriAllegato->trigger();
        }
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QCOMPARE(sistema.aperte.size(), 1);
        const std::string copia = sistema.aperte.front().toLocalFile().toStdString();
        QCOMPARE(fs::path(copia).filename().string(), std::string("b.pdf"));
        QCOMPARE(QByteArray::fromStdString(leggi(copia)), contenuto);
        QVERIFY(!fs::exists(allegati()));
        QVERIFY(!fs::exists(allegatiUtente()));
        QVERIFY(copia.rfind(m_dir->path().string(), 0) != 0);
        w.reset();
        QVERIFY(!fs::exists(copia));
    }

    // Types that can run code ask first, "Annulla" being the default: no means nothing is
    // written or opened. Other types open at once.
    void riskyTypesAskFirst_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<bool>("chiede");
        QTest::addColumn<bool>("risposta");
        QTest::newRow("exeRefused") << "setup.exe" << true << false;
        QTest::newRow("exeAccepted") << "setup.exe" << true << true;
        QTest::newRow("hiddenBehindPdf") << "fattura.pdf.exe" << true << false;
        QTest::newRow("macroWorkbook") << "conti.XLSM" << true << false;
        QTest::newRow("script") << "avvia.vbs" << true << true;
        QTest::newRow("pdf") << "fattura.pdf" << false << false;
        QTest::newRow("plainWorkbook") << "conti.xlsx" << false << false;
    }

    void riskyTypesAskFirst() {
        QFETCH(QString, nome);
        QFETCH(bool, chiede);
        QFETCH(bool, risposta);
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{nome.toStdString(), "MZ"}}));
        ApriCartelle sistema;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &sistema, "apri");
        const auto ripristina =
            qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        prompts.conferme = {risposta};
        w->eseguiComando([&] { w->apriAllegatoClick(); });
        QCOMPARE(prompts.shown.size(), std::size_t(chiede ? 1 : 0));
        if (chiede) {
            QVERIFY2(prompts.shown[0].rfind("question: L'allegato \"" + nome.toStdString() + "\"",
                                            0) == 0,
                     prompts.shown[0].c_str());
            QVERIFY2(prompts.shown[0].find("[Apri comunque]") != std::string::npos,
                     prompts.shown[0].c_str());
        }
        const bool aperto = !chiede || risposta;
        QCOMPARE(sistema.aperte.size(), aperto ? 1 : 0);
        if (aperto)
            QCOMPARE(sistema.aperte.front().fileName(), nome);
    }

    // "Salva con nome…": the dialog proposes the attachment's safe name in the invoice's
    // folder, then the folder used last; the file holds the decoded bytes; the invoice itself
    // (or its envelope's XML) is never replaced; a cancel writes nothing.
    void saveAsWritesTheWholeAttachmentElsewhere() {
        const QByteArray contenuto("dati\x00\x01\x02", 7);
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"../su/b.bin", contenuto}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        w->LBAlleg->setCurrentRow(0);

        const std::string scelto = m_dir->write("altrove/copia.bin", "vecchio");
        prompts.answers.push_back(scelto);
        w->eseguiComando([&] { w->salvaAllegatoComeClick(); });
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QCOMPARE(prompts.proposed, std::vector<std::string>{"b.bin"});
        QCOMPARE(prompts.dialogs.back().cartellaIniziale, (m_dir->path() / "FATTURE").string());
        QCOMPARE(QByteArray::fromStdString(leggi(scelto)), contenuto);
        QVERIFY(!fs::exists(allegati()));

        prompts.answers.push_back(file);
        w->eseguiComando([&] { w->salvaAllegatoComeClick(); });
        QCOMPARE(prompts.dialogs.back().cartellaIniziale, (m_dir->path() / "altrove").string());
        QCOMPARE(prompts.shown.size(), std::size_t(1));
        QVERIFY2(prompts.shown[0].find("non può sostituire il file della fattura") !=
                     std::string::npos,
                 prompts.shown[0].c_str());
        QCOMPARE(leggi(file), fattura("FPR12", "1", {{"../su/b.bin", contenuto}}));

        prompts.shown.clear();
        prompts.answers.push_back(std::nullopt);
        w->eseguiComando([&] { w->salvaAllegatoComeClick(); });
        QCOMPARE(prompts.shown, std::vector<std::string>());
    }

    // The list's context menu: "Apri", "Salva con nome…" and the designed "Salva allegato",
    // on the attachment under the pointer.
    void attachmentsContextMenu() {
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"a.txt", "A"}, {"b.pdf", "B"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QStringList voci;
        bool abilitate = false;
        QTimer::singleShot(0, w.get(), [&] {
            QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            abilitate = true;
            for (QAction* a : menu->actions()) {
                voci << a->text();
                abilitate = abilitate && a->isEnabled();
            }
            menu->close();
        });
        QListWidgetItem* b =
            w->LBAlleg->findItems(QStringLiteral("b.pdf"), Qt::MatchExactly).value(0);
        QVERIFY(b);
        emit w->LBAlleg->customContextMenuRequested(w->LBAlleg->visualItemRect(b).center());
        QCOMPARE(voci, (QStringList{"Apri", "Salva con nome…", "Salva allegato"}));
        QVERIFY(abilitate);
        QCOMPARE(w->LBAlleg->currentItem(), b);
    }

    // The PDF of the invoice shown: the proposed name from the header, the invoice's folder
    // first and the folder used last after; a whole file carrying the invoice and its
    // attachments; a failure named in a box, leaving no file; a cancel doing nothing.
    void exportsThePdfOfTheInvoiceShown() {
        const QByteArray a("contenuto\x00\xff", 11);
        const auto file =
            scrivi("f.xml", fattura("FPR12", "FT 7/2024", {{"a.pdf", a}, {"b.txt", "B"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QSignalSpy caricata(w->WebBrowser1, &QWebEngineView::loadFinished);
        // Nothing shown: nothing to export, no dialog.
        QVERIFY(esportaPdf(*w, prompts, std::nullopt));
        QVERIFY(prompts.dialogs.empty());
        prompts.answers.clear();
        QVERIFY(apri(*w, prompts, file));
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 20000);

        const test::TempDir uscite;
        const std::string pdf = (uscite.path() / "uscita.pdf").string();
        QVERIFY(esportaPdf(*w, prompts, pdf));
        QCOMPARE(prompts.proposed.back(), std::string("2024-05-31 Rossi S.r.l. FT 7-2024.pdf"));
        QCOMPARE(prompts.dialogs.back().cartellaIniziale, (m_dir->path() / "FATTURE").string());
        QVERIFY2(prompts.shown.empty(), prompts.shown.empty() ? "" : prompts.shown[0].c_str());
        QVERIFY(fs::exists(pdf));
        const QString info = poppler("pdfinfo", {QString::fromStdString(pdf)});
        QVERIFY2(info.contains(QStringLiteral("Fattura n. FT 7/2024 del 31/05/2024")),
                 qPrintable(info));
        QVERIFY(info.contains(QStringLiteral("Rossi S.r.l.")));
        QVERIFY(info.contains(QStringLiteral("(A4)")));
        const fs::path staccati = uscite.path() / "staccati";
        fs::create_directories(staccati);
        poppler("pdfdetach", {"-saveall", "-o", QString::fromStdString(staccati.string()),
                              QString::fromStdString(pdf)});
        QCOMPARE(leggi(staccati / "f.xml"), leggi(file));
        QCOMPARE(leggi(staccati / "a.pdf"), a.toStdString());
        QCOMPARE(leggi(staccati / "b.txt"), std::string("B"));
        QVERIFY(w->statusBar()->currentMessage().contains(QString::fromStdString(pdf)));

        // The next dialog starts where the last PDF went; a cancel changes nothing.
        QVERIFY(esportaPdf(*w, prompts, std::nullopt));
        QCOMPARE(prompts.dialogs.back().cartellaIniziale, uscite.path().string());
        QVERIFY(prompts.shown.empty());

        // A folder that is not there: the box names the file, nothing is left.
        const std::string fallito = (uscite.path() / "assente" / "x.pdf").string();
        QVERIFY(esportaPdf(*w, prompts, fallito));
        QCOMPARE(prompts.shown.size(), 1u);
        QVERIFY2(prompts.shown[0].rfind("error: PDF non salvato: ", 0) == 0 &&
                     prompts.shown[0].find(fallito) != std::string::npos,
                 prompts.shown[0].c_str());
        QVERIFY(!fs::exists(uscite.path() / "assente"));
        QVERIFY(!w->m_occupato->isVisible());
    }

    void dialogIsSetUpAndCancelChangesNothing() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->StFileXML->setText(QStringLiteral("precedente"));
        avvia(*w, prompts, std::nullopt);
        avvia(*w, prompts, std::string("   "));
        QVERIFY(!w->aperturaInCorso());
        QCOMPARE(prompts.dialogs.size(), 2u);
        const auto& d = prompts.dialogs[0];
        QCOMPARE(d.cartellaIniziale, AppDir() + "FATTURE/");
        QCOMPARE(d.estensionePredefinita, std::string("*.xml"));
        QCOMPARE(d.filtro,
                 std::string("fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte "
                             "le fatture (.xml, .p7m)|*.xml;*.p7m|archivi ZIP (.zip)|*.zip|"
                             "fatture e archivi (.xml, .p7m, .zip)|*.xml;*.p7m;*.zip|"
                             "tutti i file (*.*)|*.*"));
        QCOMPARE(d.titolo, std::string("Selezione fattura elettronica (formato xml, p7m)"));
        QCOMPARE(w->StFileXML->text(), QStringLiteral("precedente"));
        QVERIFY(prompts.shown.empty());
    }

    void opensAnInvoiceAndSavesItsAttachments() {
        const QByteArray a("contenuto di a\x00\xff", 16), b("B"), c("CC");
        const auto file = scrivi(
            "f.xml", fattura("FPR12", "FT 7/2024", {{"b.pdf", b}, {"a.pdf", a}, {"c.pdf", c}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QSignalSpy caricata(w->WebBrowser1, &QWebEngineView::loadFinished);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY(prompts.shown.empty());
        QCOMPARE(etichette(*w), (QStringList{QString::fromStdString(file), "Rossi S.r.l.",
                                             "TD01 fattura", "2024-05-31", "FT 7/2024"}));
        QCOMPARE(w->FFileXml, file);
        QCOMPARE(voci(*w), (QStringList{"a.pdf", "b.pdf", "c.pdf"}));
        QCOMPARE(w->LBAlleg->currentItem()->text(), QStringLiteral("a.pdf"));
        QCOMPARE(w->FFoglioStile,
                 AppDir() + "FODISTILE/Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl");
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 20000); // it may have come during the open
        QVERIFY(testoPagina(*w).contains(QStringLiteral("FT 7/2024")));

        // The first save makes the folder; the status line names every file saved.
        QVERIFY(!fs::exists(allegati()));
        salva(*w);
        QCOMPARE(leggi(allegati() / "a.pdf"), a.toStdString());
        QCOMPARE(w->statusBar()->currentMessage(), statoSalvato(allegati() / "a.pdf"));
        w->LBAlleg->setCurrentRow(2);
        salva(*w);
        QCOMPARE(leggi(allegati() / "c.pdf"), std::string("CC"));
        QCOMPARE(w->statusBar()->currentMessage(), statoSalvato(allegati() / "c.pdf"));
        // The same attachment again is the file already there.
        salva(*w);
        QCOMPARE(w->statusBar()->currentMessage(), statoSalvato(allegati() / "c.pdf"));
        QVERIFY(prompts.shown.empty());

        // Another invoice's c.pdf does not replace it: it takes the next free name.
        const auto altra = scrivi("g.xml", fattura("FPR12", "2", {{"c.pdf", "altro"}}));
        QVERIFY(apri(*w, prompts, altra));
        salva(*w);
        QCOMPARE(leggi(allegati() / "c.pdf"), std::string("CC"));
        QCOMPARE(leggi(allegati() / "c (2).pdf"), std::string("altro"));
        QCOMPARE(w->statusBar()->currentMessage(), statoSalvato(allegati() / "c (2).pdf"));
        QVERIFY(prompts.shown.empty());
        QVERIFY(!fs::exists(allegatiUtente()));
    }

    // Where the program's folder cannot hold ALLEGATI, attachments go to the user's folder,
    // said once in a box and with every save in the status line.
    void attachmentsGoToTheUsersFolderWhenTheProgramsCannotBeMade() {
        m_dir->write("ALLEGATI", "un file al posto della cartella");
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"x.txt", "primo"}}));
        const auto altra = scrivi("g.xml", fattura("FPR12", "2", {{"x.txt", "secondo"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        salva(*w);
        const std::string cartella = allegatiUtente().string() + "/";
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"message: La cartella del programma non è scrivibile: "
                                          "gli allegati vengono salvati in " +
                                          cartella});
        QCOMPARE(leggi(allegatiUtente() / "x.txt"), std::string("primo"));
        QCOMPARE(w->statusBar()->currentMessage(), statoSalvato(allegatiUtente() / "x.txt"));

        QVERIFY(apri(*w, prompts, altra));
        salva(*w);
        QCOMPARE(prompts.shown.size(), 1u);
        QCOMPARE(leggi(allegatiUtente() / "x (2).txt"), std::string("secondo"));
        QCOMPARE(w->statusBar()->currentMessage(), statoSalvato(allegatiUtente() / "x (2).txt"));
        QVERIFY(fs::is_regular_file(allegati()));
    }

    void openingTheFolderMakesIt() {
        ApriCartelle browser;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "apri");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(!fs::exists(allegati()));
        w->eseguiComando([&] { w->ButtonOpenClick(); });
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(fs::is_directory(allegati()));
        QCOMPARE(browser.aperte,
                 QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(AppDir() + "ALLEGATI/"))});
        QVERIFY(prompts.shown.empty());
    }

    void namesSortWithoutRegardToCaseAndEnvelopeTestIsOnTheLastExtension() {
        const auto file =
            scrivi("fattura.p7m.xml",
                   fattura("FPR12", "1", {{"b.pdf", "b"}, {"C.pdf", "c"}, {"A.pdf", "a"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY(prompts.shown.empty());
        QCOMPARE(w->FFileXml, file);
        QCOMPARE(voci(*w), (QStringList{"A.pdf", "b.pdf", "C.pdf"}));
        QCOMPARE(w->LBAlleg->currentRow(), 0);
    }

    void nothingSelectedAsksForASelection() {
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"x.txt", "x"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        w->LBAlleg->clearSelection();
        salva(*w);
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"message: Selezionare l'allegato da salvare!"});
        QVERIFY(!fs::exists(allegati()));
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
        QVERIFY(apri(*w, prompts, busta));
        QVERIFY2(prompts.shown.empty(), prompts.shown.empty() ? "" : prompts.shown[0].c_str());
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(busta));
        QCOMPARE(w->FFileXml, m_dir->path().string() + "/FATTURE/FIRMATA.XML");
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("PA/1"));
        QCOMPARE(w->FFoglioStile, AppDir() + "FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl");
    }

    // Whatever step fails, the window goes on showing the invoice it showed, all of it, and
    // the box names the file that failed.
    void failedOpenKeepsTheInvoiceShown_data() {
        QTest::addColumn<QString>("nome");       // in FATTURE
        QTest::addColumn<QByteArray>("testo");   // nothing: the file is not there
        QTest::addColumn<QStringList>("attesi"); // what is shown; {FILE}: the chosen path

        const QString nonGestito =
            QStringLiteral("message: Documento xml non gestito, visualizzazione non possibile!\n"
                           "{FILE}");
        QTest::newRow("missingXml") << "manca.xml" << QByteArray() << QStringList{nonGestito};
        QTest::newRow("missingEnvelope")
            << "manca.xml.p7m" << QByteArray() << QStringList{"error: File non trovato: {FILE}."};
        QTest::newRow("malformed")
            << "rotto.xml" << QByteArray("<a>\n<b></a>")
            << QStringList{"message: ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n"
                           "Opening and ending tag mismatch: b line 2 and a\r\nLine: 2\r\n"
                           "<b></a>\n{FILE}",
                           nonGestito};
        QTest::newRow("noFormat") << "senza.xml" << QByteArray("<a><b>FPR12</b></a>")
                                  << QStringList{nonGestito};
        QTest::newRow("formatNotASingleText")
            << "formato.xml"
            << QByteArray::fromStdString(fattura("FPR<b/>12", "9", {{"z.pdf", "z"}}))
            << QStringList{"error: Element does not contain a single text node.\n{FILE}"};
        QTest::newRow("numberNotASingleText")
            << "numero.xml"
            << QByteArray::fromStdString(fattura("FPR12", "9<b/>", {{"z.pdf", "z"}}))
            << QStringList{"error: Element does not contain a single text node.\n{FILE}"};
    }

    void failedOpenKeepsTheInvoiceShown() {
        QFETCH(QString, nome);
        QFETCH(QByteArray, testo);
        QFETCH(QStringList, attesi);
        const auto prima = scrivi("prima.xml", fattura("FPA12", "PRIMA/1", {{"p.pdf", "prima"}}));
        const std::string scelto = testo.isNull()
                                       ? (m_dir->path() / "FATTURE" / nome.toStdString()).string()
                                       : scrivi(nome.toStdString(), testo.toStdString());
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QSignalSpy caricata(w->WebBrowser1, &QWebEngineView::loadFinished);
        QVERIFY(apri(*w, prompts, prima));
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 20000); // it may have come during the open
        const QStringList etichettePrima = etichette(*w);
        const QUrl paginaPrima = w->WebBrowser1->page()->requestedUrl();

        QVERIFY(apri(*w, prompts, scelto));
        QStringList mostrati;
        for (const auto& m : prompts.shown)
            mostrati << QString::fromStdString(m);
        attesi.replaceInStrings(QStringLiteral("{FILE}"), QString::fromStdString(scelto));
        QCOMPARE(mostrati, attesi);
        QCOMPARE(etichette(*w), etichettePrima);
        QCOMPARE(w->FFileXml, prima);
        QCOMPARE(w->FFoglioStile, AppDir() + "FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl");
        QCOMPARE(w->WebBrowser1->page()->requestedUrl(), paginaPrima);
        QCOMPARE(voci(*w), QStringList{"p.pdf"});

        // The attachment saved is the one listed, of the invoice shown.
        prompts.shown.clear();
        salva(*w);
        QVERIFY(prompts.shown.empty());
        QCOMPARE(leggi(allegati() / "p.pdf"), std::string("prima"));
    }

    void unknownFormatKeepsTheStylesheetUsedLast() {
        const auto pa = scrivi("pa.xml", fattura("FPA12", "1"));
        const auto strano = scrivi("strano.xml", fattura("fpa12", "2"));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, pa));
        QVERIFY(apri(*w, prompts, strano));
        QVERIFY(prompts.shown.empty());
        QCOMPARE(w->FFoglioStile, AppDir() + "FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl");
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("2"));
    }

    // A slow open overtaken by a fast one: the window answers and repaints meanwhile, and in
    // the end shows the fast one's invoice only, whatever the slow one came to.
    void newerOpenSupersedesASlowOne_data() {
        QTest::addColumn<bool>("lentaRiesce");
        QTest::newRow("slowOneSucceeds") << true;
        QTest::newRow("slowOneFails") << false;
    }

    void newerOpenSupersedesASlowOne() {
        QFETCH(bool, lentaRiesce);
        strumentoLento(lentaRiesce ? scrivi("lenta-contenuto.xml",
                                            fattura("FPA12", "LENTA/1", {{"l.pdf", "lenta"}}))
                                   : std::string());
        const auto lenta = busta("lenta.xml.p7m");
        const auto veloce = scrivi("veloce.xml", fattura("FPR12", "VELOCE/1", {{"v.pdf", "v"}}));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        // What the window shows each time an open comes back.
        QList<QStringList> viste;
        connect(w.get(), &TFONDIVO::aperturaConclusa, this, [&] { viste << etichette(*w); });
        QSignalSpy caricata(w->WebBrowser1, &QWebEngineView::loadFinished);

        avvia(*w, prompts, lenta);
        QVERIFY(w->aperturaInCorso());
        QVERIFY(w->m_occupato->isVisible());
        QCOMPARE(w->centralWidget()->cursor().shape(), Qt::BusyCursor);
        ContaDisegni disegni;
        w->LBAlleg->viewport()->installEventFilter(&disegni);
        w->LBAlleg->viewport()->update();
        QTRY_VERIFY(disegni.disegni > 0);
        QVERIFY(w->aperturaInCorso());

        const auto annullaLenta = w->m_annulla;
        avvia(*w, prompts, veloce);
        QVERIFY(annullaLenta->load());
        QVERIFY(!w->m_annulla->load());
        std::ofstream(cancello()) << "";
        QVERIFY(finita(*w));

        QVERIFY(prompts.shown.empty());
        const QStringList mostrate{QString::fromStdString(veloce), "Rossi S.r.l.", "TD01 fattura",
                                   "2024-05-31", "VELOCE/1"};
        QCOMPARE(viste, (QList<QStringList>{QStringList(5, QString()), mostrate}));
        QCOMPARE(w->FFileXml, veloce);
        QCOMPARE(voci(*w), QStringList{"v.pdf"});
        QVERIFY(!w->m_occupato->isVisible());
        QCOMPARE(w->centralWidget()->cursor().shape(), Qt::ArrowCursor);
        QTRY_VERIFY_WITH_TIMEOUT(caricata.count() > 0, 20000); // it may have come during the open
        const QString pagina = testoPagina(*w);
        QVERIFY(pagina.contains(QStringLiteral("VELOCE/1")));
        QVERIFY(!pagina.contains(QStringLiteral("LENTA/1")));
    }

    // "Esci" closes at once while an open runs; what the open brings back afterwards is dropped.
    void esciClosesAtOnceWhileAnOpenRuns() {
        strumentoLento(scrivi("lenta-contenuto.xml", fattura("FPR12", "LENTA/1")));
        const auto lenta = busta("lenta.xml.p7m");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        avvia(*w, prompts, lenta);
        const auto annulla = w->m_annulla;
        QTest::mouseClick(w->btnEsci, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QVERIFY(w->aperturaInCorso());
        QVERIFY(annulla->load());

        std::ofstream(cancello()) << "";
        QVERIFY(finita(*w));
        QVERIFY(prompts.shown.empty());
        QCOMPARE(w->STNumDoc->text(), QString());
        QVERIFY(w->FFileXml.empty());
    }

    void utilityCommands() {
        const auto file = scrivi("f.xml", fattura("FPR12", "1", {{"u.bin", "dati"}}));
        const auto testo = scrivi("nota.txt", "abc");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));

        w->eseguiComando([&] { w->btnEstraiPM7Click(); }); // an .xml is shown: nothing happens
        QVERIFY(prompts.shown.empty());

        prompts.answers = {testo};
        w->eseguiComando([&] { w->btndecodificaClick(); });
        QCOMPARE(
            prompts.shown,
            std::vector<std::string>{
                "message: Formato del file selezionato non corretto. Selezionare file in .xml"});
        QVERIFY(!fs::exists(allegati()));

        prompts.answers = {file};
        w->eseguiComando([&] { w->btndecodificaClick(); });
        QCOMPARE(leggi(allegati() / "u.bin"), std::string("dati"));
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
