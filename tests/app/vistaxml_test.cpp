// The invoice's XML as text: decoding, folded Base64, line numbers, copying, finding, the
// signed parts and the window. Expected texts come from Qt's own decoders and from the
// fixtures' source; the signed parts from TrovaPartiFirmate of the same bytes.
#include "finestraxml.h"
#include "partifirmate.h"
#include "testmain.h"
#include "vistaxml.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextLayout>

using namespace ondivo;

namespace {

// Base64 of `n` bytes of noise (Qt's encoder), cut into lines of `riga` characters ending in
// `fine` and started by `rientro` when `riga` is not 0.
QByteArray Base64(qsizetype n, int riga = 0, const QByteArray& fine = "\n",
                  const QByteArray& rientro = {}) {
    QRandomGenerator caso(42);
    QByteArray dati(n, Qt::Uninitialized);
    for (char& c : dati)
        c = static_cast<char>(caso.bounded(256));
    const QByteArray testo = dati.toBase64();
    if (riga == 0)
        return testo;
    QByteArray righe;
    for (qsizetype p = 0; p < testo.size(); p += riga) {
        if (p > 0)
            righe += fine + rientro;
        righe += testo.mid(p, riga);
    }
    return righe;
}

QByteArray Fattura(const QByteArray& allegato, const QByteArray& fine = "\n") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + fine +
           "<p:FatturaElettronica xmlns:p=\"urn:fattura\" versione=\"FPR12\">" + fine +
           "  <Descrizione>Caffè in grani</Descrizione>" + fine + "  <Attachment>" + allegato +
           "</Attachment>" + fine + "  <Dopo>fine</Dopo>" + fine + "</p:FatturaElettronica>" + fine;
}

// The line, from 1, where `dove` stands in `testo`: CR LF, CR and LF each end one.
qsizetype Riga(const QString& testo, qsizetype dove) {
    static const QRegularExpression fineRiga(QStringLiteral("\r\n|\r|\n"));
    qsizetype riga = 1;
    for (auto m = fineRiga.globalMatch(testo); m.hasNext();) {
        if (m.next().capturedStart() >= dove)
            break;
        ++riga;
    }
    return riga;
}

// Shown and active: shortcuts only work in the active window.
bool Attiva(QWidget& w) {
    w.resize(900, 600);
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

QLabel* Nota(VistaXml& vista) {
    return vista.findChild<QLabel*>(QStringLiteral("notaXml"));
}

QString TestoNota(VistaXml& vista) {
    QLabel* nota = Nota(vista);
    return nota && !nota->isHidden() ? nota->text() : QString();
}

QString Documento(VistaXml& vista) {
    return vista.testo()->document()->toPlainText();
}

// The line number shown beside the block holding document position `posizione`.
qsizetype RigaMostrata(VistaXml& vista, qsizetype posizione) {
    const QTextBlock b = vista.testo()->document()->findBlock(static_cast<int>(posizione));
    return vista.rigaOriginale(b.blockNumber());
}

void Seleziona(QPlainTextEdit* area, int da, int a) {
    QTextCursor c(area->document());
    c.setPosition(da);
    c.setPosition(a, QTextCursor::KeepAnchor);
    area->setTextCursor(c);
}

void DoppioClic(VistaXml& vista, int posizione) {
    QPlainTextEdit* area = vista.testo();
    QTextCursor c(area->document());
    c.setPosition(posizione);
    area->setTextCursor(c);
    area->ensureCursorVisible();
    const QPoint punto = area->cursorRect(c).center() + QPoint(2, 0);
    QTest::mouseDClick(area->viewport(), Qt::LeftButton, {}, punto);
}

void Premi(QWidget* dove, const QString& tasto) {
    const QKeySequence sequenza = QKeySequence::fromString(tasto, QKeySequence::PortableText);
    QVERIFY2(!sequenza.isEmpty(), qPrintable(tasto));
    QTest::keyClick(dove, sequenza[0].key(), sequenza[0].keyboardModifiers());
}

// What tints the background at a document position, as the colours of its block put it.
QString Tinta(VistaXml& vista, int posizione) {
    const QTextBlock b = vista.testo()->document()->findBlock(posizione);
    const int dentro = posizione - b.position();
    for (const QTextLayout::FormatRange& f : b.layout()->formats()) {
        if (dentro < f.start || dentro >= f.start + f.length ||
            f.format.background().style() == Qt::NoBrush)
            continue;
        const QColor c = f.format.background().color();
        if (c.red() == c.green() && c.green() == c.blue())
            return QStringLiteral("grigio");
        if (c.green() > c.red() && c.green() > c.blue())
            return QStringLiteral("verde");
        return QStringLiteral("altro");
    }
    return QStringLiteral("nessuna");
}

QByteArray Utf16Le(const QString& testo, bool bom = true) {
    QByteArray b = bom ? QByteArray("\xFF\xFE") : QByteArray();
    for (QChar c : testo) {
        b += static_cast<char>(c.unicode() & 0xFF);
        b += static_cast<char>(c.unicode() >> 8);
    }
    return b;
}

QByteArray Utf16Be(const QString& testo) {
    QByteArray b("\xFE\xFF");
    for (QChar c : testo) {
        b += static_cast<char>(c.unicode() >> 8);
        b += static_cast<char>(c.unicode() & 0xFF);
    }
    return b;
}

std::string_view Vista(const QByteArray& b) {
    return std::string_view(b.constData(), static_cast<std::size_t>(b.size()));
}

const QString kFirmataUtf8 = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<p:FatturaElettronica xmlns:p=\"urn:fattura\" "
    "xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">\n"
    "  <FatturaElettronicaHeader><Denominazione>Caffè € 😀</Denominazione>"
    "</FatturaElettronicaHeader>\n"
    "  <FatturaElettronicaBody Id=\"corpo\"><Numero>123</Numero>"
    "<Attachment>%1</Attachment><Dopo>fine</Dopo></FatturaElettronicaBody>\n"
    "  <ds:Signature Id=\"F1\"><ds:SignedInfo>%2</ds:SignedInfo>"
    "<ds:SignatureValue>QUJD</ds:SignatureValue><ds:Object><x:SignedProperties "
    "xmlns:x=\"urn:xades\" Id=\"SP\"><x:SigningTime>2024</x:SigningTime></x:SignedProperties>"
    "</ds:Object></ds:Signature>\n"
    "</p:FatturaElettronica>\n");

const QString kRiferimentiUsuali = QStringLiteral(
    "<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
    "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></ds:Transforms>"
    "</ds:Reference><ds:Reference URI=\"#SP\"/>");

QString Firmata(const QString& riferimenti, const QByteArray& allegato = "QUJD") {
    return kFirmataUtf8.arg(QString::fromLatin1(allegato), riferimenti);
}

} // namespace

class TestVistaXml : public QObject {
    Q_OBJECT

private slots:
    void decodifica_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("atteso");
        QTest::addColumn<QString>("nota"); // a part of the note; empty: no note

        const QString testo = QStringLiteral("<a>Caffè € 😀 ✓</a>");
        QTest::newRow("UTF-8 senza dichiarazione") << testo.toUtf8() << testo << QString();
        QTest::newRow("UTF-8 con BOM")
            << QByteArray("\xEF\xBB\xBF") + testo.toUtf8() << testo << QString();
        const QString latino =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caffè à ÿ</a>");
        QTest::newRow("ISO-8859-1 dichiarata") << latino.toLatin1() << latino << QString();
        QTest::newRow("windows-1252 dichiarata")
            << QByteArray("<?xml version='1.0' encoding='windows-1252'?><a>\x80 \x93x\x94 \xE8</a>")
            << QStringLiteral("<?xml version='1.0' encoding='windows-1252'?><a>€ “x” è</a>")
            << QString();
        QTest::newRow("ISO-8859-15 dichiarata")
            << QByteArray("<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><a>\xA4 \xBD</a>")
            << QStringLiteral("<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><a>€ œ</a>")
            << QString();
        const QString sedici = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                              "<a>Caffè € 😀</a>");
        QTest::newRow("UTF-16 LE con BOM") << Utf16Le(sedici) << sedici << QString();
        QTest::newRow("UTF-16 BE con BOM") << Utf16Be(sedici) << sedici << QString();
        QTest::newRow("UTF-16 LE senza BOM") << Utf16Le(sedici, false) << sedici << QString();
        QTest::newRow("UTF-16 surrogato spaiato")
            << Utf16Le(QStringLiteral("<a>x")) + QByteArray("\x00\xD8", 2) +
                   Utf16Le(QStringLiteral("y</a>"), false)
            << QStringLiteral("<a>x\uFFFDy</a>") << QStringLiteral("byte non validi");
        QTest::newRow("UTF-8 troncato e interrotto")
            << QByteArray("<a>x\xC3(\xE2\x82</a>") << QStringLiteral("<a>x\uFFFD(\uFFFD</a>")
            << QStringLiteral("byte non validi per la codifica dichiarata (UTF-8): sono mostrati "
                              "come \uFFFD");
        QTest::newRow("UTF-8 surrogato codificato")
            << QByteArray("<a>\xED\xA0\x80</a>") << QStringLiteral("<a>\uFFFD\uFFFD\uFFFD</a>")
            << QStringLiteral("(UTF-8)");
        QTest::newRow("UTF-8 forma sovralunga")
            << QByteArray("<a>\xC0\x80\xF4\x90\x80\x80</a>")
            << QStringLiteral("<a>\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD</a>")
            << QStringLiteral("(UTF-8)");
        QTest::newRow("latino dichiarato come UTF-8")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Caff\xE8</a>")
            << QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Caff\uFFFD</a>")
            << QStringLiteral("(UTF-8)");
        QTest::newRow("codifica sconosciuta")
            << QByteArray("<?xml version=\"1.0\" encoding=\"KOI8-R\"?><a>b</a>")
            << QStringLiteral("<?xml version=\"1.0\" encoding=\"KOI8-R\"?><a>b</a>")
            << QStringLiteral("(KOI8-R) non è tra quelle");
        QTest::newRow("separatore di paragrafo") << QStringLiteral("<a>x\u2029y</a>").toUtf8()
                                                 << QStringLiteral("<a>x\u2029y</a>") << QString();
    }

    void decodifica() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, atteso);
        QFETCH(QString, nota);
        VistaXml vista;
        vista.mostra(Vista(xml));
        QCOMPARE(vista.testoOriginale(), atteso);
        if (nota.isEmpty())
            QCOMPARE(TestoNota(vista), QString());
        else
            QVERIFY2(TestoNota(vista).contains(nota), qPrintable(TestoNota(vista)));
        // One block per original line: what is not a line end in the text is none in the view.
        QCOMPARE(vista.testo()->document()->blockCount(), Riga(atteso, atteso.size()));
    }

    void pieghe_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("pieghe");
        QTest::addColumn<bool>("espandibile");

        QTest::newRow("allegato di 5 MB su una riga") << Fattura(Base64(3'750'000)) << 1 << false;
        QTest::newRow("allegato di 1 MB a righe CR LF")
            << Fattura(Base64(750'000, 76, "\r\n"), "\r\n") << 1 << true;
        QTest::newRow("allegato a righe rientrate")
            << Fattura("\n      " + Base64(30'000, 64, "\n", "      ") + "\n    ") << 1 << true;
        QTest::newRow("allegato a righe CR") << Fattura(Base64(3'000, 76, "\r"), "\r") << 1 << true;
        QTest::newRow("certificato e allegato")
            << Fattura(Base64(20'000) + "</Attachment><Certificato>" + Base64(1'200, 64) +
                       "</Certificato><Attachment>")
            << 2 << true;
        QTest::newRow("Base64 corto") << Fattura(Base64(180)) << 0 << false;
        QTest::newRow("descrizione di sole parole")
            << Fattura(QByteArray("Fornitura di materiale edile vario ").repeated(20)) << 0
            << false;
        QTest::newRow("Base64 in CDATA")
            << Fattura("<![CDATA[" + Base64(3'000) + "]]>") << 0 << false;
        QTest::newRow("Base64 in un commento")
            << Fattura("<!-- " + Base64(3'000) + " -->") << 0 << false;
        QTest::newRow("Base64 in un attributo")
            << Fattura("<x a=\"" + Base64(3'000) + "\"/>") << 0 << false;
        QTest::newRow("Base64 con un riferimento")
            << Fattura(Base64(1'500) + "&#10;" + Base64(1'500)) << 0 << false;
    }

    void pieghe() {
        QFETCH(QByteArray, xml);
        QFETCH(int, pieghe);
        QFETCH(bool, espandibile);
        const QString originale = QString::fromUtf8(xml);
        VistaXml vista;
        QVERIFY(Attiva(vista));
        vista.mostra(Vista(xml));

        QPlainTextEdit* area = vista.testo();
        const QString documento = Documento(vista);
        QCOMPARE(documento.count(QStringLiteral("[Base64: ")), pieghe);
        QCOMPARE(vista.testoOriginale(), originale);
        const qsizetype rigaDopo = Riga(originale, originale.indexOf(QStringLiteral("<Dopo>")));
        QCOMPARE(RigaMostrata(vista, documento.indexOf(QStringLiteral("<Dopo>"))), rigaDopo);
        QCOMPARE(vista.rigaOriginale(area->document()->blockCount() - 1),
                 Riga(originale, originale.size()));
        if (pieghe == 0)
            return;
        // The document holds placeholders, not the runs.
        QVERIFY(documento.size() < originale.size() - VistaXml::SogliaPiega);

        const int segnaposto = static_cast<int>(documento.indexOf(QStringLiteral("[Base64: ")));
        DoppioClic(vista, segnaposto + 5);
        if (!espandibile) {
            QCOMPARE(Documento(vista), documento);
            QVERIFY2(TestoNota(vista).contains(QStringLiteral("troppo lungo")) &&
                         TestoNota(vista).contains(QStringLiteral("Salva allegato")),
                     qPrintable(TestoNota(vista)));
            return;
        }
        const QString espanso = Documento(vista);
        QCOMPARE(espanso.count(QStringLiteral("[Base64: ")), pieghe - 1);
        // With every run expanded, the document is the original text, line ends as one.
        if (pieghe == 1)
            QCOMPARE(espanso, QString(originale).replace(QRegularExpression("\r\n|\r"), "\n"));
        const qsizetype inizio = originale.indexOf(QStringLiteral("<Attachment>")) + 12;
        const QString allegato = originale.mid(inizio, 1000).trimmed();
        QVERIFY(espanso.contains(QString(allegato).replace(QRegularExpression("\r\n|\r"), "\n")));
        QCOMPARE(RigaMostrata(vista, espanso.indexOf(QStringLiteral("<Dopo>"))), rigaDopo);
        QCOMPARE(vista.rigaOriginale(area->document()->blockCount() - 1),
                 Riga(originale, originale.size()));

        // Enter on the expanded run folds it again.
        QTextCursor c(area->document());
        c.setPosition(segnaposto + 10);
        area->setTextCursor(c);
        QTest::keyClick(area, Qt::Key_Return);
        QCOMPARE(Documento(vista), documento);
        QCOMPARE(vista.testoOriginale(), originale);
    }

    void copia_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("espandi");
        QTest::addColumn<QString>("daDoc");  // where the selection starts in the document
        QTest::addColumn<int>("oltre");      // characters past that
        QTest::addColumn<QString>("aDoc");   // where it ends, that text included
        QTest::addColumn<QString>("daOrig"); // what the copy is expected to start with
        QTest::addColumn<QString>("aOrig");  // and to end with

        const QByteArray lf = Fattura(Base64(300'000, 76));
        const QByteArray crlf = Fattura(Base64(30'000, 76, "\r\n"), "\r\n");
        const QString inizioRun = QString::fromLatin1(Base64(300'000, 76).left(30));
        const QString fineRun = QString::fromLatin1(Base64(300'000, 76).right(30));
        QTest::newRow("testo in chiaro") << lf << false << "<Descrizione>" << 0 << "</Descrizione>"
                                         << "<Descrizione>"
                                         << "</Descrizione>";
        QTest::newRow("attraverso una piega chiusa")
            << lf << false << "<Descrizione>" << 0 << "<Dopo>"
            << "<Descrizione>"
            << "<Dopo>";
        QTest::newRow("da dentro il segnaposto")
            << lf << false << "[Base64: " << 4 << "<Dopo>" << inizioRun << "<Dopo>";
        QTest::newRow("fino a dentro il segnaposto")
            << lf << false << "<Descrizione>" << 0 << "[Base64"
            << "<Descrizione>" << fineRun;
        QTest::newRow("righe CR LF e una piega chiusa")
            << crlf << false << "encoding" << 0 << "</p:FatturaElettronica>"
            << "encoding"
            << "</p:FatturaElettronica>";
        QTest::newRow("righe CR LF, da dentro il segnaposto")
            << crlf << false << "[Base64: " << 3 << "</p:FatturaElettronica>"
            << QString::fromLatin1(Base64(30'000, 76, "\r\n").left(30))
            << "</p:FatturaElettronica>";
        QTest::newRow("righe CR LF e una piega aperta")
            << crlf << true << "<Descrizione>" << 0 << "<Dopo>"
            << "<Descrizione>"
            << "<Dopo>";
        QTest::newRow("seleziona tutto")
            << crlf << false << QString() << 0 << QString() << QString() << QString();
    }

    void copia() {
        QFETCH(QByteArray, xml);
        QFETCH(bool, espandi);
        QFETCH(QString, daDoc);
        QFETCH(int, oltre);
        QFETCH(QString, aDoc);
        QFETCH(QString, daOrig);
        QFETCH(QString, aOrig);
        const QString originale = QString::fromUtf8(xml);
        VistaXml vista;
        QVERIFY(Attiva(vista));
        vista.mostra(Vista(xml));
        QPlainTextEdit* area = vista.testo();
        if (espandi)
            QVERIFY(vista.commutaPiega(
                static_cast<int>(Documento(vista).indexOf(QStringLiteral("[Base64")))));
        QGuiApplication::clipboard()->clear();
        QString atteso = originale;
        if (daDoc.isEmpty()) {
            Premi(area, QStringLiteral("Ctrl+A"));
        } else {
            const QString documento = Documento(vista);
            const qsizetype da = documento.indexOf(daDoc) + oltre;
            const qsizetype a = documento.indexOf(aDoc, da) + aDoc.size();
            Seleziona(area, static_cast<int>(da), static_cast<int>(a));
            const qsizetype inizio = originale.indexOf(daOrig);
            atteso =
                originale.mid(inizio, originale.indexOf(aOrig, inizio) + aOrig.size() - inizio);
        }
        Premi(area, QStringLiteral("Ctrl+C"));
        QCOMPARE(QGuiApplication::clipboard()->text(), atteso);
    }

    void ricerca_data() {
        QTest::addColumn<QString>("cercato");
        QTest::addColumn<bool>("espandi");
        QTest::addColumn<QString>("conteggio");
        QTest::addColumn<bool>("escluse"); // the bar says that folded runs are not searched

        QTest::newRow("maiuscole e minuscole") << "fattura" << false << "1 di 5" << true;
        QTest::newRow("nessun risultato") << "inesistente" << false << "Nessun risultato" << true;
        QTest::newRow("solo dentro una piega chiusa")
            << "ZZZZZZZZZZ" << false << "Nessun risultato" << true;
        QTest::newRow("nel segnaposto") << "caratteri" << false << "Nessun risultato" << true;
        QTest::newRow("dentro una piega aperta") << "zzzzzzzzzz" << true << "1 di 1" << false;
    }

    void ricerca() {
        QFETCH(QString, cercato);
        QFETCH(bool, espandi);
        QFETCH(QString, conteggio);
        QFETCH(bool, escluse);
        VistaXml vista;
        QVERIFY(Attiva(vista));
        vista.mostra(
            Vista(Fattura(Base64(600) + "ZZZZZZZZZZ" + Base64(600)) + "<!-- FATTURA, Fattura -->"));
        if (espandi)
            QVERIFY(vista.commutaPiega(
                static_cast<int>(Documento(vista).indexOf(QStringLiteral("[Base64")))));
        Premi(vista.testo(), QStringLiteral("Ctrl+F"));
        auto* testo = vista.findChild<QLineEdit*>(QStringLiteral("testoRicerca"));
        QVERIFY(testo && testo->isVisible());
        QTest::keyClicks(testo, cercato);
        QCOMPARE(vista.findChild<QLabel*>(QStringLiteral("conteggioRicerca"))->text(), conteggio);
        QCOMPARE(vista.findChild<QLabel*>(QStringLiteral("notaRicerca"))->isVisible(), escluse);
        if (conteggio != QStringLiteral("Nessun risultato"))
            QCOMPARE(vista.testo()->textCursor().selectedText().toLower(), cercato.toLower());
    }

    void passi_data() {
        QTest::addColumn<QString>("tasti");
        QTest::addColumn<QString>("conteggio");
        QTest::addColumn<QString>("selezione"); // the text selected, as it is written

        QTest::newRow("nessun passo") << ""
                                      << "1 di 3"
                                      << "Fattura";
        QTest::newRow("F3") << "F3"
                            << "2 di 3"
                            << "FATTURA";
        QTest::newRow("F3 fino a ricominciare") << "F3,F3,F3"
                                                << "1 di 3"
                                                << "Fattura";
        QTest::newRow("Maiusc+F3 dal primo") << "Shift+F3"
                                             << "3 di 3"
                                             << "fattura";
        QTest::newRow("Invio") << "Return"
                               << "2 di 3"
                               << "FATTURA";
        QTest::newRow("Maiusc+Invio") << "Shift+Return"
                                      << "3 di 3"
                                      << "fattura";
    }

    void passi() {
        QFETCH(QString, tasti);
        QFETCH(QString, conteggio);
        QFETCH(QString, selezione);
        VistaXml vista;
        QVERIFY(Attiva(vista));
        vista.mostra("<a>Fattura</a>\n<b>FATTURA</b>\n<c>fattura</c>\n");
        vista.apriRicerca();
        auto* testo = vista.findChild<QLineEdit*>(QStringLiteral("testoRicerca"));
        QTest::keyClicks(testo, QStringLiteral("fattura"));
        for (const QString& tasto : tasti.split(u',', Qt::SkipEmptyParts))
            Premi(testo, tasto);
        QCOMPARE(vista.findChild<QLabel*>(QStringLiteral("conteggioRicerca"))->text(), conteggio);
        QCOMPARE(vista.testo()->textCursor().selectedText(), selezione);
        QCOMPARE(vista.testo()->extraSelections().size(), 3);

        Premi(testo, QStringLiteral("Esc"));
        QVERIFY(!vista.ricercaAperta());
        QVERIFY(vista.testo()->extraSelections().isEmpty());
    }

    void solaLettura_data() {
        QTest::addColumn<QString>("tasti");
        QTest::newRow("lettere") << "a,b,Shift+C";
        QTest::newRow("Invio fuori da una piega") << "Return";
        QTest::newRow("Canc e Backspace") << "Del,Backspace";
        QTest::newRow("Tab") << "Tab";
        QTest::newRow("incolla") << "Ctrl+V";
        QTest::newRow("taglia tutto") << "Ctrl+A,Ctrl+X";
        QTest::newRow("annulla") << "Ctrl+Z";
    }

    void solaLettura() {
        QFETCH(QString, tasti);
        const QByteArray xml = Fattura(Base64(600));
        VistaXml vista;
        QVERIFY(Attiva(vista));
        vista.mostra(Vista(xml));
        const QString documento = Documento(vista);
        QGuiApplication::clipboard()->setText(QStringLiteral("incollato"));
        QTextCursor c(vista.testo()->document());
        c.setPosition(10);
        vista.testo()->setTextCursor(c);
        for (const QString& tasto : tasti.split(u','))
            Premi(vista.testo(), tasto);
        QCOMPARE(Documento(vista), documento);
        QCOMPARE(vista.testoOriginale(), QString::fromUtf8(xml));
    }

    void firme_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("notaBusta");
        QTest::addColumn<QStringList>("sonde"); // "text=tint": the tint at the text's start
        QTest::addColumn<QString>("nota");

        const QStringList usuali = {
            "<FatturaElettronicaHeader=verde", "<Numero>=verde",   "<Dopo>=verde",
            "<ds:SignatureValue>=grigio",      "Id=\"SP\"=grigio", "</p:FatturaElettronica>=verde"};
        const QString legenda =
            QStringLiteral("In verde la parte che la firma dichiara di coprire");
        QTest::newRow("avvolta e proprietà firmate")
            << Firmata(kRiferimentiUsuali).toUtf8() << QString() << usuali << legenda;
        QTest::newRow("con un allegato ripiegato")
            << Firmata(kRiferimentiUsuali, Base64(20'000, 76)).toUtf8() << QString()
            << (QStringList(usuali) << "[Base64=verde") << legenda;
        QTest::newRow("in UTF-16")
            << Utf16Le(Firmata(kRiferimentiUsuali, Base64(2'000)).replace("UTF-8", "UTF-16"))
            << QString() << (QStringList(usuali) << "[Base64=verde") << legenda;
        QTest::newRow("in ISO-8859-1") << Firmata(kRiferimentiUsuali)
                                              .remove(QStringLiteral(" € 😀"))
                                              .replace("UTF-8", "ISO-8859-1")
                                              .toLatin1()
                                       << QString() << usuali << legenda;
        QTest::newRow("righe CR LF")
            << Firmata(kRiferimentiUsuali, Base64(20'000, 76, "\r\n"))
                   .replace("\n", "\r\n")
                   .toUtf8()
            << QString() << (QStringList(usuali) << "[Base64=verde") << legenda;
        QTest::newRow("solo il corpo")
            << Firmata(QStringLiteral("<ds:Reference URI=\"#corpo\"/>")).toUtf8() << QString()
            << QStringList{"<FatturaElettronicaHeader=nessuna", "<Numero>=verde",
                           "</FatturaElettronicaBody>=verde", "<ds:SignatureValue>=grigio",
                           "</p:FatturaElettronica>=nessuna"}
            << legenda;
        QTest::newRow("riferimento esterno")
            << Firmata(QStringLiteral("<ds:Reference URI=\"http://example.invalid/f.xml\"/>"))
                   .toUtf8()
            << QString() << QStringList{"<Numero>=nessuna", "<ds:SignatureValue>=grigio"}
            << "Firma F1: il riferimento punta a http://example.invalid/f.xml, fuori da questo "
               "testo.";
        QTest::newRow("contenuto di una busta")
            << Firmata(kRiferimentiUsuali).toUtf8()
            << "Tutto il testo mostrato è il contenuto firmato della busta."
            << QStringList{"<Numero>=nessuna", "<ds:SignatureValue>=nessuna"}
            << "Tutto il testo mostrato è il contenuto firmato della busta.";
        QTest::newRow("non ben formato")
            << QByteArray("<a><b></a>") << QString() << QStringList{"<b>=nessuna"}
            << "Il testo non è XML ben formato (riga 1: </a> chiude <b>): le firme, se ci sono, "
               "non vengono indicate.";
    }

    void firme() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, notaBusta);
        QFETCH(QStringList, sonde);
        QFETCH(QString, nota);
        VistaXml vista;
        vista.mostra(Vista(xml),
                     notaBusta.isEmpty() ? TrovaPartiFirmate(Vista(xml)) : PartiFirmate{},
                     notaBusta);
        const QString documento = Documento(vista);
        for (const QString& sonda : sonde) {
            const qsizetype uguale = sonda.lastIndexOf(u'=');
            const QString dove = sonda.left(uguale);
            const qsizetype p = documento.indexOf(dove);
            QVERIFY2(p >= 0, qPrintable(dove));
            QCOMPARE(Tinta(vista, static_cast<int>(p)), sonda.mid(uguale + 1));
        }
        QVERIFY2(TestoNota(vista).contains(nota), qPrintable(TestoNota(vista)));

        // Expanding a run keeps the tints on the same text.
        const qsizetype piega = documento.indexOf(QStringLiteral("[Base64"));
        if (piega < 0)
            return;
        QVERIFY(vista.commutaPiega(static_cast<int>(piega)));
        const QString espanso = Documento(vista);
        for (const QString& sonda : sonde) {
            const qsizetype uguale = sonda.lastIndexOf(u'=');
            const qsizetype p = espanso.indexOf(sonda.left(uguale));
            if (p >= 0)
                QCOMPARE(Tinta(vista, static_cast<int>(p)), sonda.mid(uguale + 1));
        }
        QCOMPARE(Tinta(vista, static_cast<int>(piega + 100)), QStringLiteral("verde"));
    }

    void finestra_data() {
        QTest::addColumn<QString>("tasti");
        QTest::addColumn<bool>("barraAperta");
        QTest::addColumn<bool>("finestraAperta");

        QTest::newRow("Ctrl+F apre la ricerca") << "Ctrl+F" << true << true;
        QTest::newRow("Esc chiude la ricerca") << "Ctrl+F,Esc" << false << true;
        QTest::newRow("Esc due volte chiude la finestra") << "Ctrl+F,Esc,Esc" << false << false;
        QTest::newRow("Esc senza ricerca chiude la finestra") << "Esc" << false << false;
        QTest::newRow("Ctrl+W chiude la finestra") << "Ctrl+W" << false << false;
    }

    void finestra() {
        QFETCH(QString, tasti);
        QFETCH(bool, barraAperta);
        QFETCH(bool, finestraAperta);
        QPointer<FinestraXml> f = FinestraXml::apri(Firmata(kRiferimentiUsuali).toStdString(),
                                                    QStringLiteral("IT01234567890_FPR02.xml"));
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(f->objectName(), QStringLiteral("FinestraXml"));
        QCOMPARE(f->windowTitle(), QStringLiteral("XML – IT01234567890_FPR02.xml"));
        QVERIFY(!f->isModal());
        QVERIFY(TestoNota(*f->vista()).contains(QStringLiteral("In verde")));
        for (const QString& tasto : tasti.split(u','))
            Premi(QApplication::focusWidget() ? QApplication::focusWidget() : f.data(), tasto);
        if (!finestraAperta) {
            QTRY_VERIFY(f.isNull());
            return;
        }
        QCOMPARE(f->vista()->ricercaAperta(), barraAperta);
        if (barraAperta)
            QCOMPARE(QApplication::focusWidget(),
                     f->findChild<QLineEdit*>(QStringLiteral("testoRicerca")));
        delete f;
    }

    void finestraDiUnaBusta() {
        QPointer<FinestraXml> f = FinestraXml::apri(
            Firmata(kRiferimentiUsuali).toStdString(), QStringLiteral("fattura.xml.p7m"),
            QStringLiteral("Tutto il testo mostrato è il contenuto firmato "
                           "della busta."));
        QCOMPARE(TestoNota(*f->vista()),
                 QStringLiteral("Tutto il testo mostrato è il contenuto firmato della busta."));
        const QString documento = Documento(*f->vista());
        QCOMPARE(Tinta(*f->vista(), static_cast<int>(documento.indexOf("<Numero>"))),
                 QStringLiteral("nessuna"));
        delete f;
    }
};

ONDIVO_QTEST_MAIN(TestVistaXml)
#include "vistaxml_test.moc"
