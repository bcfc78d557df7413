#include "qtprompts.h"
#include "tempdir.h"
#include "testmain.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace ondivo {

namespace {

// Runs `passo` on the modal dialog once it shows, polling: the dialogs run event loops of
// their own.
void quandoAppare(std::function<void(QWidget*)> passo) {
    auto* sonda = new QTimer;
    QObject::connect(sonda, &QTimer::timeout, sonda, [sonda, passo] {
        if (QWidget* modale = QApplication::activeModalWidget()) {
            sonda->stop();
            sonda->deleteLater();
            passo(modale);
        }
    });
    sonda->start(20);
}

// The popups on screen: completion lists, menus.
int popupVisibili() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->isVisible() && w->windowType() == Qt::Popup ? 1 : 0;
    return n;
}

} // namespace

// The real dialogs and boxes of the window, driven as a user drives them.
class TestQtPrompts : public QObject {
    Q_OBJECT

private slots:
    // A name typed in the file dialog and confirmed with Enter while its completion list is
    // open: the dialog returns the name, and the list goes with it instead of staying over the
    // window. Asked again, the dialog shows no list either.
    void typedNameLeavesNoCompletionOnScreen_data() {
        QTest::addColumn<bool>("attendiLista");
        // The list already open when Enter is pressed.
        QTest::newRow("listShown") << true;
        // Enter before the folder is read: the list would come after the dialog has gone.
        QTest::newRow("listStillComing") << false;
    }

    void typedNameLeavesNoCompletionOnScreen() {
        QFETCH(bool, attendiLista);
        test::TempDir cartella;
        for (const char* nome : {"fattura_gennaio.xml", "fattura_febbraio.xml", "altro.xml"})
            cartella.write(nome, "<a/>");
        QtPrompts prompts;
        bool listaVista = false;
        quandoAppare([&](QWidget* modale) {
            auto* dialogo = qobject_cast<QFileDialog*>(modale);
            auto* campo =
                dialogo ? dialogo->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!campo)
                return;
            campo->setFocus();
            QTest::keyClicks(campo, QStringLiteral("fatt"));
            // The completion comes once the folder has been read.
            listaVista = !attendiLista || QTest::qWaitFor([] { return popupVisibili() > 0; }, 5000);
            QTest::keyClicks(campo, QStringLiteral("ura_gennaio.xml"));
            QTest::keyClick(campo, Qt::Key_Return);
        });
        const auto scelto = prompts.ScegliFile(
            {cartella.path().string(), "*.xml", "fatture (.xml)|*.xml", "Prova"});
        QVERIFY(scelto);
        QCOMPARE(*scelto, (cartella.path() / "fattura_gennaio.xml").string());
        if (!listaVista)
            QSKIP("the dialog offered no completion on this platform");
        QCOMPARE(popupVisibili(), 0);
        // Nor does it come later, once the folder has been read.
        QTest::qWait(1500);
        QCOMPARE(popupVisibili(), 0);
    }

    // The warning that asks before a risky step: "Annulla" is the default (Enter) and Esc
    // cancels; only the button that goes ahead says yes. Its text is shown as given.
    void askingDefaultsToCancel_data() {
        QTest::addColumn<QString>("risposta");
        QTest::addColumn<bool>("atteso");
        QTest::newRow("enter") << "invio" << false;
        QTest::newRow("escape") << "esc" << false;
        QTest::newRow("goAhead") << "procedi" << true;
    }

    void askingDefaultsToCancel() {
        QFETCH(QString, risposta);
        QFETCH(bool, atteso);
        QtPrompts prompts;
        QString testoVisto;
        Qt::TextFormat formato = Qt::AutoText;
        quandoAppare([&](QWidget* modale) {
            auto* box = qobject_cast<QMessageBox*>(modale);
            if (!box)
                return;
            testoVisto = box->text();
            formato = box->textFormat();
            if (risposta == QLatin1String("invio")) {
                QTest::keyClick(box, Qt::Key_Return);
            } else if (risposta == QLatin1String("esc")) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == QLatin1String("Apri comunque"))
                        b->click();
            }
        });
        const bool si = prompts.Chiedi("Aprire <b>setup.exe</b>?", "Apri comunque");
        QCOMPARE(si, atteso);
        QCOMPARE(testoVisto, QStringLiteral("Aprire <b>setup.exe</b>?"));
        QCOMPARE(formato, Qt::PlainText);
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestQtPrompts)

#include "qtprompts_test.moc"
