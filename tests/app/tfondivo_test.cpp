#include "errors.h"
#include "fakeprompts.h"
#include "lctv.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
        QCOMPARE(QApplication::focusWidget(), w.findChild<QPushButton*>(QStringLiteral("btnSelFile")));
    }

    void headerLabelsShowTheInvoice() {
        test::TempDir dir;
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.FFileXml = dir.write(
            "f.xml",
            "<F><CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>Caff\xC3\xA8 Rossi"
            "</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore><DatiGenerali>"
            "<DatiGeneraliDocumento><TipoDocumento>TD04</TipoDocumento><Data>2024-03-01</Data>"
            "<Numero>7</Numero></DatiGeneraliDocumento></DatiGenerali></F>");
        w.MostraDatiDocumento();
        QCOMPARE(label(w, "StFornitore"), QString::fromUtf8("Caff\xC3\xA8 Rossi"));
        QCOMPARE(label(w, "STTipoDoc"), QStringLiteral("TD04 nota di credito"));
        QCOMPARE(label(w, "StDataDoc"), QStringLiteral("2024-03-01"));
        QCOMPARE(label(w, "STNumDoc"), QStringLiteral("7"));
        QVERIFY(prompts.shown.empty());
    }

    void textNodeErrorStopsAtThatLabel() {
        test::TempDir dir;
        test::FakePrompts prompts;
        TFONDIVO w(prompts);
        w.STNumDoc->setText(QStringLiteral("old"));
        w.FFileXml = dir.write("f.xml",
                               "<F><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
                               "</TipoDocumento><Data>2024<b/></Data><Numero>7</Numero>"
                               "</DatiGeneraliDocumento></DatiGenerali></F>");
        w.eseguiComando([&w] { w.MostraDatiDocumento(); });
        QCOMPARE(label(w, "STTipoDoc"), QStringLiteral("TD01 fattura"));
        QCOMPARE(label(w, "STNumDoc"), QStringLiteral("old"));
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"error: Element does not contain a single text node."});
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
