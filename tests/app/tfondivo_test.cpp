#include "errors.h"
#include "fakeprompts.h"
#include "htmlview.h"
#include "lctv.h"
#include "linkaddress.h"
#include "qtprompts.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

namespace ondivo {

class TestTFONDIVO : public QObject {
    Q_OBJECT

private:
    static QString label(TFONDIVO& w, const char* name) {
        return w.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

private slots:
    void startsEmptyWithTheOrdinaryStylesheet() {
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.StFileXML->setText(QStringLiteral("placeholder"));
        w.LBAlleg->addItem(QStringLiteral("x.pdf"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const char* name : {"StFileXML", "STTipoDoc", "STNumDoc", "StDataDoc", "StFornitore"})
            QCOMPARE(label(w, name), QString());
        QCOMPARE(w.findChild<QListWidget*>(QStringLiteral("LBAlleg"))->count(), 0);
        QVERIFY(!AppDir().empty());
        QCOMPARE(AppDir().back(), '/');
        QCOMPARE(w.FFoglioStile,
                 AppDir() + "FODISTILE/Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl");
        QVERIFY(w.FFileXml.empty());
        QVERIFY(prompts.shown.empty());
        QCOMPARE(QApplication::focusWidget(),
                 w.findChild<QPushButton*>(QStringLiteral("btnSelFile")));
    }

    // Texts from invoices, file names and lower layers are shown as they are: markup in them
    // is neither drawn nor followed (an image source would be read, a link could be clicked).
    void boxesShowTextAsItIs_data() {
        QTest::addColumn<int>("icona");
        QTest::addColumn<QString>("testo");
        QTest::newRow("messageWithAnImage")
            << int(QMessageBox::NoIcon) << QStringLiteral("<img src=\"/dev/zero\"> fattura");
        QTest::newRow("errorWithALink")
            << int(QMessageBox::Critical)
            << QStringLiteral("Cannot create file \"<a href=\"file:///etc/passwd\">x</a>\".");
        QTest::newRow("errorWithEntities")
            << int(QMessageBox::Critical) << QStringLiteral("&lt;b&gt; &#47; <b>grassetto</b>");
    }

    void boxesShowTextAsItIs() {
        QFETCH(int, icona);
        QFETCH(QString, testo);
        const auto box = CreaBox(QMessageBox::Icon(icona), testo.toStdString());
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->text(), testo);
        auto* etichetta = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(etichetta);
        QCOMPARE(etichetta->textFormat(), Qt::PlainText);
        QCOMPARE(etichetta->text(), testo);
        QCOMPARE(box->windowTitle(),
                 QStringLiteral("Ondivo, Visualizzatore fatture elettroniche Italia xml/p7m"));
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QVERIFY(!box->parent());
    }

    void valueLabelsShowTextAsItIs() {
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.show();
        const QString testo = QStringLiteral("<img src=\"/dev/zero\"><a href=\"x\">y</a>");
        const QList<QLabel*> etichette = w.etichetteValori();
        QCOMPARE(etichette.size(), 5);
        for (QLabel* etichetta : etichette) {
            etichetta->setText(testo);
            QCOMPARE(etichetta->textFormat(), Qt::PlainText);
            QVERIFY(!etichetta->grab().isNull()); // drawn without reading anything
            QCOMPARE(etichetta->text(), testo);
        }
    }

    void qtDialogsSpeakItalian() {
        QTranslator traduttore;
        QVERIFY(CaricaTraduzioniQt(traduttore));
        QVERIFY(QCoreApplication::installTranslator(&traduttore));
        QMessageBox box(QMessageBox::NoIcon, QString(), QString(),
                        QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes);
        QString annulla = box.button(QMessageBox::Cancel)->text();
        QString si = box.button(QMessageBox::Yes)->text();
        QCoreApplication::removeTranslator(&traduttore);
        QCOMPARE(annulla.remove(QLatin1Char('&')), QStringLiteral("Annulla"));
        QCOMPARE(si.remove(QLatin1Char('&')), QStringLiteral("Sì"));
    }

    void linkAddress_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::newRow("bare") << "www.ondivo.it"
                              << "https://www.ondivo.it";
        QTest::newRow("blanksTrimmed") << "  www.ondivo.it "
                                       << "https://www.ondivo.it";
        QTest::newRow("prefixedKeptUntrimmed") << " https://a.it "
                                               << " https://a.it ";
        QTest::newRow("otherSchemeGetsPrefix") << "http://a.it"
                                               << "https://http://a.it";
        QTest::newRow("blankOpensNothing") << " \t"
                                           << "";
    }

    void linkAddress() {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QCOMPARE(QString::fromStdString(IndirizzoLink(text.toStdString(), "https://")), address);
    }

    void dialogFiltersInQtForm() {
        QCOMPARE(FiltriQt("fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte le fatture "
                          "(.xml, .p7m)|*.xml;*.p7m|tutti i file (*.*)|*.*"),
                 (QStringList{"fatture (.xml) (*.xml)", "fatture firmate (.p7m) (*.p7m)",
                              "tutte le fatture (.xml, .p7m) (*.xml *.p7m)",
                              "tutti i file (*.*) (*.*)"}));
        QCOMPARE(FiltriQt("solo etichetta"), QStringList());
    }

    void rightButtonPressesOnTheViewAreDropped() {
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        const QPointF p(5, 5);
        QMouseEvent destraPremuto(QEvent::MouseButtonPress, p, p, Qt::RightButton, Qt::RightButton,
                                  {});
        QMouseEvent destraDoppio(QEvent::MouseButtonDblClick, p, p, Qt::RightButton,
                                 Qt::RightButton, {});
        QMouseEvent destraRilascio(QEvent::MouseButtonRelease, p, p, Qt::RightButton, {}, {});
        QMouseEvent sinistraPremuto(QEvent::MouseButtonPress, p, p, Qt::LeftButton, Qt::LeftButton,
                                    {});
        auto* figlio = new QWidget(w.WebBrowser1);
        QVERIFY(w.ApplicationEvents1Message(w.WebBrowser1, &destraPremuto));
        QVERIFY(w.ApplicationEvents1Message(figlio, &destraPremuto));
        QVERIFY(w.ApplicationEvents1Message(figlio, &destraDoppio));
        QVERIFY(!w.ApplicationEvents1Message(figlio, &destraRilascio));
        QVERIFY(!w.ApplicationEvents1Message(figlio, &sinistraPremuto));
        QVERIFY(!w.ApplicationEvents1Message(w.LBAlleg, &destraPremuto));
        QVERIFY(!w.ApplicationEvents1Message(w.StFileXML, &destraPremuto));
    }

    void esciClosesAtOnce() {
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.show();
        QTest::mouseClick(w.btnEsci, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(prompts.shown.empty());
    }

    void hiddenControlsStayHidden() {
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.show();
        QVERIFY(!w.panUtili->isVisible());
        QVERIFY(!w.MemoXCodifica->isVisible());
        QCOMPARE(w.MemoXCodifica->toPlainText(), QStringLiteral("MemoXCodica"));
        QVERIFY(w.LBAlleg->isSortingEnabled());
    }

    void commandWrapperShowsErrorsOnly() {
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.eseguiComando([] { throw ESilentAbort(); });
        w.eseguiComando([] {});
        w.eseguiComando([] { throw OndivoError("Uneven size in DecodeToStream."); });
        w.eseguiComando([] { throw std::runtime_error("File non trovato: /x/y"); });
        QCOMPARE(prompts.shown, (std::vector<std::string>{"error: Uneven size in DecodeToStream.",
                                                          "error: File non trovato: /x/y."}));
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestTFONDIVO)
#include "tfondivo_test.moc"
