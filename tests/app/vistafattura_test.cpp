#include "cartellaprogramma.h"
#include "fakeprompts.h"
#include "filerecenti.h"
#include "finestraxml.h"
#include "foglipersonali.h"
#include "htmlview.h"
#include "lctv.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"
#include "vistaxml.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QToolButton>
#include <QWebEnginePage>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace ondivo {

namespace {

std::string fattura(const std::string& formato, const std::string& numero) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica "
           "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">"
           "<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>" +
           formato +
           "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici>"
           "<Anagrafica><Denominazione>Caffè Rossi S.r.l.</Denominazione></Anagrafica>"
           "</DatiAnagrafici></CedentePrestatore></FatturaElettronicaHeader>"
           "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
           "<TipoDocumento>TD01</TipoDocumento><Data>2024-05-31</Data><Numero>" +
           numero +
           "</Numero></DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>"
           "</p:FatturaElettronica>\n";
}

// A user's stylesheet that writes a marker of its own and the invoice's number.
const char* const kFoglioMio =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"UTF-8\"/>"
    "<xsl:template match=\"/\"><html><body><p>FOGLIO DELL'UTENTE àè€</p><p>"
    "<xsl:value-of select=\"//Numero\"/></p></body></html></xsl:template></xsl:stylesheet>";

// One that compiles but stops every transformation.
const char* const kFoglioCheSiFerma =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">basta</xsl:message>"
    "</xsl:template></xsl:stylesheet>";

} // namespace

// What the window shows of an invoice besides its page: its XML ("Mostra XML"), the stylesheet
// its page is made with ("Foglio di stile"), the files opened last (Seleziona's menu).
class TestVistaFattura : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<test::TempDir> m_utente; // XDG_DATA_HOME and XDG_CONFIG_HOME

    std::string scrivi(const std::string& nome, const std::string& contenuto) {
        return m_dir->write("FATTURE/" + nome, contenuto);
    }

    std::unique_ptr<TFONDIVO> finestra(test::FakePrompts& prompts) {
        auto w = std::make_unique<TFONDIVO>(prompts);
        ImpostaAppDir(m_dir->path().string() + "/");
        w->show();
        return w;
    }

    [[nodiscard]] static bool apri(TFONDIVO& w, test::FakePrompts& prompts,
                                   const std::string& file) {
        prompts.answers.push_back(file);
        w.eseguiComando([&w] { w.btnSelFileClick(); });
        return QTest::qWaitFor([&w] { return !w.aperturaInCorso(); }, 60000);
    }

    static QString testoPagina(TFONDIVO& w) {
        QString risultato;
        bool pronto = false;
        w.WebBrowser1->page()->toPlainText([&](const QString& t) {
            risultato = t;
            pronto = true;
        });
        return QTest::qWaitFor([&] { return pronto; }, 10000) ? risultato : QString();
    }

    // Waits until the page's text holds `parte`.
    [[nodiscard]] static bool paginaCon(TFONDIVO& w, const QString& parte) {
        return QTest::qWaitFor([&] { return testoPagina(w).contains(parte); }, 20000);
    }

    // The actions of a menu as they are about to show, by their text.
    static QMap<QString, QAction*> voci(QMenu* menu) {
        emit menu->aboutToShow();
        QMap<QString, QAction*> mappa;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                mappa[a->text()] = a;
        return mappa;
    }

    static QMenu* sottomenu(QMenu* menu, const char* nome) {
        return menu->findChild<QMenu*>(QString::fromLatin1(nome));
    }

private slots:
    void init() {
        m_dir = std::make_unique<test::TempDir>();
        test::PreparaCartellaProgramma(m_dir->path());
        m_utente = std::make_unique<test::TempDir>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_utente->path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_utente->path().string()));
    }

    void cleanup() {
        m_dir.reset();
        m_utente.reset();
    }

    // "Mostra XML" waits for an invoice; it then shows the invoice's own text, follows the
    // invoice shown and says so of an envelope's content; Ctrl+U gives it too.
    void showXmlFollowsTheInvoiceShown() {
        const auto prima = scrivi("prima.xml", fattura("FPR12", "PRIMA/1"));
        const auto seconda = scrivi("seconda.xml", fattura("FPA12", "SECONDA/2"));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(!w->btnMostraXml->isEnabled());
        QVERIFY(!w->azioneMostraXml->isEnabled());
        QVERIFY(apri(*w, prompts, prima));
        QVERIFY(w->btnMostraXml->isEnabled());
        QTest::mouseClick(w->btnMostraXml, Qt::LeftButton);
        auto* xml = w->findChild<FinestraXml*>();
        QVERIFY(xml && xml->isVisible());
        QCOMPARE(xml->vista()->testoOriginale(), QString::fromUtf8(fattura("FPR12", "PRIMA/1")));
        QVERIFY(xml->windowTitle().endsWith(QString::fromStdString(prima)));

        QVERIFY(apri(*w, prompts, seconda));
        QCOMPARE(xml->vista()->testoOriginale(), QString::fromUtf8(fattura("FPA12", "SECONDA/2")));
        QVERIFY(xml->windowTitle().endsWith(QString::fromStdString(seconda)));
        QCOMPARE(prompts.shown, std::vector<std::string>());

        xml->close();
        QTRY_VERIFY(!w->findChild<FinestraXml*>());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_U, Qt::ControlModifier);
        QTRY_VERIFY(w->findChild<FinestraXml*>() && w->findChild<FinestraXml*>()->isVisible());
    }

    // The stylesheet chosen for a format makes its invoices' pages, now and at the next start,
    // with Ondivo's still checked for the other formats; the return to Ondivo's takes it back.
    // Nothing is written in the program folder.
    void chosenStylesheetMakesThePage() {
        const auto file = scrivi("f.xml", fattura("FPR12", "FT 9"));
        const std::string foglio = m_utente->write("fogli/mio.xsl", kFoglioMio);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY(paginaCon(*w, QStringLiteral("FT 9")));
        QVERIFY(!testoPagina(*w).contains(QLatin1String("FOGLIO DELL'UTENTE")));

        QMenu* menu = w->btnFoglioStile->menu();
        voci(menu);
        QMenu* fpr = sottomenu(menu, "menuFoglioFPR12");
        QVERIFY(fpr);
        QVERIFY(fpr->title().contains(QLatin1String("la fattura mostrata")));
        QVERIFY(fpr->findChild<QAction*>(QStringLiteral("foglioOndivo"))->isChecked());
        prompts.answers.push_back(foglio);
        fpr->findChild<QAction*>(QStringLiteral("scegliFoglio"))->trigger();
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QCOMPARE(prompts.dialogs.back().titolo,
                 std::string("Foglio di stile per le fatture FPR12"));
        QVERIFY2(paginaCon(*w, QStringLiteral("FOGLIO DELL'UTENTE")), qPrintable(testoPagina(*w)));
        QVERIFY(testoPagina(*w).contains(QLatin1String("FT 9")));

        // The menu says which, for this format only.
        voci(menu);
        fpr = sottomenu(menu, "menuFoglioFPR12");
        QAction* mio = fpr->findChild<QAction*>(QStringLiteral("foglioPersonale"));
        QVERIFY(mio && mio->isChecked());
        QCOMPARE(mio->text(), QStringLiteral("Il mio: mio.xsl"));
        QVERIFY(sottomenu(menu, "menuFoglioFPA12")
                    ->findChild<QAction*>(QStringLiteral("foglioOndivo"))
                    ->isChecked());
        QVERIFY(fs::exists(m_utente->path() / "ondivo" / FileFogliPersonali));
        for (const auto& voce : fs::recursive_directory_iterator(m_dir->path()))
            QVERIFY2(voce.path().filename() != FileFogliPersonali, voce.path().c_str());

        // A window started anew shows the invoice with it.
        w.reset();
        w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY(paginaCon(*w, QStringLiteral("FOGLIO DELL'UTENTE")));

        voci(w->btnFoglioStile->menu());
        sottomenu(w->btnFoglioStile->menu(), "menuFoglioFPR12")
            ->findChild<QAction*>(QStringLiteral("foglioOndivo"))
            ->trigger();
        QVERIFY(QTest::qWaitFor(
            [&] { return !testoPagina(*w).contains(QLatin1String("FOGLIO DELL'UTENTE")); }, 20000));
        QVERIFY(testoPagina(*w).contains(QLatin1String("FT 9")));
        QVERIFY(LeggiFogliPersonali().empty());
        QCOMPARE(prompts.shown, std::vector<std::string>());
    }

    // A stylesheet that is no stylesheet is refused when chosen; one that fails on an invoice
    // gives a clear message, once, and the page is made with Ondivo's.
    void failingStylesheetFallsBackToOndivos() {
        const auto file = scrivi("f.xml", fattura("FPR12", "FT 10"));
        const std::string nonFoglio = m_utente->write("fogli/non.xsl", "<html>non un foglio");
        const std::string siFerma = m_utente->write("fogli/ferma.xsl", kFoglioCheSiFerma);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));

        voci(w->btnFoglioStile->menu());
        prompts.answers.push_back(nonFoglio);
        sottomenu(w->btnFoglioStile->menu(), "menuFoglioFPR12")
            ->findChild<QAction*>(QStringLiteral("scegliFoglio"))
            ->trigger();
        QCOMPARE(prompts.shown.size(), std::size_t(1));
        QVERIFY2(prompts.shown[0].rfind("error: ", 0) == 0 &&
                     prompts.shown[0].find("non.xsl") != std::string::npos,
                 prompts.shown[0].c_str());
        QVERIFY(LeggiFogliPersonali().empty());

        prompts.shown.clear();
        ImpostaFoglioPersonale("FPR12", siFerma);
        QVERIFY(apri(*w, prompts, file));
        QCOMPARE(prompts.shown.size(), std::size_t(1));
        QVERIFY2(prompts.shown[0].rfind("message: ", 0) == 0 &&
                     prompts.shown[0].find("ferma.xsl") != std::string::npos &&
                     prompts.shown[0].find("foglio di Ondivo") != std::string::npos,
                 prompts.shown[0].c_str());
        QVERIFY(paginaCon(*w, QStringLiteral("FT 10")));
        // Said once: the next open says it in the status line only.
        QVERIFY(apri(*w, prompts, file));
        QCOMPARE(prompts.shown.size(), std::size_t(1));
    }

    // The PDF is made from the page as the chosen stylesheet makes it.
    void pdfFollowsTheChosenStylesheet() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const auto file = scrivi("f.xml", fattura("FPR12", "FT 11"));
        ImpostaFoglioPersonale("FPR12", m_utente->write("fogli/mio.xsl", kFoglioMio));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QSignalSpy caricata(w->WebBrowser1, &QWebEngineView::loadFinished);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY(paginaCon(*w, QStringLiteral("FOGLIO DELL'UTENTE")));
        const std::string pdf = (m_dir->path() / "f.pdf").string();
        prompts.answers.push_back(pdf);
        w->eseguiComando([&] { w->esportaPdfClick(); });
        QVERIFY(QTest::qWaitFor([&] { return w->m_esportazioniInCorso == 0; }, 60000));
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString testo = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(testo.contains(QLatin1String("FOGLIO DELL'UTENTE")), qPrintable(testo));
    }

    // The files opened last, the latest first, in the menu beside Seleziona: an invoice, a
    // folder taken whole; one no longer there is shown but cannot be chosen; choosing one
    // opens it; the list can be emptied.
    void recentFilesUnderSeleziona() {
        const auto a = scrivi("a.xml", fattura("FPR12", "A/1"));
        const auto b = scrivi("b.xml", fattura("FPR12", "B/2"));
        const auto sparita = scrivi("sparita.xml", fattura("FPR12", "C/3"));
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QMenu* menu = w->btnRecenti->menu();
        QVERIFY(voci(menu).contains(QStringLiteral("Nessun file aperto di recente")));
        for (const auto& f : {sparita, a, b})
            QVERIFY(apri(*w, prompts, f));
        fs::remove(sparita);
        QCOMPARE(LeggiFileRecenti(), (std::vector<std::string>{b, a, sparita}));
        auto mappa = voci(menu);
        QStringList testi;
        for (QAction* azione : menu->actions())
            if (!azione->isSeparator())
                testi << azione->text();
        QCOMPARE(testi.size(), 4);
        QVERIFY(testi[0].startsWith(QLatin1String("b.xml")));
        QVERIFY(testi[1].startsWith(QLatin1String("a.xml")));
        QVERIFY(testi[2].startsWith(QLatin1String("sparita.xml")) &&
                testi[2].endsWith(QLatin1String("(non trovato)")));
        QVERIFY(!mappa[testi[2]]->isEnabled());
        QCOMPARE(testi[3], QStringLiteral("Svuota l'elenco"));

        mappa[testi[1]]->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !w->aperturaInCorso(); }, 60000));
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("A/1"));
        QCOMPARE(LeggiFileRecenti().front(), a);
        QCOMPARE(prompts.shown, std::vector<std::string>());

        voci(menu)[QStringLiteral("Svuota l'elenco")]->trigger();
        QVERIFY(LeggiFileRecenti().empty());
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestVistaFattura)

#include "vistafattura_test.moc"
