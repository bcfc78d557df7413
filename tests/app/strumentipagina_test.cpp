#include "barraricerca.h"
#include "documentoaperto.h"
#include "fakeprompts.h"
#include "htmlview.h"
#include "layoutstampa.h"
#include "livellizoom.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <algorithm>

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QWebEnginePage>

#include <map>

namespace ondivo {

namespace {

// "pomodoro" three times, in different boxes and cases.
const QByteArray kTrePomodori = "<html><body><p>pomodoro</p><p>Un bel Pomodoro rosso</p>"
                                "<table><tr><td>POMODORO</td></tr></table></body></html>";
const QByteArray kDuePomodori = "<html><body><p>pomodoro</p><p>pomodoro</p></body></html>";

// Closes the print preview once it shows, and keeps what it showed.
class ChiudiAnteprima : public QObject {
public:
    ChiudiAnteprima() {
        connect(&m_sonda, &QTimer::timeout, this, &ChiudiAnteprima::guarda);
        m_sonda.start(50);
    }

    bool vista = false;
    int pagine = 0;
    QPageLayout layout;
    // The first sheet as the preview draws it, at 144 dpi: a pixel is half a point.
    QImage foglio;

private:
    // Polled rather than waited for: the preview asks for its pages before it shows, from
    // inside an event loop of its own.
    void guarda() {
        auto* anteprima = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!anteprima)
            return;
        vista = true;
        pagine = anteprima->findChild<QPrintPreviewWidget*>()->pageCount();
        layout = anteprima->printer()->pageLayout();
        foglio = primoFoglio(*anteprima);
        anteprima->reject();
    }

    // The preview's scene holds one item per sheet, its origin at the paper's corner.
    static QImage primoFoglio(QPrintPreviewDialog& anteprima) {
        auto* vista = anteprima.findChild<QGraphicsView*>();
        if (!vista || !vista->scene())
            return {};
        QGraphicsItem* primo = nullptr;
        for (QGraphicsItem* voce : vista->scene()->items())
            if (!voce->parentItem() && (!primo || voce->scenePos().y() < primo->scenePos().y()))
                primo = voce;
        if (!primo)
            return {};
        const QPrinter& stampante = *anteprima.printer();
        const QSizeF carta = stampante.pageLayout().fullRectPixels(stampante.resolution()).size();
        const QSize pixel = stampante.pageLayout().fullRectPoints().size() * 2;
        QImage immagine(pixel, QImage::Format_RGB32);
        immagine.fill(Qt::white);
        QPainter pittore(&immagine);
        pittore.setRenderHint(QPainter::SmoothPixmapTransform);
        vista->scene()->render(&pittore, QRectF(QPointF(0, 0), QSizeF(pixel)),
                               QRectF(primo->scenePos(), carta));
        return immagine;
    }

    QTimer m_sonda;
};

// Stands in for the system's browser, opening nothing.
class NessunBrowser : public QObject {
    Q_OBJECT

public slots:
    void apri(const QUrl&) {}
};

// A key as QKeySequence writes it ("Ctrl++", "Shift+F3", "Ctrl+Num++" on the keypad).
QKeyCombination combinazione(const QString& testo) {
    const QKeySequence sequenza = QKeySequence::fromString(testo, QKeySequence::PortableText);
    return sequenza.isEmpty() ? QKeyCombination() : sequenza[0];
}

void premi(QWidget* dove, const QString& tasto) {
    const QKeyCombination c = combinazione(tasto);
    QTest::keyClick(dove, c.key(), c.keyboardModifiers());
}

// Runs a poppler tool; false when it is not installed or fails.
bool poppler(const QString& programma, const QStringList& argomenti, QByteArray* uscita = nullptr) {
    if (QStandardPaths::findExecutable(programma).isEmpty())
        return false;
    QProcess p;
    p.start(programma, argomenti);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return false;
    if (uscita)
        *uscita = p.readAllStandardOutput();
    return true;
}

} // namespace

// The page tools of the window: find in the page, zoom, print, their buttons and shortcuts.
class TestStrumentiPagina : public QObject {
    Q_OBJECT

private:
    // Prints the window's page as the preview does, on a PDF printer writing `pdf`: A4 with the
    // program's margins, at 144 dpi, the pages of `intervalli` (all when empty).
    static bool stampaSuPdf(TFONDIVO& w, const QString& pdf, const QPageRanges& intervalli = {}) {
        QPrinter stampante(QPrinter::HighResolution);
        stampante.setOutputFormat(QPrinter::PdfFormat);
        stampante.setOutputFileName(pdf);
        stampante.setResolution(144);
        if (!stampante.setPageLayout(LayoutStampa()))
            return false;
        stampante.setPageRanges(intervalli);
        w.eseguiComando([&] { w.stampaPagina(stampante); });
        return true;
    }

    // A window shown and active, showing `html` as an invoice's page once loaded.
    static std::unique_ptr<TFONDIVO> finestra(test::FakePrompts& prompts,
                                              const QByteArray& html = kTrePomodori) {
        auto w = std::make_unique<TFONDIVO>(prompts);
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            return nullptr;
        if (!html.isEmpty() && !mostra(*w, html))
            return nullptr;
        return w;
    }

    // Shows the page as the open command shows an invoice; true once it has loaded.
    [[nodiscard]] static bool mostra(TFONDIVO& w, const QByteArray& html) {
        QSignalSpy caricata(w.WebBrowser1, &QWebEngineView::loadFinished);
        DocumentoAperto documento;
        documento.gestito = true;
        documento.pagina = html.toStdString();
        documento.dati = documento.xml = std::make_shared<const std::string>(
            "<p:FatturaElettronica xmlns:p=\"x\">pomodori</p:FatturaElettronica>");
        w.mostraDocumento("/fatture/pomodori.xml", documento);
        return caricata.wait(20000) && caricata.last().at(0).toBool();
    }

    // Where the keys go: the page, the attachment list or the find field.
    static QWidget* fuoco(TFONDIVO& w, const QString& dove) {
        QWidget* widget = w.LBAlleg;
        if (dove == QLatin1String("pagina"))
            widget = w.WebBrowser1->focusProxy() ? w.WebBrowser1->focusProxy() : w.WebBrowser1;
        else if (dove == QLatin1String("campo"))
            widget = campo(w);
        widget->setFocus(Qt::OtherFocusReason);
        return widget;
    }

    static QLineEdit* campo(TFONDIVO& w) { return w.barraRicerca->campo(); }
    static QString conteggio(TFONDIVO& w) { return w.barraRicerca->conteggio()->text(); }
    static QAction* azione(TFONDIVO& w, const QString& nome) { return w.findChild<QAction*>(nome); }

    // Opens the bar and types the text; true once the count shows `atteso`.
    [[nodiscard]] static bool cerca(TFONDIVO& w, const QString& testo, const QString& atteso) {
        premi(QApplication::focusWidget(), QStringLiteral("Ctrl+F"));
        if (QApplication::focusWidget() != campo(w))
            return false;
        QTest::keyClicks(campo(w), testo);
        return QTest::qWaitFor([&] { return conteggio(w) == atteso; }, 10000);
    }

    // Whether the view's picture holds the yellow or orange of the engine's marks of matches.
    static bool evidenziata(TFONDIVO& w) {
        const QImage immagine = w.WebBrowser1->grab().toImage();
        for (int y = 0; y < immagine.height(); ++y)
            for (int x = 0; x < immagine.width(); ++x) {
                const QColor c = immagine.pixelColor(x, y);
                if (c.red() > 200 && c.green() > 120 && c.blue() < 80)
                    return true;
            }
        return false;
    }

private slots:
    void toolsWaitForAnInvoice_data() {
        QTest::addColumn<QString>("pulsante");
        QTest::addColumn<QString>("nomeAzione");
        QTest::addColumn<QString>("tasto");
        QTest::newRow("trova") << "btnTrova"
                               << "azioneTrova"
                               << "Ctrl+F";
        QTest::newRow("stampa") << "btnStampa"
                                << "azioneStampa"
                                << "Ctrl+P";
        QTest::newRow("esportaPdf") << "btnEsportaPdf"
                                    << "azioneEsportaPdf"
                                    << "Ctrl+S";
    }

    void toolsWaitForAnInvoice() {
        QFETCH(QString, pulsante);
        QFETCH(QString, nomeAzione);
        QFETCH(QString, tasto);
        test::FakePrompts prompts;
        auto w = finestra(prompts, {});
        QVERIFY(w);
        auto* b = w->findChild<QPushButton*>(pulsante);
        QAction* a = azione(*w, nomeAzione);
        QVERIFY(b && a);
        // The tooltip names the shortcut that really works.
        QVERIFY2(b->toolTip().contains(QStringLiteral("(%1)").arg(tasto)),
                 qPrintable(b->toolTip()));
        QVERIFY(a->shortcuts().contains(QKeySequence(tasto)));

        QVERIFY(!b->isEnabled());
        QSignalSpy premuta(a, &QAction::triggered);
        premi(fuoco(*w, QStringLiteral("elenco")), tasto);
        QCOMPARE(premuta.count(), 0);
        QVERIFY(!w->barraRicerca->isVisible());

        QVERIFY(mostra(*w, kTrePomodori));
        QVERIFY(b->isEnabled());
        QVERIFY(a->isEnabled());
    }

    // No key press reaches two sequences: the system offers a press with Shift on a symbol
    // also without Shift (Ctrl+Shift+"=" comes as Ctrl++ too), and a press matching two
    // sequences is ambiguous and fires nothing. So Shift is held only with function keys, and
    // no two sequences of the window are the same.
    void shortcutsAreNeverAmbiguous() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        std::map<QString, QString> viste;
        for (QAction* a : w->findChildren<QAction*>()) {
            for (const QKeySequence& k : a->shortcuts()) {
                const QKeyCombination c = k[0];
                const bool funzione = c.key() >= Qt::Key_F1 && c.key() <= Qt::Key_F35;
                QVERIFY2(!(c.keyboardModifiers() & Qt::ShiftModifier) || funzione,
                         qPrintable(a->objectName() + QLatin1Char(' ') + k.toString()));
                const auto [dove, nuova] = viste.emplace(k.toString(), a->objectName());
                QVERIFY2(nuova, qPrintable(k.toString() + QStringLiteral(": ") + dove->second +
                                           QStringLiteral(", ") + a->objectName()));
            }
        }
        QVERIFY(viste.count(QStringLiteral("Ctrl++")));
    }

    // Every shortcut fires its command wherever the focus is in the window, the page included.
    void shortcutsReachTheirCommands_data() {
        QTest::addColumn<QString>("nomeAzione");
        QTest::addColumn<QString>("tasto");
        QTest::addColumn<QString>("dove");
        const std::pair<const char*, const char*> tasti[] = {
            {"azioneTrova", "Ctrl+F"},
            {"azioneTrovaSuccessivo", "F3"},
            {"azioneTrovaPrecedente", "Shift+F3"},
            {"azioneStampa", "Ctrl+P"},
            {"azioneEsportaPdf", "Ctrl+S"},
            {"azioneZoomAvanti", "Ctrl++"},
            {"azioneZoomAvanti", "Ctrl+="},
            {"azioneZoomAvanti", "Ctrl+Num++"},
            {"azioneZoomIndietro", "Ctrl+-"},
            {"azioneZoomIndietro", "Ctrl+Num+-"},
            {"azioneZoomNormale", "Ctrl+0"},
            {"azioneZoomNormale", "Ctrl+Num+0"},
            {"azioneApri", "Ctrl+O"},
            {"azioneGuida", "F1"},
        };
        for (const auto& [nome, tasto] : tasti)
            for (const char* dove : {"pagina", "elenco", "campo"})
                QTest::addRow("%s/%s", tasto, dove) << nome << tasto << dove;
    }

    void shortcutsReachTheirCommands() {
        QFETCH(QString, nomeAzione);
        QFETCH(QString, tasto);
        QFETCH(QString, dove);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        if (dove == QLatin1String("campo"))
            w->barraRicerca->apri();
        QSignalSpy eseguita(azione(*w, nomeAzione), &QAction::triggered);
        ChiudiAnteprima chiudi;
        // The guide goes to the system's browser: here, nowhere.
        NessunBrowser guida;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &guida, "apri");
        const auto ripristina =
            qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
        premi(fuoco(*w, dove), tasto);
        QCOMPARE(eseguita.count(), 1);
        QCOMPARE(chiudi.vista, nomeAzione == QLatin1String("azioneStampa"));
        QCOMPARE(prompts.shown, std::vector<std::string>());
    }

    // A search in a page with three matches: each row is a series of steps and the count
    // after each. A step is a key pressed where the focus is, or a button of the bar clicked.
    void findCountsTheMatches_data() {
        QTest::addColumn<QString>("dove");
        QTest::addColumn<QStringList>("passi");
        QTest::addColumn<QStringList>("conteggi");
        QTest::newRow("enterGoesToTheNext")
            << "campo" << QStringList{"Return"} << QStringList{"2 di 3"};
        QTest::newRow("keypadEnterToo")
            << "campo" << QStringList{"Num+Enter"} << QStringList{"2 di 3"};
        QTest::newRow("nextWrapsToTheFirst") << "campo" << QStringList{"Return", "Return", "Return"}
                                             << QStringList{"2 di 3", "3 di 3", "1 di 3"};
        QTest::newRow("shiftEnterWrapsToTheLast")
            << "campo" << QStringList{"Shift+Return", "Shift+Return"}
            << QStringList{"3 di 3", "2 di 3"};
        QTest::newRow("f3InTheField") << "campo" << QStringList{"F3", "Shift+F3", "Shift+F3"}
                                      << QStringList{"2 di 3", "1 di 3", "3 di 3"};
        QTest::newRow("f3InThePage") << "pagina" << QStringList{"F3", "F3", "Shift+F3"}
                                     << QStringList{"2 di 3", "3 di 3", "2 di 3"};
        QTest::newRow("buttons") << "campo"
                                 << QStringList{"btnSuccessivo", "btnPrecedente", "btnPrecedente"}
                                 << QStringList{"2 di 3", "1 di 3", "3 di 3"};
    }

    void findCountsTheMatches() {
        QFETCH(QString, dove);
        QFETCH(QStringList, passi);
        QFETCH(QStringList, conteggi);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        fuoco(*w, QStringLiteral("elenco"));
        QVERIFY(cerca(*w, QStringLiteral("pomodoro"), QStringLiteral("1 di 3")));
        QWidget* destinatario = fuoco(*w, dove);
        for (int i = 0; i < passi.size(); ++i) {
            const QString& passo = passi.at(i);
            if (passo.startsWith(QLatin1String("btn")))
                QTest::mouseClick(w->barraRicerca->findChild<QPushButton*>(passo), Qt::LeftButton);
            else
                premi(destinatario, passo);
            QTRY_COMPARE_WITH_TIMEOUT(conteggio(*w), conteggi.at(i), 10000);
            QVERIFY(w->barraRicerca->isVisible());
        }
        QCOMPARE(prompts.shown, std::vector<std::string>());
    }

    void textNotFoundAndClearedText() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        QVERIFY(cerca(*w, QStringLiteral("melanzana"), QStringLiteral("Nessun risultato")));
        campo(*w)->selectAll();
        premi(campo(*w), QStringLiteral("Backspace"));
        QTRY_COMPARE(conteggio(*w), QString());
        premi(campo(*w), QStringLiteral("Return"));
        QTest::qWait(200); // an empty text searches nothing
        QCOMPARE(conteggio(*w), QString());
    }

    // Esc closes the bar wherever the focus is, and the marks of the matches go with it.
    void escClosesTheBar_data() {
        QTest::addColumn<QString>("dove");
        QTest::newRow("inTheField") << "campo";
        QTest::newRow("inThePage") << "pagina";
        QTest::newRow("onABarButton") << "btnSuccessivo";
    }

    void escClosesTheBar() {
        QFETCH(QString, dove);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        fuoco(*w, QStringLiteral("elenco"));
        QVERIFY(cerca(*w, QStringLiteral("pomodoro"), QStringLiteral("1 di 3")));
        QTRY_VERIFY_WITH_TIMEOUT(evidenziata(*w), 10000);
        QWidget* destinatario = nullptr;
        if (dove.startsWith(QLatin1String("btn"))) {
            destinatario = w->barraRicerca->findChild<QPushButton*>(dove);
            destinatario->setFocus();
        } else {
            destinatario = fuoco(*w, dove);
        }
        premi(destinatario, QStringLiteral("Esc"));
        QVERIFY(!w->barraRicerca->isVisible());
        QCOMPARE(conteggio(*w), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!evidenziata(*w), 10000);
        // The focus is not left on a hidden field.
        QVERIFY(!w->barraRicerca->isAncestorOf(QApplication::focusWidget()));

        // Opening it again shows the same search again, its text ready to be typed over.
        premi(QApplication::focusWidget(), QStringLiteral("Ctrl+F"));
        QTRY_VERIFY_WITH_TIMEOUT(conteggio(*w).endsWith(QLatin1String(" di 3")), 10000);
        QCOMPARE(campo(*w)->selectedText(), QStringLiteral("pomodoro"));
    }

    void ctrlFInTheOpenBarSelectsItsText() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        fuoco(*w, QStringLiteral("elenco"));
        QVERIFY(cerca(*w, QStringLiteral("pomodoro"), QStringLiteral("1 di 3")));
        premi(campo(*w), QStringLiteral("Return"));
        QTRY_COMPARE(conteggio(*w), QStringLiteral("2 di 3"));
        fuoco(*w, QStringLiteral("pagina"));
        premi(QApplication::focusWidget(), QStringLiteral("Ctrl+F"));
        QCOMPARE(QApplication::focusWidget(), campo(*w));
        QCOMPARE(campo(*w)->selectedText(), QStringLiteral("pomodoro"));
        QTest::qWait(200);
        QCOMPARE(conteggio(*w), QStringLiteral("2 di 3")); // not moved on
    }

    // Another invoice shown while the bar is open: the bar stays, with its text, and counts
    // the matches of the new page.
    void searchFollowsTheNextInvoice() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        fuoco(*w, QStringLiteral("elenco"));
        QVERIFY(cerca(*w, QStringLiteral("pomodoro"), QStringLiteral("1 di 3")));
        premi(campo(*w), QStringLiteral("Return"));
        QTRY_COMPARE(conteggio(*w), QStringLiteral("2 di 3"));
        QVERIFY(mostra(*w, kDuePomodori));
        QTRY_COMPARE_WITH_TIMEOUT(conteggio(*w), QStringLiteral("1 di 2"), 10000);
        QVERIFY(w->barraRicerca->isVisible());
        QCOMPARE(campo(*w)->text(), QStringLiteral("pomodoro"));
        QVERIFY(mostra(*w, "<p>nulla</p>"));
        QTRY_COMPARE_WITH_TIMEOUT(conteggio(*w), QStringLiteral("Nessun risultato"), 10000);
    }

    void zoomLevels_data() {
        QTest::addColumn<double>("da");
        QTest::addColumn<double>("su");
        QTest::addColumn<double>("giu");
        QTest::newRow("normal") << 1.0 << 1.1 << 0.9;
        QTest::newRow("asTheEngineGivesItBack") << 0.3300001 << 0.5 << 0.25;
        QTest::newRow("betweenTwoLevels") << 1.05 << 1.1 << 1.0;
        QTest::newRow("smallest") << 0.25 << 0.33 << 0.25;
        QTest::newRow("largest") << 5.0 << 5.0 << 4.0;
        QTest::newRow("belowTheLevels") << 0.2 << 0.25 << 0.2;
        QTest::newRow("aboveTheLevels") << 6.0 << 6.0 << 5.0;
    }

    void zoomLevels() {
        QFETCH(double, da);
        QFETCH(double, su);
        QFETCH(double, giu);
        QCOMPARE(ZoomSuccessivo(da), su);
        QCOMPARE(ZoomPrecedente(da), giu);
    }

    // Keys or wheel turns over the page, and the zoom after them. A wheel step is "Rotella"
    // and its turn in eighths of a degree, "+Ctrl" when Ctrl is held.
    void zoomSteps_data() {
        QTest::addColumn<QStringList>("passi");
        QTest::addColumn<int>("percento");
        QTest::newRow("in") << QStringList{"Ctrl++"} << 110;
        QTest::newRow("inTwice") << QStringList{"Ctrl++", "Ctrl+="} << 125;
        QTest::newRow("out") << QStringList{"Ctrl+-"} << 90;
        QTest::newRow("outFourTimes") << QStringList{"Ctrl+-", "Ctrl+-", "Ctrl+-", "Ctrl+-"} << 67;
        QTest::newRow("reset") << QStringList{"Ctrl++", "Ctrl++", "Ctrl++", "Ctrl+0"} << 100;
        QTest::newRow("stopsAt500") << QStringList(12, "Ctrl+Num++") << 500;
        QTest::newRow("stopsAt25") << QStringList(12, "Ctrl+Num+-") << 25;
        QTest::newRow("wheelUp") << QStringList{"Rotella 120 Ctrl"} << 110;
        QTest::newRow("wheelDown") << QStringList{"Rotella -240 Ctrl"} << 80;
        QTest::newRow("touchpadStepsAddUp")
            << QStringList{"Rotella 60 Ctrl", "Rotella 40 Ctrl", "Rotella 20 Ctrl"} << 110;
        QTest::newRow("turningBackStartsOver")
            << QStringList{"Rotella 100 Ctrl", "Rotella -100 Ctrl", "Rotella 100 Ctrl"} << 100;
        QTest::newRow("wheelWithoutCtrlScrolls") << QStringList{"Rotella 120"} << 100;
    }

    void zoomSteps() {
        QFETCH(QStringList, passi);
        QFETCH(int, percento);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        QWidget* pagina = fuoco(*w, QStringLiteral("pagina"));
        for (const QString& passo : passi) {
            const QStringList parti = passo.split(QLatin1Char(' '));
            if (parti.first() != QLatin1String("Rotella")) {
                premi(pagina, passo);
                continue;
            }
            const QPointF dove(pagina->width() / 2.0, pagina->height() / 2.0);
            QWheelEvent rotella(
                dove, pagina->mapToGlobal(dove), {}, {0, parti.at(1).toInt()}, Qt::NoButton,
                parti.size() > 2 ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(pagina, &rotella);
        }
        QTRY_COMPARE(qRound(w->WebBrowser1->zoomFactor() * 100), percento);
        if (percento != 100)
            QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Zoom %1 %").arg(percento));
    }

    // Each invoice is a page of its own; the zoom stays, however it was set.
    void zoomStaysForTheNextInvoices() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        QWidget* pagina = fuoco(*w, QStringLiteral("pagina"));
        premi(pagina, QStringLiteral("Ctrl++"));
        premi(pagina, QStringLiteral("Ctrl++"));
        const QPointF dove(10, 10);
        QWheelEvent rotella(dove, pagina->mapToGlobal(dove), {}, {0, 120}, Qt::NoButton,
                            Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pagina, &rotella);
        QTRY_COMPARE(qRound(w->WebBrowser1->zoomFactor() * 100), 150);
        for (const QByteArray& html : {kDuePomodori, kTrePomodori}) {
            QVERIFY(mostra(*w, html));
            QTRY_COMPARE(qRound(w->WebBrowser1->zoomFactor() * 100), 150);
            QTest::qWait(100);
            QCOMPARE(qRound(w->WebBrowser1->zoomFactor() * 100), 150);
        }
        premi(QApplication::focusWidget(), QStringLiteral("Ctrl+0"));
        QVERIFY(mostra(*w, kDuePomodori));
        QCOMPARE(qRound(w->WebBrowser1->zoomFactor() * 100), 100);
    }

    // Return or Enter on a focused button presses it, and only it.
    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<QString>("pulsante");
        QTest::addColumn<QString>("tasto");
        for (const char* tasto : {"Return", "Num+Enter"}) {
            for (const char* pulsante : {"btnSelFile", "btnTrova", "btnEsportaPdf", "ButtonSave",
                                         "btnEsci", "btnSuccessivo"})
                QTest::addRow("%s/%s", pulsante, tasto) << pulsante << tasto;
        }
    }

    void enterPressesTheFocusedButton() {
        QFETCH(QString, pulsante);
        QFETCH(QString, tasto);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        fuoco(*w, QStringLiteral("elenco"));
        QVERIFY(cerca(*w, QStringLiteral("pomodoro"), QStringLiteral("1 di 3")));
        std::map<QString, std::unique_ptr<QSignalSpy>> premuti;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            premuti[b->objectName()] = std::make_unique<QSignalSpy>(b, &QPushButton::clicked);
        QPushButton* b = w->findChild<QPushButton*>(pulsante);
        QVERIFY(b && b->isVisible());
        b->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), b);
        premi(b, tasto);
        for (const auto& [nome, spia] : premuti)
            QVERIFY2(spia->count() == (nome == pulsante ? 1 : 0), qPrintable(nome));
        if (pulsante == QLatin1String("btnSelFile"))
            QCOMPARE(prompts.dialogs.size(), 1u);
        if (pulsante == QLatin1String("btnEsci"))
            QVERIFY(!w->isVisible());
        if (pulsante == QLatin1String("btnSuccessivo"))
            QTRY_COMPARE(conteggio(*w), QStringLiteral("2 di 3"));
    }

    void enterInTheFindFieldPressesNoButton() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        fuoco(*w, QStringLiteral("elenco"));
        QVERIFY(cerca(*w, QStringLiteral("pomodoro"), QStringLiteral("1 di 3")));
        std::vector<std::unique_ptr<QSignalSpy>> premuti;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            premuti.push_back(std::make_unique<QSignalSpy>(b, &QPushButton::clicked));
        premi(campo(*w), QStringLiteral("Return"));
        QTRY_COMPARE(conteggio(*w), QStringLiteral("2 di 3"));
        for (const auto& spia : premuti)
            QCOMPARE(spia->count(), 0);
        QVERIFY(w->isVisible());
        QVERIFY(prompts.dialogs.empty());
    }

    // The print preview shows the page on the sheet every print is laid out on.
    void printPreviewShowsTheInvoice() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        ChiudiAnteprima chiudi;
        QTest::mouseClick(w->btnStampa, Qt::LeftButton);
        QVERIFY(chiudi.vista);
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QCOMPARE(chiudi.pagine, 1);
        QCOMPARE(chiudi.layout.pageSize().id(), QPageSize::A4);
        QCOMPARE(chiudi.layout.orientation(), QPageLayout::Portrait);
        QCOMPARE(chiudi.layout.margins(QPageLayout::Millimeter), QMarginsF(18, 12, 12, 14));
    }

    // The preview shows each sheet as the printer gets it: the total at the right of an
    // invoice and the "pagina 1 di 1" at its foot are inside the sheet, where the PDF printed
    // from the same page has them (poppler finds them there: an oracle of its own).
    void previewShowsTheSheetAsPrinted() {
        test::FakePrompts prompts;
        auto w = finestra(prompts,
                          "<html><head><style>body{margin:0;font:14pt sans-serif}"
                          "table{width:100%;border-collapse:collapse}td{border:1px solid #000}"
                          "td.n{text-align:right}</style></head><body><h1>Fattura 7</h1>"
                          "<table><tr><td>Descrizione</td><td>Quantit&agrave;</td>"
                          "<td class=n>Importo</td></tr><tr><td>Consulenza</td><td>1</td>"
                          "<td class=n>1.011,94</td></tr><tr><td colspan=2>Totale documento</td>"
                          "<td class=n>8.765,43</td></tr></table><p>pagina 0123456789 di prova</p>"
                          "</body></html>");
        QVERIFY(w);
        test::TempDir cartella;
        const QString pdf = QString::fromStdString((cartella.path() / "stampa.pdf").string());
        QVERIFY(stampaSuPdf(*w, pdf));
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QByteArray parole;
        if (!poppler(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"}, &parole))
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString radice = QString::fromStdString((cartella.path() / "foglio").string());
        QVERIFY(poppler(QStringLiteral("pdftoppm"), {"-r", "144", "-gray", pdf, radice}));
        const QImage stampato(radice + QStringLiteral("-1.pgm"));
        QCOMPARE(stampato.size(), QSize(1190, 1684));

        ChiudiAnteprima chiudi;
        QTest::mouseClick(w->btnStampa, Qt::LeftButton);
        QVERIFY(chiudi.vista);
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QCOMPARE(chiudi.foglio.size(), QSize(1190, 1684));
        chiudi.foglio.save(QString::fromStdString((cartella.path() / "anteprima.png").string()));

        // Dark pixels inside a box of points.
        const auto inchiostro = [](const QImage& img, const QRectF& box) {
            int n = 0;
            const QRect r = QRectF(box.topLeft() * 2, box.bottomRight() * 2)
                                .adjusted(-2, -2, 2, 2)
                                .toAlignedRect() &
                            img.rect();
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    n += qGray(img.pixel(x, y)) < 220 ? 1 : 0;
            return n;
        };
        const QRegularExpression parola(
            QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                           "yMax=\"([\\d.]+)\">([^<]*)</word>"));
        QStringList trovate;
        for (auto m = parola.globalMatch(QString::fromUtf8(parole)); m.hasNext();) {
            const auto p = m.next();
            const QString testo = p.captured(5);
            if (testo != QLatin1String("8.765,43") && testo != QLatin1String("pagina") &&
                testo != QLatin1String("di"))
                continue;
            trovate << testo;
            const QRectF box(QPointF(p.captured(1).toDouble(), p.captured(2).toDouble()),
                             QPointF(p.captured(3).toDouble(), p.captured(4).toDouble()));
            const int atteso = inchiostro(stampato, box);
            const int visto = inchiostro(chiudi.foglio, box);
            QVERIFY2(atteso > 0 && visto * 2 >= atteso && visto <= atteso * 2,
                     qPrintable(QStringLiteral("%1 at (%2, %3): %4 dark pixels in the preview, "
                                               "%5 on the printed sheet")
                                    .arg(testo)
                                    .arg(box.left())
                                    .arg(box.top())
                                    .arg(visto)
                                    .arg(atteso)));
        }
        QVERIFY2(trovate.contains(QLatin1String("8.765,43")) &&
                     trovate.contains(QLatin1String("pagina")) &&
                     trovate.contains(QLatin1String("di")),
                 qPrintable(trovate.join(u',')));
        // Sheet against sheet: a shift of the margins' width would differ nearly everywhere
        // there is ink.
        int diversi = 0;
        for (int y = 0; y < stampato.height(); ++y)
            for (int x = 0; x < stampato.width(); ++x)
                diversi +=
                    qAbs(qGray(stampato.pixel(x, y)) - qGray(chiudi.foglio.pixel(x, y))) > 128 ? 1
                                                                                               : 0;
        QVERIFY2(diversi < stampato.width() * stampato.height() / 200,
                 qPrintable(QStringLiteral("%1 pixels differ").arg(diversi)));
    }

    // Printed to a PDF file from the print dialog, the page is the exported PDF: text that a
    // reader finds, the foot's numbers, the invoice inside, and no sheet-sized pictures.
    void printToPdfFileGivesTheVectorPdf() {
        test::FakePrompts prompts;
        auto w = finestra(prompts, "<html><body><p>Un bel Pomodoro rosso</p>"
                                   "<p>pagina 0123456789 di prova</p></body></html>");
        QVERIFY(w);
        test::TempDir cartella;
        const QString pdf = QString::fromStdString((cartella.path() / "stampa.pdf").string());
        QVERIFY(stampaSuPdf(*w, pdf));
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QByteArray testo, allegati, immagini;
        if (!poppler(QStringLiteral("pdftotext"), {pdf, "-"}, &testo))
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY2(testo.contains("Un bel Pomodoro rosso"), testo.constData());
        QVERIFY2(testo.contains("pagina 1 di 1"), testo.constData());
        QVERIFY(poppler(QStringLiteral("pdfdetach"), {"-list", pdf}, &allegati));
        QVERIFY2(allegati.contains("pomodori.xml"), allegati.constData());
        QVERIFY(poppler(QStringLiteral("pdfimages"), {"-list", pdf}, &immagini));
        QCOMPARE(immagini.count('\n'), 2); // the header lines only
    }

    // What the preview prints, printed to a PDF file: an A4 sheet whose ink begins and ends
    // where the margins do, whatever @page says. The page is a black block as wide as it can
    // be and 60 mm high.
    void printsOnA4WithinTheMargins_data() {
        QTest::addColumn<QByteArray>("regolaPagina");
        QTest::newRow("noPageRule") << QByteArray();
        QTest::newRow("noPageMargins") << QByteArray("@page { margin: 0 }");
        QTest::newRow("theStylesheetsRule")
            << QByteArray("@page { size: A4 portrait; margin: 12mm 12mm 14mm 18mm; }");
        QTest::newRow("otherMargins") << QByteArray("@page { margin: 30mm 5mm; }");
    }

    void printsOnA4WithinTheMargins() {
        QFETCH(QByteArray, regolaPagina);
        test::FakePrompts prompts;
        auto w = finestra(prompts, "<html><head><style>" + regolaPagina +
                                       " html,body{margin:0} div{height:60mm;background:#000;"
                                       "print-color-adjust:exact;-webkit-print-color-adjust:exact}"
                                       "</style></head><body><div></div></body></html>");
        QVERIFY(w);
        test::TempDir cartella;
        const QString pdf = QString::fromStdString((cartella.path() / "stampa.pdf").string());
        QVERIFY(stampaSuPdf(*w, pdf));
        QCOMPARE(prompts.shown, std::vector<std::string>());

        QByteArray info;
        if (!poppler(QStringLiteral("pdfinfo"), {pdf}, &info))
            QSKIP("pdfinfo (poppler-utils) is not installed");
        const auto campoInfo = [&](const char* nome) {
            const QRegularExpression re(QStringLiteral("^%1:\\s+(.*)$").arg(QLatin1String(nome)),
                                        QRegularExpression::MultilineOption);
            return re.match(QString::fromUtf8(info)).captured(1);
        };
        QCOMPARE(campoInfo("Pages"), QStringLiteral("1"));
        QVERIFY2(campoInfo("Page size").endsWith(QLatin1String("(A4)")), info.constData());

        // At 72 dpi a pixel is a point: the margins are 51 pt left, 34 right and top.
        const QString radice = QString::fromStdString((cartella.path() / "foglio").string());
        QVERIFY(poppler(QStringLiteral("pdftoppm"), {"-r", "72", "-gray", pdf, radice}));
        const QImage foglio(radice + QStringLiteral("-1.pgm"));
        QCOMPARE(foglio.size(), QSize(595, 842));
        int sinistra = -1, destra = -1, alto = -1, basso = -1;
        for (int x = 0; x < foglio.width(); ++x)
            if (qGray(foglio.pixel(x, 100)) < 128) {
                destra = x;
                if (sinistra < 0)
                    sinistra = x;
            }
        for (int y = 0; y < foglio.height(); ++y)
            if (qGray(foglio.pixel(300, y)) < 128) {
                basso = y;
                if (alto < 0)
                    alto = y;
            }
        const auto circa = [](int misura, double atteso) { return qAbs(misura - atteso) <= 2; };
        QVERIFY2(circa(sinistra, 51) && circa(destra, 595 - 34),
                 qPrintable(QStringLiteral("ink from x %1 to %2").arg(sinistra).arg(destra)));
        QVERIFY2(circa(alto, 34) && circa(basso - alto, 170),
                 qPrintable(QStringLiteral("ink from y %1 to %2").arg(alto).arg(basso)));
    }

    // The pages chosen in the print dialog, each with "pagina n di m" at its foot, right of the
    // page's text: a page of three, the second and third printed.
    void printsTheChosenPagesNumbered() {
        test::FakePrompts prompts;
        QByteArray corpo;
        for (int i = 1; i <= 3; ++i)
            corpo += "<p style='break-after:page'>Fattura " + QByteArray::number(i) +
                     ": pagina 0123456789 di prova</p>";
        auto w = finestra(prompts, "<html><body>" + corpo + "</body></html>");
        QVERIFY(w);
        test::TempDir cartella;
        const QString pdf = QString::fromStdString((cartella.path() / "stampa.pdf").string());
        QPageRanges intervalli;
        intervalli.addRange(2, 3);
        QVERIFY(stampaSuPdf(*w, pdf, intervalli));
        QCOMPARE(prompts.shown, std::vector<std::string>());

        const QString radice = QString::fromStdString((cartella.path() / "foglio").string());
        if (!poppler(QStringLiteral("pdftoppm"), {"-r", "72", "-gray", pdf, radice}))
            QSKIP("pdftoppm (poppler-utils) is not installed");
        QVERIFY(!QFile::exists(radice + QStringLiteral("-3.pgm")));
        for (const char* n : {"-1.pgm", "-2.pgm"}) {
            const QImage foglio(radice + QLatin1String(n));
            QCOMPARE(foglio.size(), QSize(595, 842));
            // Ink in the bottom margin, ending where the right margin begins (34 pt).
            int destra = -1;
            for (int y = 810; y < 830; ++y)
                for (int x = 300; x < foglio.width(); ++x)
                    if (qGray(foglio.pixel(x, y)) < 180)
                        destra = std::max(destra, x);
            QVERIFY2(qAbs(destra - (595 - 34)) <= 3,
                     qPrintable(QStringLiteral("%1: foot ink ends at x %2").arg(n).arg(destra)));
        }
    }

    void refusedPrintNamesThePrinter() {
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(w);
        test::TempDir cartella;
        const std::string pdf = (cartella.path() / "manca" / "stampa.pdf").string();
        QPrinter stampante;
        stampante.setOutputFormat(QPrinter::PdfFormat);
        stampante.setOutputFileName(QString::fromStdString(pdf));
        w->eseguiComando([&] { w->stampaPagina(stampante); });
        // A PDF printer's file stands for the printer: the message names it.
        QCOMPARE(prompts.shown.size(), std::size_t(1));
        QVERIFY2(prompts.shown[0].rfind("error: Stampa non riuscita: ", 0) == 0 &&
                     prompts.shown[0].find(pdf) != std::string::npos,
                 prompts.shown[0].c_str());
        // The view is free again for the next print.
        prompts.shown.clear();
        stampante.setOutputFileName(QString::fromStdString((cartella.path() / "x.pdf").string()));
        w->eseguiComando([&] { w->stampaPagina(stampante); });
        QCOMPARE(prompts.shown, std::vector<std::string>());
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestStrumentiPagina)

#include "strumentipagina_test.moc"
