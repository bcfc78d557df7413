#include "cartellaprogramma.h"
#include "consigliofirme.h"
#include "dialogofirme.h"
#include "errors.h"
#include "fakeprompts.h"
#include "fiducia.h"
#include "lctv.h"
#include "opensslptr.h"
#include "riquadrofirma.h"
#include "scaricamentoelenco.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>

#include <openssl/pem.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace ondivo {

namespace {

const QString kEsempio =
    QStringLiteral(ONDIVO_SOURCE_DIR "/samples/IT04382710285_FPR12_esempio.xml");
const QString kVerifica = QStringLiteral("Verifica della firma…");
const QString kValida = QStringLiteral("Firma valida");
const QString kIntegra = QStringLiteral("Firma integra, certificatore non verificato");
const QString kNonValida = QStringLiteral("Firma non valida: documento modificato dopo la firma");
const QString kNessuna = QStringLiteral("Nessuna firma");
// What the lists made here say of themselves.
const QString kSintesi = QStringLiteral("1 certificatore (IT, emesso il 02/05/2024)");
// The signer's organisation: markup that must be shown as written.
const QString kOrganizzazione = QStringLiteral("<b>Rossi</b> & Figli S.r.l.");

std::string leggi(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void scrivi(const fs::path& file, const std::string& dati) {
    std::ofstream(file, std::ios::binary) << dati;
}

// Runs a tool to its end; false, with what it said, when it fails.
bool esegui(const QString& programma, const QStringList& argomenti, const fs::path& cartella,
            QByteArray* uscita = nullptr) {
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(cartella.string()));
    p.start(programma, argomenti);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << programma << argomenti << p.readAllStandardError();
        return false;
    }
    if (uscita)
        *uscita = p.readAllStandardOutput();
    return true;
}

bool openssl(const QStringList& argomenti, const fs::path& cartella, QByteArray* uscita = nullptr) {
    return esegui(QStringLiteral(ONDIVO_OPENSSL), argomenti, cartella, uscita);
}

// The family of a colour, by hue and saturation, as a person would name it.
QString famiglia(const QColor& c) {
    if (c.hsvSaturation() < 40)
        return c.value() >= 200 ? QStringLiteral("neutro") : QStringLiteral("grigio");
    const int h = c.hsvHue();
    if (h >= 90 && h <= 150)
        return QStringLiteral("verde");
    if (h >= 30 && h <= 55)
        return QStringLiteral("ambra");
    if (h <= 15 || h >= 345)
        return c.hsvSaturation() > 150 ? QStringLiteral("rosso") : QStringLiteral("rossogrigio");
    return QStringLiteral("altro");
}

// Answers on 127.0.0.1 the GET requests for the paths it has, 404 for any other, and records
// the paths asked for.
class ServerHttp : public QObject {
public:
    ServerHttp() {
        connect(&m_server, &QTcpServer::newConnection, this, &ServerHttp::accetta);
        m_server.listen(QHostAddress::LocalHost);
    }

    QString indirizzo(const QString& percorso) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(percorso);
    }

    QMap<QString, QByteArray> pagine;
    QStringList richieste;

private:
    void accetta() {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { leggiRichiesta(s); });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    }

    void leggiRichiesta(QTcpSocket* s) {
        const QByteArray ricevuto = s->property("ricevuto").toByteArray() + s->readAll();
        s->setProperty("ricevuto", ricevuto);
        if (!ricevuto.contains("\r\n\r\n"))
            return;
        const QString percorso = QString::fromLatin1(ricevuto.split(' ').value(1));
        richieste << percorso;
        const bool trovata = pagine.contains(percorso);
        const bool guasto = percorso == QLatin1String("/guasto");
        const QByteArray corpo = trovata ? pagine.value(percorso) : QByteArray("non trovato");
        s->write((trovata  ? "HTTP/1.1 200 OK\r\n"
                  : guasto ? "HTTP/1.1 503 Service Unavailable\r\n"
                           : "HTTP/1.1 404 Not Found\r\n") +
                 QByteArray("Content-Type: application/xml\r\nContent-Length: ") +
                 QByteArray::number(corpo.size()) + "\r\nConnection: close\r\n\r\n" + corpo);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
};

// Answers every request with a long body, one byte now and then: never silent, never done.
class ServerLento : public QObject {
public:
    ServerLento() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                s->write("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\n"
                         "Content-Length: 1000000\r\n\r\n<");
                auto* goccia = new QTimer(s);
                connect(goccia, &QTimer::timeout, s, [s] { s->write("x"); });
                goccia->start(200);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QString indirizzo() const {
        return QStringLiteral("http://127.0.0.1:%1/tsl.xml").arg(m_server.serverPort());
    }

private:
    QTcpServer m_server;
};

// An https server on 127.0.0.1 (openssl s_server) whose certificate no authority vouches
// for, as a network that intercepts secure connections shows itself.
class ServerTls {
public:
    explicit ServerTls(const fs::path& cartella) {
        QProcess chiave;
        chiave.setWorkingDirectory(QString::fromStdString(cartella.string()));
        chiave.start(QStringLiteral(ONDIVO_OPENSSL),
                     {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "tls.key", "-out",
                      "tls.pem", "-subj", "/CN=127.0.0.1", "-days", "1"});
        if (!chiave.waitForFinished(60000) || chiave.exitCode() != 0)
            return;
        QTcpServer libero;
        libero.listen(QHostAddress::LocalHost);
        m_porta = libero.serverPort();
        libero.close();
        m_server.setWorkingDirectory(QString::fromStdString(cartella.string()));
        m_server.start(QStringLiteral(ONDIVO_OPENSSL),
                       {"s_server", "-accept", QStringLiteral("127.0.0.1:%1").arg(m_porta), "-cert",
                        "tls.pem", "-key", "tls.key", "-www", "-quiet"});
        // Ready once it accepts a connection.
        m_pronto = QTest::qWaitFor(
            [this] {
                QTcpSocket prova;
                prova.connectToHost(QHostAddress::LocalHost, m_porta);
                return prova.waitForConnected(200);
            },
            20000);
    }
    ~ServerTls() {
        m_server.kill();
        m_server.waitForFinished();
    }
    bool pronto() const { return m_pronto; }
    QString indirizzo() const {
        return QStringLiteral("https://127.0.0.1:%1/tsl.xml").arg(m_porta);
    }

private:
    QProcess m_server;
    quint16 m_porta = 0;
    bool m_pronto = false;
};

// An address on this machine where nothing listens.
QString indirizzoChiuso() {
    QTcpServer libero;
    libero.listen(QHostAddress::LocalHost);
    const quint16 porta = libero.serverPort();
    libero.close();
    return QStringLiteral("http://127.0.0.1:%1/tsl.xml").arg(porta);
}

} // namespace

// The verdict on the signatures in the window: the badge, its details, the trusted list.
// Keys, certificates, envelopes and trusted lists are made here with openssl and xmlsec1;
// the program folder and the user's data folder are temporary ones.
class TestFirma : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_chiavi; // the authority, the signers, the lists
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<test::TempDir> m_datiUtente;
    std::string m_autoritaDer;
    bool m_elenchi = false; // xmlsec1 signed the lists

    fs::path chiave(const char* nome) const { return m_chiavi->path() / nome; }
    std::string fatture() const { return (m_dir->path() / "FATTURE").string(); }

    // The sample invoice in FATTURE, named `nome` (else after its kind) with ".xml" or
    // ".xml.p7m": as it is ("semplice"), or signed in an envelope ("firmata"; "sha1" with that
    // digest; "scaduta" by a certificate expired before; "annidata" signed again in a second
    // envelope; "manomessa" changed after signing).
    std::string fattura(const QString& tipo, const QString& nome = {}) {
        const QString file = QString::fromStdString(fatture()) + QLatin1Char('/') +
                             (nome.isEmpty() ? tipo : nome) +
                             (tipo == QLatin1String("semplice") ? QStringLiteral(".xml")
                                                                : QStringLiteral(".xml.p7m"));
        const QString xml = QString::fromStdString((m_dir->path() / "originale.xml").string());
        fs::copy_file(kEsempio.toStdString(), xml.toStdString(),
                      fs::copy_options::overwrite_existing);
        const auto firma = [&](const QString& dentro, const QString& fuori, const char* firmatario,
                               const QString& impronta) {
            return openssl({"cms", "-sign", "-binary", "-nodetach", "-outform", "DER", "-md",
                            impronta, "-in", dentro, "-signer",
                            QString::fromStdString(chiave(firmatario).string()), "-inkey",
                            QString::fromStdString(chiave("firmatario.key").string()), "-certfile",
                            QString::fromStdString(chiave("autorita.pem").string()), "-out", fuori},
                           m_dir->path()) &&
                   conListaDiRevoca(fuori.toStdString());
        };
        if (tipo == QLatin1String("semplice"))
            fs::copy_file(xml.toStdString(), file.toStdString());
        else if (tipo == QLatin1String("firmata"))
            firma(xml, file, "firmatario.pem", QStringLiteral("sha256"));
        else if (tipo == QLatin1String("sha1"))
            firma(xml, file, "firmatario.pem", QStringLiteral("sha1"));
        else if (tipo == QLatin1String("scaduta"))
            firma(xml, file, "scaduto.pem", QStringLiteral("sha256"));
        else if (tipo == QLatin1String("annidata")) {
            firma(xml, file + QStringLiteral(".interna"), "firmatario.pem",
                  QStringLiteral("sha256"));
            firma(file + QStringLiteral(".interna"), file, "firmatario.pem",
                  QStringLiteral("sha256"));
        } else if (tipo == QLatin1String("manomessa")) {
            firma(xml, file, "firmatario.pem", QStringLiteral("sha256"));
            std::string dati = leggi(file.toStdString());
            const auto dove = dati.find("Idrotermica");
            dati[dove + 10] = 'o';
            scrivi(file.toStdString(), dati);
        }
        return file.toStdString();
    }

    // The authority's current list of revocation added to the envelope's own, as a signing
    // program that gathers it does: openssl's tool cannot put it there.
    bool conListaDiRevoca(const std::string& file) const {
        const std::string der = leggi(file);
        const auto* p = reinterpret_cast<const unsigned char*>(der.data());
        CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
        const std::string pem = leggi(chiave("revoche.pem"));
        BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
        std::unique_ptr<X509_CRL, LiberaCon<X509_CRL_free>> crl(
            PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr));
        if (!cms || !crl || CMS_add1_crl(cms.get(), crl.get()) != 1)
            return false;
        unsigned char* uscita = nullptr;
        const int n = i2d_CMS_ContentInfo(cms.get(), &uscita);
        if (n <= 0)
            return false;
        scrivi(file,
               std::string(reinterpret_cast<const char*>(uscita), static_cast<std::size_t>(n)));
        OPENSSL_free(uscita);
        return true;
    }

    // The lists' signer made known in the user's folder: its lists are authentic.
    void firmatarioNoto() const {
        fs::create_directories(CartellaFiducia());
        fs::copy_file(chiave("elenco.pem"), CartellaFiducia() + "firmatari-noti.pem",
                      fs::copy_options::overwrite_existing);
    }

    // The authority kept as the only trusted one, as an imported list would leave it.
    void fidati() {
        ElencoFiducia elenco;
        elenco.territorio = "IT";
        elenco.dataEmissione = "2024-05-02T12:00:00Z";
        elenco.certificati = {m_autoritaDer};
        elenco.autenticato = "sì";
        SalvaElencoFiducia(elenco);
    }

    std::unique_ptr<TFONDIVO> finestra(test::FakePrompts& prompts) {
        auto w = std::make_unique<TFONDIVO>(prompts);
        ImpostaAppDir(m_dir->path().string() + "/");
        w->show();
        return w;
    }

    static void avvia(TFONDIVO& w, test::FakePrompts& prompts, const std::string& file) {
        prompts.answers.push_back(file);
        w.eseguiComando([&w] { w.btnSelFileClick(); });
    }

    [[nodiscard]] static bool apri(TFONDIVO& w, test::FakePrompts& prompts,
                                   const std::string& file) {
        avvia(w, prompts, file);
        return QTest::qWaitFor([&w] { return !w.aperturaInCorso(); }, 60000);
    }

    // Until the badge shows a verdict rather than the verification running.
    [[nodiscard]] static bool verificata(TFONDIVO& w) {
        return QTest::qWaitFor([&w] { return w.StFirma->esito() != kVerifica; }, 60000);
    }

    static DialogoFirme* dettagli(TFONDIVO& w) {
        QTest::mouseClick(w.StFirma, Qt::LeftButton);
        auto* d = w.findChild<DialogoFirme*>();
        return d && d->isVisible() ? d : nullptr;
    }

    // The tree of the dialog as "Firmatario N: …" → its rows "Voce=Valore"; the chain as
    // "Catena=…" rows, one per certificate.
    static QMap<QString, QStringList> albero(const DialogoFirme& d) {
        QMap<QString, QStringList> rami;
        for (int i = 0; i < d.m_albero->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* ramo = d.m_albero->topLevelItem(i);
            QStringList& righe = rami[ramo->text(0)];
            righe << QStringLiteral("Esito=") + ramo->text(1);
            for (int j = 0; j < ramo->childCount(); ++j) {
                const QTreeWidgetItem* riga = ramo->child(j);
                righe << riga->text(0) + QLatin1Char('=') + riga->text(1);
                for (int k = 0; k < riga->childCount(); ++k)
                    righe << QStringLiteral("Catena=") + riga->child(k)->text(1);
            }
        }
        return rami;
    }

    // A trusted list naming the authority, signed by the list's own key, or changed after.
    QByteArray elenco(bool manomesso = false) const {
        QByteArray xml = QByteArray::fromStdString(leggi(chiave("elenco.xml")));
        if (manomesso)
            xml.replace("<tsl:TSLSequenceNumber>7<", "<tsl:TSLSequenceNumber>8<");
        return xml;
    }

private slots:
    void initTestCase() {
        m_chiavi = std::make_unique<test::TempDir>();
        const fs::path k = m_chiavi->path();
        QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "autorita.key",
                         "-out", "autorita.pem", "-days", "30", "-subj",
                         "/C=IT/O=Prova S.p.A./CN=Certificatore di prova", "-addext",
                         "basicConstraints=critical,CA:TRUE", "-addext",
                         "keyUsage=critical,keyCertSign,cRLSign"},
                        k));
        QVERIFY(
            openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "firmatario.key", "-out",
                     "firmatario.csr", "-subj",
                     "/C=IT/O=" + QString(kOrganizzazione).replace("/", "\\/") +
                         "/CN=Mario Rossi/GN=Mario/SN=Rossi/serialNumber=TINIT-RSSMRA80A01H501U"},
                    k));
        scrivi(k / "estensioni.cnf", "keyUsage=critical,nonRepudiation\n");
        QVERIFY(openssl({"x509", "-req", "-in", "firmatario.csr", "-CA", "autorita.pem", "-CAkey",
                         "autorita.key", "-CAcreateserial", "-days", "10", "-extfile",
                         "estensioni.cnf", "-out", "firmatario.pem"},
                        k));
        // The same holder with a certificate that ended before today: "openssl ca" alone sets
        // dates in the past.
        scrivi(k / "ca.cnf", "[ca]\ndefault_ca=prova\n[prova]\ndatabase=index.txt\n"
                             "new_certs_dir=.\nserial=serial\ndefault_md=sha256\npolicy=libera\n"
                             "[libera]\ncommonName=supplied\n");
        scrivi(k / "index.txt", "");
        scrivi(k / "serial", "01\n");
        QVERIFY(
            openssl({"ca", "-batch", "-config", "ca.cnf", "-cert", "autorita.pem", "-keyfile",
                     "autorita.key", "-in", "firmatario.csr", "-out", "scaduto.pem", "-startdate",
                     "20200101000000Z", "-enddate", "20210101000000Z", "-notext", "-preserveDN"},
                    k));
        // The authority's list of revocation, current for a week, nobody revoked.
        QVERIFY(openssl({"ca", "-gencrl", "-config", "ca.cnf", "-cert", "autorita.pem", "-keyfile",
                         "autorita.key", "-crldays", "7", "-out", "revoche.pem"},
                        k));
        QByteArray der;
        QVERIFY(openssl({"x509", "-in", "autorita.pem", "-outform", "DER"}, k, &der));
        m_autoritaDer = der.toStdString();

        // The trusted list: the authority as a qualified CA, signed (enveloped) by a key of
        // its own whose certificate is in the signature.
        const QString xmlsec = QStringLiteral(ONDIVO_XMLSEC1);
        if (xmlsec.isEmpty())
            return;
        QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "elenco.key",
                         "-out", "elenco.pem", "-days", "30", "-subj",
                         "/C=IT/O=Gestore di prova/CN=Firmatario dell'elenco"},
                        k));
        const std::string modello =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<tsl:TrustServiceStatusList xmlns:tsl=\"http://uri.etsi.org/02231/v2#\" "
            "xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"elenco\">\n"
            "<tsl:SchemeInformation><tsl:TSLVersionIdentifier>5</"
            "tsl:TSLVersionIdentifier><tsl:TSLSequenceNumber>7</tsl:TSLSequenceNumber>\n"
            "<tsl:SchemeTerritory>IT</"
            "tsl:SchemeTerritory><tsl:ListIssueDateTime>2024-05-02T12:00:00Z</"
            "tsl:ListIssueDateTime>\n"
            "<tsl:NextUpdate><tsl:dateTime>2024-11-02T12:00:00Z</tsl:dateTime></tsl:NextUpdate></"
            "tsl:SchemeInformation>\n"
            "<tsl:TrustServiceProviderList><tsl:TrustServiceProvider><tsl:TSPInformation><tsl:"
            "TSPName><tsl:Name xml:lang=\"it\">Prova "
            "S.p.A.</tsl:Name></tsl:TSPName></tsl:TSPInformation>\n"
            "<tsl:TSPServices><tsl:TSPService><tsl:ServiceInformation><tsl:ServiceTypeIdentifier>"
            "http://uri.etsi.org/TrstSvc/Svctype/CA/QC</tsl:ServiceTypeIdentifier>\n"
            "<tsl:ServiceDigitalIdentity><tsl:DigitalId><tsl:X509Certificate>" +
            der.toBase64().toStdString() +
            "</tsl:X509Certificate></tsl:DigitalId></tsl:ServiceDigitalIdentity>\n"
            "<tsl:ServiceStatus>http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/granted"
            "</tsl:ServiceStatus><tsl:StatusStartingTime>2016-07-01T00:00:00Z"
            "</tsl:StatusStartingTime>\n"
            "</tsl:ServiceInformation></tsl:TSPService></tsl:TSPServices></"
            "tsl:TrustServiceProvider></tsl:TrustServiceProviderList>\n"
            "<ds:Signature><ds:SignedInfo><ds:CanonicalizationMethod "
            "Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"/>\n"
            "<ds:SignatureMethod "
            "Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>\n"
            "<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
            "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>\n"
            "<ds:Transform "
            "Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"/></ds:Transforms>\n"
            "<ds:DigestMethod "
            "Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue/></"
            "ds:Reference></ds:SignedInfo>\n"
            "<ds:SignatureValue/><ds:KeyInfo><ds:X509Data><ds:X509Certificate/></ds:X509Data></"
            "ds:KeyInfo></ds:Signature>\n"
            "</tsl:TrustServiceStatusList>\n";
        scrivi(k / "modello.xml", modello);
        QVERIFY(esegui(xmlsec,
                       {"--sign", "--privkey-pem", "elenco.key,elenco.pem", "--output",
                        "elenco.xml", "modello.xml"},
                       k));
        m_elenchi = true;
    }

    void init() {
        m_dir = std::make_unique<test::TempDir>();
        test::PreparaCartellaProgramma(m_dir->path());
        m_datiUtente = std::make_unique<test::TempDir>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_datiUtente->path().string()));
    }

    void cleanup() {
        m_dir.reset();
        m_datiUtente.reset();
    }

    // A server that never stops sending, a byte at a time, cannot hold the download past its
    // deadline.
    void trustedListDownloadHasADeadline() {
        ServerLento server;
        QNetworkAccessManager rete;
        QObject contesto;
        std::optional<EsitoAggiornamentoElenco> esito;
        QElapsedTimer orologio;
        orologio.start();
        AggiornaElencoFiducia(
            rete, server.indirizzo().toStdString(), &contesto,
            [&](EsitoAggiornamentoElenco e) { esito = std::move(e); }, std::chrono::seconds(2));
        QTRY_VERIFY_WITH_TIMEOUT(esito.has_value(), 30000);
        QVERIFY(orologio.elapsed() < 20000);
        QVERIFY(esito->errore);
        try {
            std::rethrow_exception(esito->errore);
        } catch (const OndivoError& e) {
            QVERIFY2(std::string(e.what()).find("non ha completato l'invio in 2 secondi") !=
                         std::string::npos,
                     e.what());
        }
    }

    // Every state the badge can be in: its words, its colour, whether it can be pressed. The
    // texts of certificates and errors are drawn as written.
    void badgeShowsEveryState_data() {
        QTest::addColumn<int>("fase");
        QTest::addColumn<int>("esito");
        QTest::addColumn<int>("firmatari"); // Mario Rossi signed on 31/05/2024, then others
        QTest::addColumn<QString>("errore");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("riga");
        QTest::addColumn<QString>("colore");

        using F = StatoFirme::Fase;
        const auto riga = [](const char* nome, F fase, EsitoFirma esito, int firmatari,
                             const QString& errore, const QString& testo, const QString& sotto,
                             const char* colore) {
            QTest::newRow(nome) << int(fase) << int(esito) << firmatari << errore << testo << sotto
                                << QString::fromLatin1(colore);
        };
        const QString mario = QStringLiteral("Mario Rossi, 31/05/2024");
        riga("nothingShown", F::Nessuna, EsitoFirma::Assente, 0, {}, {}, {}, "neutro");
        riga("verifying", F::InCorso, EsitoFirma::Assente, 0, {}, kVerifica, {}, "neutro");
        riga("valid", F::Conclusa, EsitoFirma::Valida, 1, {}, kValida, mario, "verde");
        riga("intact", F::Conclusa, EsitoFirma::Integra, 1, {}, kIntegra, mario, "ambra");
        riga("changed", F::Conclusa, EsitoFirma::NonValida, 1, {}, kNonValida, mario, "rosso");
        riga("expired", F::Conclusa, EsitoFirma::Scaduta, 1, {},
             "Certificato scaduto alla data della firma", mario, "rosso");
        riga("notYetValid", F::Conclusa, EsitoFirma::NonAncoraValida, 1, {},
             "Certificato non ancora valido alla data della firma", mario, "rosso");
        riga("threeSigners", F::Conclusa, EsitoFirma::Valida, 3, {}, kValida,
             mario + QStringLiteral(" e altri 2"), "verde");
        riga("noSignature", F::Conclusa, EsitoFirma::Assente, 0, {}, kNessuna, {}, "grigio");
        riga("failed", F::Fallita, EsitoFirma::Assente, 0,
             "Impossibile leggere la busta firmata: <b>x</b> & y",
             "Impossibile leggere la busta firmata: <b>x</b> & y", {}, "rossogrigio");
    }

    void badgeShowsEveryState() {
        QFETCH(int, fase);
        QFETCH(int, esito);
        QFETCH(int, firmatari);
        QFETCH(QString, errore);
        QFETCH(QString, testo);
        QFETCH(QString, riga);
        QFETCH(QString, colore);
        StatoFirme stato;
        stato.fase = static_cast<StatoFirme::Fase>(fase);
        stato.firme.esito = static_cast<EsitoFirma>(esito);
        stato.errore = errore.toStdString();
        for (int i = 0; i < firmatari; ++i) {
            Firmatario f;
            f.nome = i == 0 ? "Mario Rossi" : "Altro";
            f.dataFirma = "2024-05-31T10:00:00Z";
            stato.firme.firmatari.push_back(f);
        }
        RiquadroFirma riquadro;
        riquadro.resize(240, riquadro.sizeHint().height());
        riquadro.mostra(stato);
        QCOMPARE(riquadro.esito(), testo);
        QCOMPARE(riquadro.firmatari(), riga);
        QCOMPARE(famiglia(riquadro.colori().sfondo), colore);
        QCOMPARE(riquadro.isEnabled(), stato.fase != StatoFirme::Fase::Nessuna);
        QVERIFY(!riquadro.toolTip().contains(QStringLiteral("<b>x")));
        // The text stands out from its background.
        QVERIFY(std::abs(riquadro.colori().sfondo.lightness() -
                         riquadro.colori().testo.lightness()) > 90);
    }

    // The verdicts short of valid in the user's words, from the validation's sub-indication,
    // each with the colour of its kind; unsigned content is always said.
    void badgeWordsTheSubIndication_data() {
        QTest::addColumn<int>("indicazione");
        QTest::addColumn<QString>("sottoindicazione");
        QTest::addColumn<bool>("nonFirmato");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("colore");

        using I = Indicazione;
        const auto riga = [](const char* nome, I indicazione, const char* sotto, bool nonFirmato,
                             const QString& testo, const char* colore) {
            QTest::newRow(nome) << int(indicazione) << QString::fromLatin1(sotto) << nonFirmato
                                << testo << QString::fromLatin1(colore);
        };
        riga("passed", I::TotalPassed, "", false, kValida, "verde");
        riga("passedWithUnsignedContent", I::TotalPassed, "", true,
             kValida + QStringLiteral(" (contenuto non firmato presente, non mostrato)"), "verde");
        riga("noChain", I::Indeterminate, sotto::NoCertificateChainFound, false, kIntegra, "ambra");
        riga("expiredWithoutProofOfTime", I::Indeterminate, sotto::OutOfBoundsNoPoe, false,
             QStringLiteral("Firma integra, certificato scaduto: firma dichiarata del 31/05/2024, "
                            "non provata da marca temporale"),
             "ambra");
        riga("revocationNotChecked", I::Indeterminate, sotto::TryLater, false,
             QStringLiteral("Firma integra, revoca del certificato non verificata"), "ambra");
        riga("unfitCertificate", I::Indeterminate, sotto::ChainConstraintsFailure, false,
             QStringLiteral("Firma integra, certificato non adatto alla firma"), "ambra");
        riga("weakAlgorithm", I::Indeterminate, sotto::CryptoConstraintsFailureNoPoe, false,
             QStringLiteral("Firma integra, algoritmo non più sicuro"), "ambra");
        riga("futureTime", I::Indeterminate, sotto::FutureTime, false,
             QStringLiteral("Firma integra, data della firma nel futuro"), "ambra");
        riga("unsupported", I::Indeterminate, sotto::CryptoConstraintsFailure, false,
             QStringLiteral("Firma non verificabile: algoritmo non supportato"), "ambra");
        riga("noSignerCertificate", I::Indeterminate, sotto::NoSigningCertificateFound, false,
             QStringLiteral("Firma non verificabile: certificato del firmatario mancante"),
             "ambra");
        riga("revokedNoProof", I::Indeterminate, sotto::RevokedNoPoe, false,
             QStringLiteral("Certificato revocato, firma non provata anteriore alla revoca"),
             "rosso");
        riga("revokedBefore", I::TotalFailed, sotto::Revoked, false,
             QStringLiteral("Firma non valida: certificato revocato prima della firma"), "rosso");
        riga("hash", I::TotalFailed, sotto::HashFailure, false, kNonValida, "rosso");
        riga("expired", I::TotalFailed, sotto::Expired, false,
             QStringLiteral("Certificato scaduto alla data della firma"), "rosso");
    }

    void badgeWordsTheSubIndication() {
        QFETCH(int, indicazione);
        QFETCH(QString, sottoindicazione);
        QFETCH(bool, nonFirmato);
        QFETCH(QString, testo);
        QFETCH(QString, colore);
        Firmatario f;
        f.nome = "Mario Rossi";
        f.dataFirma = "2024-05-31T10:00:00Z";
        if (indicazione != int(Indicazione::TotalPassed))
            Segnala(f, static_cast<Indicazione>(indicazione),
                    sottoindicazione.toLatin1().constData(), "motivo");
        ConcludiFirmatario(f);
        StatoFirme stato;
        stato.fase = StatoFirme::Fase::Conclusa;
        AggiungiFirmatario(stato.firme, f);
        stato.firme.contenutoNonFirmato = nonFirmato;
        RiquadroFirma riquadro;
        riquadro.resize(240, riquadro.sizeHint().height());
        riquadro.mostra(stato);
        QCOMPARE(riquadro.esito(), testo);
        QCOMPARE(famiglia(riquadro.colori().sfondo), colore);
    }

    // The verdict on the file opened, shown once verified, with the colour of its kind.
    void badgeShowsTheVerdictOfTheFileOpened_data() {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<bool>("fidati");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("riga"); // a pattern; {DATA}: a date dd/mm/yyyy
        QTest::addColumn<QString>("colore");

        const QString mario = QStringLiteral("^Mario Rossi, {DATA}$");
        QTest::newRow("plainXml") << "semplice" << false << kNessuna << "^$"
                                  << "grigio";
        QTest::newRow("envelopeWithoutTrustedList")
            << "firmata" << false << kIntegra << mario << "ambra";
        QTest::newRow("envelopeWithTrustedList")
            << "firmata" << true << kValida << mario << "verde";
        QTest::newRow("envelopeInAnEnvelope")
            << "annidata" << true << kValida << "^Mario Rossi, {DATA} e altri 1$"
            << "verde";
        QTest::newRow("changedAfterSigning")
            << "manomessa" << true << kNonValida << mario << "rosso";
        QTest::newRow("expiredCertificate")
            << "scaduta" << true << "Certificato scaduto alla data della firma" << mario << "rosso";
        QTest::newRow("weakDigest")
            << "sha1" << true << "Firma integra, algoritmo non più sicuro" << mario << "ambra";
    }

    void badgeShowsTheVerdictOfTheFileOpened() {
        QFETCH(QString, tipo);
        QFETCH(bool, fidati);
        QFETCH(QString, testo);
        QFETCH(QString, riga);
        QFETCH(QString, colore);
        if (fidati)
            this->fidati();
        const std::string file = fattura(tipo);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY2(prompts.shown.empty(), prompts.shown.empty() ? "" : prompts.shown[0].c_str());
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(file));
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), testo);
        const QRegularExpression modello(QString(riga).replace(
            QStringLiteral("{DATA}"), QStringLiteral("\\d\\d/\\d\\d/\\d{4}")));
        QVERIFY2(modello.match(w->StFirma->firmatari()).hasMatch(),
                 qPrintable(w->StFirma->firmatari()));
        QCOMPARE(famiglia(w->StFirma->colori().sfondo), colore);
        QVERIFY(w->StFirma->isEnabled());
    }

    // The badge and the panels around it stay where they are whatever the verdict says.
    void layoutStaysPutBetweenInvoices() {
        fidati();
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->resize(1083, 652);
        const auto posizioni = [&w] {
            QList<QRect> r;
            for (QWidget* c :
                 {static_cast<QWidget*>(w->StFirma), static_cast<QWidget*>(w->STNumDoc),
                  static_cast<QWidget*>(w->StDataDoc), static_cast<QWidget*>(w->LBAlleg),
                  static_cast<QWidget*>(w->WebBrowser1)})
                r << QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size());
            return r;
        };
        QCoreApplication::processEvents();
        const QList<QRect> prima = posizioni();
        for (const char* tipo : {"semplice", "firmata", "manomessa", "annidata"}) {
            QVERIFY(apri(*w, prompts, fattura(QString::fromLatin1(tipo))));
            QVERIFY(verificata(*w));
            QCoreApplication::processEvents();
            QCOMPARE(posizioni(), prima);
        }
    }

    // A verification still running when another invoice takes the window: its verdict never
    // shows beside the other invoice. The verifications are held back until both opens are
    // done, the worst order for the window.
    void verdictOfAnInvoiceNoLongerShownIsDropped_data() {
        QTest::addColumn<QString>("primo");
        QTest::addColumn<QString>("secondo"); // "mancante": a file that does not open
        QTest::addColumn<QString>("esitoPrimo");
        QTest::addColumn<QString>("esitoSecondo");

        QTest::newRow("signedThenPlain") << "firmata"
                                         << "semplice" << kIntegra << kNessuna;
        QTest::newRow("plainThenSigned") << "semplice"
                                         << "firmata" << kNessuna << kIntegra;
        QTest::newRow("signedThenChanged") << "firmata"
                                           << "manomessa" << kIntegra << kNonValida;
        // The first invoice stays, and so its verdict comes to it.
        QTest::newRow("secondDoesNotOpen") << "firmata"
                                           << "mancante" << kIntegra << QString();
    }

    void verdictOfAnInvoiceNoLongerShownIsDropped() {
        QFETCH(QString, primo);
        QFETCH(QString, secondo);
        QFETCH(QString, esitoPrimo);
        QFETCH(QString, esitoSecondo);
        const std::string a = fattura(primo, "a");
        const std::string b = secondo == QLatin1String("mancante") ? fatture() + "/mancante.xml"
                                                                   : fattura(secondo, "b");
        QSemaphore cancello;
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        const auto libera = qScopeGuard([&cancello] { cancello.release(); });
        w->m_verifiche->start([&cancello] { cancello.acquire(); });
        QList<QPair<QString, QString>> visti; // the file shown and the badge, at every change
        connect(w.get(), &TFONDIVO::firmeMostrate, this,
                [&] { visti << qMakePair(w->StFileXML->text(), w->StFirma->esito()); });

        QVERIFY(this->apri(*w, prompts, a));
        QCOMPARE(w->StFirma->esito(), kVerifica);
        QVERIFY(this->apri(*w, prompts, b));
        cancello.release();
        w->m_verifiche->waitForDone();
        QCoreApplication::sendPostedEvents();

        const bool secondoMostrato = !esitoSecondo.isEmpty();
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(secondoMostrato ? b : a));
        QCOMPARE(w->StFirma->esito(), secondoMostrato ? esitoSecondo : esitoPrimo);
        for (const auto& [file, esito] : visti) {
            const QString atteso = file == QString::fromStdString(a) ? esitoPrimo : esitoSecondo;
            QVERIFY2(esito == kVerifica || esito == atteso,
                     qPrintable(file + QStringLiteral(" con ") + esito));
        }
    }

    // A verdict that comes before its page is shown with the page, never "verifying".
    void verdictBeforeItsPageComesWithIt() {
        const std::string a = fattura("firmata");
        QSemaphore cancello;
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        const auto libera = qScopeGuard([&cancello] { cancello.release(); });
        w->m_aperture->start([&cancello] { cancello.acquire(); });
        QStringList visti;
        connect(w.get(), &TFONDIVO::firmeMostrate, this, [&] { visti << w->StFirma->esito(); });
        avvia(*w, prompts, a);
        QVERIFY(QTest::qWaitFor([&w] { return w->m_statoAtteso.has_value(); }, 60000));
        QVERIFY(visti.isEmpty());
        cancello.release();
        QVERIFY(QTest::qWaitFor([&w] { return !w->aperturaInCorso(); }, 60000));
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(a));
        QCOMPARE(visti, QStringList{kIntegra});
    }

    // The badge asks for the details once an invoice is shown, from the mouse or the keyboard.
    void badgeOpensTheDetails_data() {
        QTest::addColumn<QString>("come"); // "clic", "invio", "spazio"
        QTest::newRow("click") << "clic";
        QTest::newRow("enter") << "invio";
        QTest::newRow("space") << "spazio";
    }

    void badgeOpensTheDetails() {
        QFETCH(QString, come);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        const auto premi = [&] {
            if (come == QLatin1String("clic")) {
                QTest::mouseClick(w->StFirma, Qt::LeftButton);
                return;
            }
            w->StFirma->setFocus();
            QTest::keyClick(w->StFirma,
                            come == QLatin1String("invio") ? Qt::Key_Return : Qt::Key_Space);
        };
        // Nothing shown: nothing to detail.
        premi();
        QVERIFY(!w->findChild<DialogoFirme*>());
        QVERIFY(apri(*w, prompts, fattura("firmata")));
        QVERIFY(verificata(*w));
        premi();
        auto* d = w->findChild<DialogoFirme*>();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->m_riepilogo->esito(), kIntegra);
    }

    // A new trusted list verifies again the invoice shown, and the one being opened, whose
    // verification began with the authorities kept before.
    void verdictFollowsANewTrustedList_data() {
        QTest::addColumn<bool>("durante"); // the list changes while the open runs
        QTest::newRow("invoiceShown") << false;
        QTest::newRow("invoiceBeingOpened") << true;
    }

    void verdictFollowsANewTrustedList() {
        QFETCH(bool, durante);
        const std::string file = fattura("firmata");
        QSemaphore cancello;
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        const auto libera = qScopeGuard([&cancello] { cancello.release(); });
        if (durante) {
            w->m_aperture->start([&cancello] { cancello.acquire(); });
            avvia(*w, prompts, file);
            // Verified against no authority, before the page is shown.
            QVERIFY(QTest::qWaitFor([&w] { return w->m_statoAtteso.has_value(); }, 60000));
            QCOMPARE(QString::fromUtf8(TestoEsito(w->m_statoAtteso->firme.esito)), kIntegra);
        } else {
            QVERIFY(apri(*w, prompts, file));
            QVERIFY(verificata(*w));
            QCOMPARE(w->StFirma->esito(), kIntegra);
        }
        fidati(); // what an import or an update keeps
        w->elencoCambiato();
        cancello.release();
        QVERIFY(QTest::qWaitFor([&w] { return !w->aperturaInCorso(); }, 60000));
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(file));
        QCOMPARE(w->StFirma->esito(), kValida);
    }

    // The verdict is on the bytes the page was made from, read once: the file removed, or
    // replaced by another invoice, before its verification runs changes neither the verdict
    // nor the page, and the badge never fails for it.
    void verdictIsOnTheBytesShown_data() {
        QTest::addColumn<QString>("cambio");
        QTest::newRow("removed") << QStringLiteral("rimosso");
        QTest::newRow("replacedByAPlainInvoice") << QStringLiteral("semplice");
        QTest::newRow("replacedByAnExpiredSignature") << QStringLiteral("scaduta");
    }

    void verdictIsOnTheBytesShown() {
        QFETCH(QString, cambio);
        const std::string file = fattura("firmata", "cambia");
        QSemaphore cancello;
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        const auto libera = qScopeGuard([&cancello] { cancello.release(); });
        w->m_verifiche->start([&cancello] { cancello.acquire(); });
        QVERIFY(this->apri(*w, prompts, file));
        if (cambio == QLatin1String("rimosso")) {
            fs::remove(file);
        } else {
            const std::string altro = fattura(cambio, QStringLiteral("altro-") + cambio);
            fs::copy_file(altro, file, fs::copy_options::overwrite_existing);
        }
        cancello.release();
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), kIntegra);
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(file));
        QCOMPARE(w->STNumDoc->text(), QStringLiteral("2024/0187"));
        QVERIFY(prompts.shown.empty());
    }

    // The details of every signer, checked against what openssl says of the certificate.
    void detailsListEverySigner_data() {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<bool>("fidati");
        QTest::addColumn<QStringList>("righe");  // of every signer, "Voce=Valore"
        QTest::addColumn<QStringList>("catena"); // patterns, one per certificate, in order

        const QStringList comuni{
            "Nome=Mario Rossi",
            "Codice fiscale=RSSMRA80A01H501U",
            "Organizzazione=" + kOrganizzazione,
            "Certificatore=Certificatore di prova",
            "Integra=sì",
        };
        QTest::newRow("envelopeInAnEnvelope")
            << "annidata" << true
            << comuni + QStringList{"Esito=Firma valida", "Algoritmo=SHA-256",
                                    "Certificatore attendibile=sì",
                                    "Esito della validazione=TOTAL_PASSED"}
            << QStringList{"CN=Mario Rossi", "CN=Certificatore di prova"};
        QTest::newRow("weakDigestUntrusted")
            << "sha1" << false
            << comuni +
                   QStringList{"Esito=" + kIntegra,
                               "Algoritmo=SHA-1",
                               "Certificatore attendibile=no",
                               "Esito della validazione=INDETERMINATE / "
                               "NO_CERTIFICATE_CHAIN_FOUND",
                               "Revoca del certificato=non revocato (CRL del " +
                                   QDateTime::currentDateTimeUtc().date().toString("dd/MM/yyyy") +
                                   ")",
                               "Chiave=RSA 2048 bit"}
            << QStringList();
        QTest::newRow("weakDigestTrusted")
            << "sha1" << true
            << comuni + QStringList{"Esito=Firma integra, algoritmo non più sicuro",
                                    "Algoritmo=SHA-1", "Certificatore attendibile=sì",
                                    "Esito della validazione=INDETERMINATE / "
                                    "CRYPTO_CONSTRAINTS_FAILURE_NO_POE"}
            << QStringList{"CN=Mario Rossi", "CN=Certificatore di prova"};
    }

    void detailsListEverySigner() {
        QFETCH(QString, tipo);
        QFETCH(bool, fidati);
        QFETCH(QStringList, righe);
        QFETCH(QStringList, catena);
        if (fidati)
            this->fidati();
        // A name that looks like markup, shown as written.
        const std::string file = fattura(tipo, "<b>fattura & c");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY2(prompts.shown.empty(), prompts.shown.empty() ? "" : prompts.shown[0].c_str());
        QVERIFY(verificata(*w));
        DialogoFirme* d = dettagli(*w);
        QVERIFY(d);
        QCOMPARE(d->m_file->text(), QStringLiteral("File: ") + QString::fromStdString(file));
        QCOMPARE(d->m_file->textFormat(), Qt::PlainText);
        QCOMPARE(d->m_riepilogo->esito(), w->StFirma->esito());

        // The oracle: openssl on the signer's certificate.
        QByteArray uscita;
        QVERIFY(openssl(
            {"x509", "-in", "firmatario.pem", "-noout", "-serial", "-startdate", "-enddate"},
            m_chiavi->path(), &uscita));
        QMap<QString, QString> campi;
        for (const QByteArray& r : uscita.trimmed().split('\n')) {
            const auto parti = QString::fromLatin1(r).split(QLatin1Char('='));
            campi[parti.value(0)] = parti.value(1);
        }
        const auto giorno = [](const QString& data) { // "Jan  1 00:00:00 2020 GMT"
            return QLocale::c()
                .toDateTime(data.simplified(), QStringLiteral("MMM d hh:mm:ss yyyy 'GMT'"))
                .toString(QStringLiteral("dd/MM/yyyy"));
        };
        righe << "Numero di serie=" + campi.value("serial")
              << QStringLiteral("Validità del certificato=dal %1 al %2")
                     .arg(giorno(campi.value("notBefore")), giorno(campi.value("notAfter")));

        const QMap<QString, QStringList> rami = albero(*d);
        const int firmatari = tipo == QLatin1String("annidata") ? 2 : 1;
        QCOMPARE(rami.size(), firmatari);
        for (int i = 1; i <= firmatari; ++i) {
            const QString titolo = QStringLiteral("Firmatario %1: Mario Rossi").arg(i);
            QVERIFY2(rami.contains(titolo), qPrintable(rami.keys().join(QLatin1Char('|'))));
            const QStringList& trovate = rami[titolo];
            const QString elenco = trovate.join(QLatin1Char('|'));
            QVERIFY2(trovate.contains(i == 1 ? "Tipo di firma=CAdES, busta esterna"
                                             : "Tipo di firma=CAdES, busta interna 2"),
                     qPrintable(elenco));
            // The time the signer claims, said to be no more than that.
            QCOMPARE(trovate
                         .filter(QRegularExpression(
                             "^Data della firma=\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d "
                             "\\(dichiarata dal firmatario, non provata\\)$"))
                         .size(),
                     1);
            for (const QString& attesa : righe)
                QVERIFY2(trovate.contains(attesa),
                         qPrintable(attesa + QStringLiteral(" in ") + elenco));
            if (!catena.isEmpty()) {
                const QStringList certificati = trovate.filter(QRegularExpression("^Catena="));
                QCOMPARE(certificati.size(), catena.size());
                for (int c = 0; c < catena.size(); ++c)
                    QVERIFY2(certificati[c].contains(catena[c]), qPrintable(certificati[c]));
            }
            // Every reason of a verdict short of valid is given, each on its row.
            if (!fidati)
                QVERIFY(trovate.contains(
                    QStringLiteral("Motivo=nessun elenco di certificatori fidati importato")));
            QCOMPARE(trovate.filter(QRegularExpression("^Motivo=.+")).isEmpty(),
                     righe.contains(QStringLiteral("Esito=Firma valida")));
        }
    }

    // A trusted list chosen by the user: taken in and used at once when good, refused with a
    // message naming the file otherwise, the list kept before staying.
    void importsATrustedList_data() {
        QTest::addColumn<QString>("scelta");   // "elenco", "manomesso", "fattura", "mancante", ""
        QTest::addColumn<QString>("mostrato"); // the start of the one box; {FILE}: the file
        QTest::addColumn<QString>("esito");
        QTest::addColumn<QString>("elenco");

        const QString nessuno = QStringLiteral("Nessun elenco di fiducia importato");
        QTest::newRow("goodList") << "elenco"
                                  << "message: Elenco di fiducia importato da {FILE}: " + kSintesi
                                  << kValida
                                  << "Elenco di fiducia in uso: " + kSintesi +
                                         QStringLiteral(" — da sostituire: il prossimo "
                                                        "aggiornamento era previsto entro il "
                                                        "02/11/2024");
        // The same list while its signer is known to no one: kept, vouching for nothing.
        const QString nonAutenticato =
            QStringLiteral("1 certificatore (IT, emesso il 02/05/2024, non autenticato)");
        QTest::newRow("signerNotKnown")
            << "sconosciuto"
            << "message: Elenco di fiducia importato da {FILE}: " + nonAutenticato << kIntegra
            << "Elenco di fiducia in uso: " + nonAutenticato +
                   QStringLiteral(" — da sostituire: il prossimo aggiornamento era previsto "
                                  "entro il 02/11/2024");
        QTest::newRow("changedAfterSigning")
            << "manomesso"
            << "error: Elenco di fiducia non valido: " << kIntegra << nessuno;
        QTest::newRow("notATrustedList")
            << "fattura"
            << "error: Elenco di fiducia non valido: " << kIntegra << nessuno;
        QTest::newRow("missingFile") << "mancante"
                                     << "error: " << kIntegra << nessuno;
        QTest::newRow("cancelled") << ""
                                   << "" << kIntegra << nessuno;
    }

    void importsATrustedList() {
        QFETCH(QString, scelta);
        QFETCH(QString, mostrato);
        QFETCH(QString, esito);
        QFETCH(QString, elenco);
        if (!m_elenchi)
            QSKIP("xmlsec1 is not installed: no trusted list to import");
        const fs::path scelto = m_dir->path() / (scelta.toStdString() + ".xml");
        if (scelta == QLatin1String("elenco") || scelta == QLatin1String("manomesso") ||
            scelta == QLatin1String("sconosciuto"))
            scrivi(scelto, this->elenco(scelta == QLatin1String("manomesso")).toStdString());
        else if (scelta == QLatin1String("fattura"))
            fs::copy_file(kEsempio.toStdString(), scelto);
        if (scelta != QLatin1String("sconosciuto"))
            firmatarioNoto();
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, fattura("firmata")));
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), kIntegra);
        DialogoFirme* d = dettagli(*w);
        QVERIFY(d);
        QCOMPARE(d->m_elenco->text(), QStringLiteral("Nessun elenco di fiducia importato"));

        prompts.answers.push_back(scelta.isEmpty() ? std::nullopt
                                                   : std::optional<std::string>(scelto.string()));
        QTest::mouseClick(d->m_importa, Qt::LeftButton);
        QCOMPARE(prompts.dialogs.back().titolo, std::string("Importa elenco di fiducia"));
        if (mostrato.isEmpty()) {
            QVERIFY(prompts.shown.empty());
        } else {
            QCOMPARE(prompts.shown.size(), 1u);
            const QString box = QString::fromStdString(prompts.shown[0]);
            QVERIFY2(box.startsWith(QString(mostrato).replace(
                         QStringLiteral("{FILE}"), QString::fromStdString(scelto.string()))),
                     qPrintable(box));
            QVERIFY2(box.contains(QString::fromStdString(scelto.string())), qPrintable(box));
        }
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), esito);
        QCOMPARE(d->m_riepilogo->esito(), esito);
        QCOMPARE(d->m_elenco->text(), elenco);
    }

    // The network is asked for the revocation of the signer's certificate only when the
    // button is pressed; the list it names then makes the signature valid, and is kept in the
    // user's cache.
    void revocationAskedOfTheNetworkOnlyWhenPressed() {
        ServerHttp server;
        QByteArray lista;
        QVERIFY(
            openssl({"crl", "-in", "revoche.pem", "-outform", "DER"}, m_chiavi->path(), &lista));
        server.pagine[QStringLiteral("/revoche.crl")] = lista;
        const fs::path k = m_chiavi->path();
        scrivi(k / "rete.cnf", "keyUsage=critical,nonRepudiation\ncrlDistributionPoints=URI:" +
                                   server.indirizzo(QStringLiteral("/revoche.crl")).toStdString() +
                                   "\n");
        QVERIFY(openssl({"x509", "-req", "-in", "firmatario.csr", "-CA", "autorita.pem", "-CAkey",
                         "autorita.key", "-CAcreateserial", "-days", "10", "-extfile", "rete.cnf",
                         "-out", "rete.pem"},
                        k));
        const std::string file = fatture() + "/rete.xml.p7m";
        QVERIFY(openssl({"cms", "-sign", "-binary", "-nodetach", "-outform", "DER", "-in", kEsempio,
                         "-signer", QString::fromStdString((k / "rete.pem").string()), "-inkey",
                         QString::fromStdString((k / "firmatario.key").string()), "-out",
                         QString::fromStdString(file)},
                        m_dir->path()));
        const QByteArray cachePrima = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME",
                QByteArray::fromStdString((m_datiUtente->path() / "cache").string()));
        const auto ripristina = qScopeGuard([&cachePrima] {
            if (cachePrima.isEmpty())
                qunsetenv("XDG_CACHE_HOME");
            else
                qputenv("XDG_CACHE_HOME", cachePrima);
        });
        fidati();

        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, file));
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(),
                 QStringLiteral("Firma integra, revoca del certificato non verificata"));
        QVERIFY(server.richieste.isEmpty());
        DialogoFirme* d = dettagli(*w);
        QVERIFY(d);
        QVERIFY(d->m_revoche->isEnabled());
        QTest::mouseClick(d->m_revoche, Qt::LeftButton);
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), kValida);
        QCOMPARE(d->m_riepilogo->esito(), kValida);
        QCOMPARE(server.richieste, QStringList{QStringLiteral("/revoche.crl")});
        QVERIFY(!fs::is_empty(m_datiUtente->path() / "cache" / "ondivo" / "revoche"));
    }

    // An amber verdict is explained in one plain sentence with the one command that mends
    // it; green, red and grey verdicts need none.
    void adviceExplainsAmberOnly_data() {
        QTest::addColumn<int>("esito");
        QTest::addColumn<QString>("sottoindicazione");
        QTest::addColumn<bool>("integra");
        QTest::addColumn<bool>("elencoPresente");
        QTest::addColumn<int>("azione");
        QTest::addColumn<QString>("frase"); // a part of the sentence; empty: no advice
        using A = ConsiglioFirme::Azione;
        const int integra = static_cast<int>(EsitoFirma::Integra);
        QTest::newRow("firstRunNoList")
            << integra << sotto::NoCertificateChainFound << true << false
            << static_cast<int>(A::ScaricaElenco) << "non ha ancora l'elenco ufficiale";
        QTest::newRow("firstRunChainOfItsOwn")
            << integra << sotto::CertificateChainGeneralFailure << true << false
            << static_cast<int>(A::ScaricaElenco) << "non ha ancora l'elenco ufficiale";
        QTest::newRow("authorityNotInTheList")
            << integra << sotto::NoCertificateChainFound << true << true
            << static_cast<int>(A::AggiornaElenco) << "\"Autorità di prova\" non è nell'elenco";
        QTest::newRow("revocationUnknown")
            << integra << sotto::TryLater << true << true << static_cast<int>(A::RevocheInRete)
            << "se il certificato del firmatario era stato revocato";
        QTest::newRow("notWhollyChecked")
            << static_cast<int>(EsitoFirma::NonVerificabile) << sotto::CryptoConstraintsFailure
            << false << true << static_cast<int>(A::Nessuna)
            << "La firma non si è potuta verificare del tutto: non si può dire valida: algoritmo "
               "debole.";
        QTest::newRow("valid") << static_cast<int>(EsitoFirma::Valida) << "" << true << true
                               << static_cast<int>(A::Nessuna) << "";
        QTest::newRow("revoked") << static_cast<int>(EsitoFirma::Revocata) << sotto::Revoked << true
                                 << true << static_cast<int>(A::Nessuna) << "";
        QTest::newRow("unsigned") << static_cast<int>(EsitoFirma::Assente) << "" << false << false
                                  << static_cast<int>(A::Nessuna) << "";
    }

    void adviceExplainsAmberOnly() {
        QFETCH(int, esito);
        QFETCH(QString, sottoindicazione);
        QFETCH(bool, integra);
        QFETCH(bool, elencoPresente);
        QFETCH(int, azione);
        QFETCH(QString, frase);
        StatoFirme stato;
        stato.fase = StatoFirme::Fase::Conclusa;
        stato.firme.esito = static_cast<EsitoFirma>(esito);
        if (stato.firme.esito != EsitoFirma::Assente) {
            Firmatario f;
            f.esito = stato.firme.esito;
            f.sottoindicazione = sottoindicazione.toStdString();
            f.integra = integra;
            f.attendibile = sottoindicazione == QLatin1String(sotto::TryLater);
            f.emittente = "Autorità di prova";
            f.motivo = "algoritmo debole.";
            stato.firme.firmatari = {f};
        }
        const ConsiglioFirme c = ConsiglioPerFirme(stato, elencoPresente);
        QCOMPARE(static_cast<int>(c.azione), azione);
        QCOMPARE(c.comando.isEmpty(), azione == static_cast<int>(ConsiglioFirme::Azione::Nessuna));
        if (frase.isEmpty()) {
            QVERIFY2(c.frase.isEmpty(), qPrintable(c.frase));
        } else {
            QVERIFY2(c.frase.contains(frase), qPrintable(c.frase));
            QVERIFY2(c.frase.endsWith(QLatin1Char('.')) && !c.frase.contains(QLatin1String("..")),
                     qPrintable(c.frase));
        }
    }

    // The first run: no list, so a genuine signature is amber; its details say why in one
    // sentence and offer the download, which (from the address kept, here a local server)
    // turns the badge green. Nothing is downloaded before the press.
    void firstRunReachesValidWithOneCommand() {
        if (!m_elenchi)
            QSKIP("xmlsec1 is not installed: no trusted list to serve");
        firmatarioNoto();
        ServerHttp server;
        server.pagine[QStringLiteral("/tsl.xml")] = elenco();
        ImpostaIndirizzoElencoFiducia(server.indirizzo(QStringLiteral("/tsl.xml")).toStdString());
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, fattura("firmata")));
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), kIntegra);
        DialogoFirme* d = dettagli(*w);
        QVERIFY(d);
        QVERIFY(d->m_consiglio->isVisible());
        QVERIFY2(d->m_consiglio->text().contains(QLatin1String("elenco ufficiale")),
                 qPrintable(d->m_consiglio->text()));
        QVERIFY(d->m_azione->isVisible());
        QCOMPARE(d->m_azione->text(), QStringLiteral("Scarica l'elenco dei certificatori"));
        QVERIFY(server.richieste.isEmpty());
        QTest::mouseClick(d->m_azione, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return w->StFirma->esito() == kValida; }, 60000));
        QCOMPARE(server.richieste, QStringList{QStringLiteral("/tsl.xml")});
        QCOMPARE(prompts.shown.size(), 1u);
        QVERIFY2(prompts.shown[0].rfind("message: Elenco di fiducia aggiornato", 0) == 0,
                 prompts.shown[0].c_str());
        QVERIFY(!d->m_consiglio->isVisible());
        QVERIFY(!d->m_azione->isVisible());
    }

    // The list downloaded from the address in the dialog, which becomes the saved one: the
    // window goes on while it comes; a failure names the address and says why in Italian.
    void updatesTheListFromItsAddress_data() {
        QTest::addColumn<QString>("dove");     // a path on the server, or "chiuso"
        QTest::addColumn<QString>("mostrato"); // the start of the one box; {URL}: the address
        QTest::addColumn<QString>("esito");

        QTest::newRow("served") << "/tsl.xml"
                                << "message: Elenco di fiducia aggiornato da {URL}: " + kSintesi
                                << kValida;
        QTest::newRow("notFound")
            << "/manca.xml"
            << "error: Impossibile scaricare l'elenco di fiducia da {URL}: il server ha risposto "
               "con l'errore HTTP 404"
            << kIntegra;
        QTest::newRow("connectionRefused")
            << "chiuso"
            << "error: Impossibile scaricare l'elenco di fiducia da {URL}: connessione rifiutata"
            << kIntegra;
        QTest::newRow("changedAfterSigning") << "/manomesso.xml"
                                             << "error: Elenco di fiducia non valido: " << kIntegra;
        QTest::newRow("serverFault")
            << "/guasto"
            << "error: Impossibile scaricare l'elenco di fiducia da {URL}: il server ha risposto "
               "con l'errore HTTP 503 (un suo guasto): riprovare più tardi"
            << kIntegra;
        QTest::newRow("certificateRefused")
            << "tls"
            << "error: Impossibile scaricare l'elenco di fiducia da {URL}: il certificato del "
               "server non è stato accettato"
            << kIntegra;
    }

    void updatesTheListFromItsAddress() {
        QFETCH(QString, dove);
        QFETCH(QString, mostrato);
        QFETCH(QString, esito);
        if (!m_elenchi)
            QSKIP("xmlsec1 is not installed: no trusted list to serve");
        firmatarioNoto();
        ServerHttp server;
        server.pagine[QStringLiteral("/tsl.xml")] = elenco();
        server.pagine[QStringLiteral("/manomesso.xml")] = elenco(true);
        std::unique_ptr<ServerTls> tls;
        if (dove == QLatin1String("tls")) {
            tls = std::make_unique<ServerTls>(m_dir->path());
            if (!tls->pronto())
                QSKIP("openssl s_server did not start");
        }
        const QString url = dove == QLatin1String("chiuso") ? indirizzoChiuso()
                            : tls                           ? tls->indirizzo()
                                                            : server.indirizzo(dove);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QVERIFY(apri(*w, prompts, fattura("firmata")));
        QVERIFY(verificata(*w));
        DialogoFirme* d = dettagli(*w);
        QVERIFY(d);
        QCOMPARE(d->m_indirizzo->text(), QString::fromUtf8(IndirizzoPredefinitoElencoFiducia));
        d->m_indirizzo->setText(url);
        QTest::mouseClick(d->m_aggiorna, Qt::LeftButton);
        // The click has come back before the download: the dialog says it runs.
        QVERIFY(!d->m_aggiorna->isEnabled());
        QVERIFY(d->m_aggiornamento->text().contains(url));
        QVERIFY(prompts.shown.empty());
        QVERIFY(QTest::qWaitFor([d] { return d->m_aggiorna->isEnabled(); }, 60000));
        QCOMPARE(IndirizzoElencoFiducia(), url.toStdString());

        QCOMPARE(prompts.shown.size(), 1u);
        const QString box = QString::fromStdString(prompts.shown[0]);
        QVERIFY2(box.startsWith(QString(mostrato).replace(QStringLiteral("{URL}"), url)),
                 qPrintable(box));
        QVERIFY2(box.contains(url), qPrintable(box));
        // A failed download says what to do without this computer's network.
        if (box.contains(QLatin1String("Impossibile scaricare")))
            QVERIFY2(box.contains(QStringLiteral("\"Importa elenco di fiducia…\"")),
                     qPrintable(box));
        QVERIFY(verificata(*w));
        QCOMPARE(w->StFirma->esito(), esito);
    }

    // "ondivo --aggiorna-fiducia [INDIRIZZO]" without a window or a display.
    void headlessUpdate_data() {
        QTest::addColumn<QString>("indirizzo"); // {SERVER}/…, {CHIUSO}, or none
        QTest::addColumn<bool>("salvato");      // the address is first saved as the user's
        QTest::addColumn<int>("codice");
        QTest::addColumn<QString>("uscita");
        QTest::addColumn<QString>("errore"); // the start of standard error; {URL}: the address

        const QString aggiornato = "Elenco di fiducia aggiornato: " + kSintesi + "\n";
        QTest::newRow("fromTheAddressGiven")
            << "{SERVER}/tsl.xml" << false << 0 << aggiornato << "";
        QTest::newRow("fromTheSavedAddress") << "" << true << 0 << aggiornato << "";
        QTest::newRow("notFound")
            << "{SERVER}/manca.xml" << false << 1 << ""
            << "Impossibile scaricare l'elenco di fiducia da {URL}: il server ha risposto con "
               "l'errore HTTP 404";
        QTest::newRow("connectionRefused")
            << "{CHIUSO}" << false << 1 << ""
            << "Impossibile scaricare l'elenco di fiducia da {URL}: connessione rifiutata";
        QTest::newRow("changedAfterSigning") << "{SERVER}/manomesso.xml" << false << 1 << ""
                                             << "Elenco di fiducia non valido: ";
        QTest::newRow("notHttp") << "file:///etc/hosts" << false << 1 << ""
                                 << "Impossibile scaricare l'elenco di fiducia da {URL}: "
                                    "l'indirizzo non è un indirizzo http o https";
    }

    void headlessUpdate() {
        QFETCH(QString, indirizzo);
        QFETCH(bool, salvato);
        QFETCH(int, codice);
        QFETCH(QString, uscita);
        QFETCH(QString, errore);
        if (!m_elenchi)
            QSKIP("xmlsec1 is not installed: no trusted list to serve");
        firmatarioNoto();
        ServerHttp server;
        server.pagine[QStringLiteral("/tsl.xml")] = elenco();
        server.pagine[QStringLiteral("/manomesso.xml")] = elenco(true);
        indirizzo.replace(QStringLiteral("{SERVER}"), server.indirizzo({}))
            .replace(QStringLiteral("{CHIUSO}"), indirizzoChiuso());
        if (salvato)
            ImpostaIndirizzoElencoFiducia(
                server.indirizzo(QStringLiteral("/tsl.xml")).toStdString());
        const std::string primaIndirizzo = IndirizzoElencoFiducia();

        QProcess p;
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.remove(QStringLiteral("DISPLAY"));
        ambiente.remove(QStringLiteral("WAYLAND_DISPLAY"));
        ambiente.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(ambiente);
        QStringList argomenti{QStringLiteral("--aggiorna-fiducia")};
        if (!indirizzo.isEmpty())
            argomenti << indirizzo;
        p.start(QStringLiteral(ONDIVO_EXE), argomenti);
        // The server answers from this thread: waited for in the event loop.
        QVERIFY(QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, 60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == codice, qPrintable(err));
        QCOMPARE(out, uscita);
        QVERIFY2(errore.isEmpty()
                     ? err.isEmpty()
                     : err.startsWith(QString(errore).replace(QStringLiteral("{URL}"), indirizzo)),
                 qPrintable(err));
        QCOMPARE(CaricaFiducia().numero(), std::size_t{codice == 0 ? 1u : 0u});
        // The address given is for this update only.
        QCOMPARE(IndirizzoElencoFiducia(), primaIndirizzo);
        if (codice == 0)
            QCOMPARE(server.richieste, QStringList{QStringLiteral("/tsl.xml")});
    }

    void headlessUpdateRefusesExtraArguments() {
        QProcess p;
        p.start(QStringLiteral(ONDIVO_EXE), {"--aggiorna-fiducia", "http://127.0.0.1:1/a", "b"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().startsWith("uso: ondivo --aggiorna-fiducia"));
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestFirma)
#include "firma_test.moc"
