#include "cartellaprogramma.h"
#include "esploratore.h"
#include "fakeprompts.h"
#include "filtroelenco.h"
#include "finestraelenco.h"
#include "foglipersonali.h"
#include "lavorielenco.h"
#include "lctv.h"
#include "letturaelenco.h"
#include "modelloelenco.h"
#include "posizioneelenco.h"
#include "riquadrofirma.h"
#include "tempdir.h"
#include "testmain.h"
#include "tfondivo.h"

#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <QXmlStreamReader>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

namespace fs = std::filesystem;

namespace ondivo {

namespace {

// The repository's samples: six files, seven documents (the first holds two).
const char* const kCampioni[] = {
    "IT01726390238_FPA12_lotto_esempio.xml",    "IT02468135799_FSM10_esempio.xml",
    "IT03618420271_FPR12_allegati_esempio.xml", "IT03928150238_FPR12_parcella_esempio.xml",
    "IT04276910280_FPR12_veicolo_esempio.xml",  "IT04382710285_FPR12_esempio.xml"};
const char* const kConAllegati = "IT03618420271_FPR12_allegati_esempio.xml";

fs::path campione(const char* nome) {
    return fs::path(ONDIVO_SOURCE_DIR) / "samples" / nome;
}

std::string leggi(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void scrivi(const fs::path& file, const std::string& contenuto) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contenuto;
}

// A ZIP archive made by Python's zipfile, the entries under the names given as they are
// ("../x" included).
bool zip(const fs::path& archivio, const std::vector<std::pair<std::string, fs::path>>& voci) {
    QStringList argomenti{
        QStringLiteral("-c"),
        QStringLiteral("import sys, zipfile\n"
                       "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                       "for i in range(2, len(sys.argv), 2):\n"
                       "    z.writestr(sys.argv[i], open(sys.argv[i + 1], 'rb').read())\n"
                       "z.close()\n"),
        QString::fromStdString(archivio.string())};
    for (const auto& [nome, file] : voci)
        argomenti << QString::fromStdString(nome) << QString::fromStdString(file.string());
    QProcess p;
    p.start(QStringLiteral("python3"), argomenti);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The attachments of an invoice as its XML carries them, decoded: name and bytes.
std::map<std::string, std::string> allegatiDelXml(const fs::path& fattura) {
    std::map<std::string, std::string> allegati;
    QXmlStreamReader xml(QByteArray::fromStdString(leggi(fattura)));
    std::string nome;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("NomeAttachment"))
            nome = xml.readElementText().trimmed().toStdString();
        else if (xml.name() == QLatin1String("Attachment"))
            allegati[nome] = QByteArray::fromBase64(xml.readElementText().toLatin1()).toStdString();
    }
    return allegati;
}

// Every file under a folder, by its path there, with its bytes.
std::map<std::string, std::string> albero(const fs::path& cartella) {
    std::map<std::string, std::string> file;
    for (const auto& voce : fs::recursive_directory_iterator(cartella))
        file[fs::relative(voce.path(), cartella).string()] =
            voce.is_regular_file() ? leggi(voce.path()) : std::string("<cartella>");
    return file;
}

// The openssl tool on arguments, in `cartella`.
bool openssl(const QStringList& argomenti, const fs::path& cartella) {
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(cartella.string()));
    p.start(QStringLiteral(ONDIVO_OPENSSL), argomenti);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::vector<std::string> nomiIn(const fs::path& cartella) {
    std::vector<std::string> nomi;
    for (const auto& voce : fs::directory_iterator(cartella))
        nomi.push_back(voce.path().filename().string());
    std::sort(nomi.begin(), nomi.end());
    return nomi;
}

} // namespace

// The list of many invoices, end to end: what opens it, the rows of folders and archives, the
// order, the filter and its sums, the rows shown in the main window, the works on many rows.
// The program folder (our stylesheets, the signature tool) and the user's data folder are
// temporary ones.
class TestElenco : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_programma;
    std::unique_ptr<test::TempDir> m_datiUtente;
    std::unique_ptr<test::TempDir> m_fatture; // what the tests open

    fs::path cancello() const { return m_programma->path() / "via"; }

    std::unique_ptr<TFONDIVO> finestra(test::FakePrompts& prompts) {
        auto w = std::make_unique<TFONDIVO>(prompts);
        ImpostaAppDir(m_programma->path().string() + "/");
        w->show();
        return w;
    }

    // The samples copied into `cartella`; their paths.
    static std::vector<fs::path> copiaCampioni(const fs::path& cartella, int da = 0, int a = 6) {
        fs::create_directories(cartella);
        std::vector<fs::path> copie;
        for (int i = da; i < a; ++i) {
            copie.push_back(cartella / kCampioni[i]);
            fs::copy_file(campione(kCampioni[i]), copie.back());
        }
        return copie;
    }

    [[nodiscard]] static bool letta(FinestraElenco& e) {
        return QTest::qWaitFor([&e] { return !e.letturaInCorso(); }, 60000);
    }

    // A window with the list of a copy of the samples, and of the files `aggiungi` writes
    // beside them, read whole.
    std::unique_ptr<TFONDIVO>
    elencoCampioni(test::FakePrompts& prompts,
                   const std::function<void(const fs::path&)>& aggiungi = {}) {
        copiaCampioni(m_fatture->path() / "campioni");
        if (aggiungi)
            aggiungi(m_fatture->path() / "campioni");
        auto w = finestra(prompts);
        w->apriPercorsi({(m_fatture->path() / "campioni").string()});
        if (!w->m_elenco || !letta(*w->m_elenco))
            return nullptr;
        return w;
    }

    // The texts of a column over the rows shown, in the order shown.
    static QStringList colonna(const FinestraElenco& e, int c) {
        QStringList testi;
        for (int i = 0; i < e.m_filtro->rowCount(); ++i)
            testi << e.m_filtro->index(i, c).data().toString();
        return testi;
    }

    static const RigaElenco& rigaMostrata(const FinestraElenco& e, int i) {
        return e.m_modello->riga(e.m_filtro->mapToSource(e.m_filtro->index(i, 0)).row());
    }

    // "file name: reason" of the rows not read, by the last part of the file's name.
    static std::map<std::string, std::string> nonLette(const FinestraElenco& e) {
        std::map<std::string, std::string> righe;
        for (const auto& r : e.m_modello->righe())
            if (!r.errore.empty())
                righe[UltimoNome(r.file)] = r.errore;
        return righe;
    }

    [[nodiscard]] static bool lavoroFinito(FinestraElenco& e) {
        return QTest::qWaitFor([&e] { return !e.lavoroInCorso(); }, 120000);
    }

private slots:
    void init() {
        m_programma = std::make_unique<test::TempDir>();
        test::PreparaCartellaProgramma(m_programma->path());
        m_datiUtente = std::make_unique<test::TempDir>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_datiUtente->path().string()));
        m_fatture = std::make_unique<test::TempDir>();
    }

    void cleanup() {
        // A slow tool still waiting must end before its folder goes.
        std::ofstream(cancello()) << "";
        m_fatture.reset();
        m_programma.reset();
        m_datiUtente.reset();
    }

    // A drop is only ever taken as a copy or a link: a file manager finishes a move by deleting
    // the source. A drop that offers nothing but a move is refused and opens nothing.
    void dropsAreCopiesNeverMoves_data() {
        QTest::addColumn<int>("possibili");
        QTest::addColumn<int>("proposta");
        QTest::addColumn<int>("attesa"); // the action taken; 0: refused
        QTest::newRow("copyOrMoveProposingMove")
            << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::MoveAction) << int(Qt::CopyAction);
        QTest::newRow("linkOrMove")
            << int(Qt::LinkAction | Qt::MoveAction) << int(Qt::MoveAction) << int(Qt::LinkAction);
        QTest::newRow("moveOnly") << int(Qt::MoveAction) << int(Qt::MoveAction) << 0;
        QTest::newRow("copyOnly") << int(Qt::CopyAction) << int(Qt::CopyAction)
                                  << int(Qt::CopyAction);
    }

    void dropsAreCopiesNeverMoves() {
        QFETCH(int, possibili);
        QFETCH(int, proposta);
        QFETCH(int, attesa);
        const fs::path file = m_fatture->path() / kCampioni[5];
        fs::create_directories(file.parent_path());
        fs::copy_file(campione(kCampioni[5]), file);
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        QMimeData dati;
        dati.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        const auto azioni = static_cast<Qt::DropActions>(possibili);
        QDragEnterEvent entra(QPoint(10, 10), azioni, &dati, Qt::LeftButton, Qt::NoModifier);
        entra.setDropAction(static_cast<Qt::DropAction>(proposta));
        w->dragEnterEvent(&entra);
        QDragMoveEvent muovi(QPoint(12, 12), azioni, &dati, Qt::LeftButton, Qt::NoModifier);
        muovi.setDropAction(static_cast<Qt::DropAction>(proposta));
        w->dragMoveEvent(&muovi);
        QDropEvent lascia(QPointF(12, 12), azioni, &dati, Qt::LeftButton, Qt::NoModifier);
        lascia.setDropAction(static_cast<Qt::DropAction>(proposta));
        w->dropEvent(&lascia);
        for (const QDropEvent* e :
             {static_cast<const QDropEvent*>(&entra), static_cast<const QDropEvent*>(&muovi),
              static_cast<const QDropEvent*>(&lascia)}) {
            QCOMPARE(e->isAccepted(), attesa != 0);
            if (attesa != 0)
                QCOMPARE(int(e->dropAction()), attesa);
        }
        if (attesa != 0)
            QTRY_COMPARE_WITH_TIMEOUT(w->StFileXML->text(), QString::fromStdString(file.string()),
                                      30000);
        else
            QVERIFY(!w->aperturaInCorso() && w->StFileXML->text().isEmpty());
        QVERIFY(fs::exists(file));
        QVERIFY(prompts.shown.empty());
    }

    // One file opens in the main window as always; several files, a folder or an archive
    // open the list, whichever way they come.
    void whatOpensTheList_data() {
        QTest::addColumn<QString>("via");
        QTest::addColumn<int>("quanti");    // samples given
        QTest::addColumn<QString>("forma"); // "file", "cartella", "zip"
        QTest::addColumn<bool>("elenco");
        QTest::newRow("commandLineOneFile") << "riga" << 1 << "file" << false;
        QTest::newRow("dialogOneFile") << "dialogo" << 1 << "file" << false;
        QTest::newRow("dropOneFile") << "trascinati" << 1 << "file" << false;
        QTest::newRow("commandLineTwoFiles") << "riga" << 2 << "file" << true;
        QTest::newRow("dialogTwoFiles") << "dialogo" << 2 << "file" << true;
        QTest::newRow("dropTwoFiles") << "trascinati" << 2 << "file" << true;
        QTest::newRow("dialogFolder") << "dialogo" << 2 << "cartella" << true;
        QTest::newRow("commandLineZip") << "riga" << 2 << "zip" << true;
        QTest::newRow("dialogZip") << "dialogo" << 2 << "zip" << true;
        QTest::newRow("dropZip") << "trascinati" << 2 << "zip" << true;
    }

    void whatOpensTheList() {
        QFETCH(QString, via);
        QFETCH(int, quanti);
        QFETCH(QString, forma);
        QFETCH(bool, elenco);
        const fs::path cartella = m_fatture->path() / "scelti";
        // The invoice with attachments first: alone, it is the one shown.
        const auto copie = copiaCampioni(cartella, 2, 2 + quanti);
        std::vector<std::string> percorsi;
        test::FakePrompts prompts;
        if (forma == QLatin1String("cartella")) {
            percorsi = {cartella.string()};
            prompts.sceltePiu.push_back(SceltaFatture{{}, cartella.string()});
        } else if (forma == QLatin1String("zip")) {
            const fs::path archivio = m_fatture->path() / "fatture.zip";
            std::vector<std::pair<std::string, fs::path>> voci;
            for (const auto& c : copie)
                voci.emplace_back(c.filename().string(), c);
            QVERIFY(zip(archivio, voci));
            percorsi = {archivio.string()};
        } else {
            for (const auto& c : copie)
                percorsi.push_back(c.string());
        }

        auto w = finestra(prompts);
        if (via == QLatin1String("riga")) {
            w->apriPercorsi(percorsi);
        } else if (via == QLatin1String("dialogo")) {
            if (prompts.sceltePiu.empty())
                prompts.sceltePiu.push_back(SceltaFatture{percorsi, {}});
            w->eseguiComando([&w] { w->btnSelFileClick(); });
            // The dialog offers archives and every file beside the invoices.
            QCOMPARE(prompts.dialogs.size(), 1u);
            QVERIFY(prompts.dialogs[0].filtro.find("*.zip") != std::string::npos);
            QVERIFY(prompts.dialogs[0].filtro.find("*.p7m") != std::string::npos);
            QVERIFY(prompts.dialogs[0].filtro.find("*.*") != std::string::npos);
        } else {
            QMimeData dati;
            QList<QUrl> urls;
            for (const auto& p : percorsi)
                urls << QUrl::fromLocalFile(QString::fromStdString(p));
            dati.setUrls(urls);
            QDropEvent evento(QPointF(10, 10), Qt::CopyAction, &dati, Qt::LeftButton,
                              Qt::NoModifier);
            w->dropEvent(&evento);
        }
        QVERIFY(prompts.shown.empty());
        if (!elenco) {
            QVERIFY(!w->m_elenco);
            QVERIFY(QTest::qWaitFor([&w] { return !w->aperturaInCorso(); }, 60000));
            QCOMPARE(w->StFileXML->text(), QString::fromStdString(percorsi[0]));
            QCOMPARE(w->StFornitore->text(), QStringLiteral("Nordest Software S.r.l."));
            QCOMPARE(w->LBAlleg->count(), 2);
            return;
        }
        QVERIFY(w->m_elenco);
        QVERIFY(w->m_elenco->isVisible());
        QCOMPARE(w->m_elenco->windowTitle(), QStringLiteral("Elenco fatture"));
        QVERIFY(letta(*w->m_elenco));
        QCOMPARE(w->m_elenco->m_modello->rowCount(), quanti);
        // The first row is chosen and shown in the main window.
        QCOMPARE(w->m_elenco->m_tabella->selectionModel()->selectedRows().size(), 1);
        // Named as the list names it: an archive's entry by the archive, not by its copy.
        QTRY_COMPARE_WITH_TIMEOUT(w->StFileXML->text(),
                                  QString::fromStdString(rigaMostrata(*w->m_elenco, 0).file),
                                  30000);
        QCOMPARE(w->StFornitore->text(), QStringLiteral("Nordest Software S.r.l."));
    }

    // Every document of the files under a folder and its sub-folders, or in an archive, one row
    // each; a file that is no invoice, or an unsafe entry, a row with the reason.
    void readsFoldersAndArchives_data() {
        QTest::addColumn<QString>("forma");
        QTest::addColumn<QStringList>("attese"); // name: a word of the reason
        QTest::newRow("folder") << "cartella" << QStringList{"leggimi.txt: gestito"};
        QTest::newRow("zip") << "zip"
                             << QStringList{"leggimi.txt: gestito", "fuori.xml: non sicuro",
                                            "rotto.zip: archivio"};
    }

    void readsFoldersAndArchives() {
        QFETCH(QString, forma);
        QFETCH(QStringList, attese);
        const fs::path radice = m_fatture->path() / "fatture";
        auto copie = copiaCampioni(radice, 0, 3);
        for (const auto& c : copiaCampioni(radice / "sotto" / "ancora", 3, 6))
            copie.push_back(c);
        const fs::path testo = radice / "sotto" / "leggimi.txt";
        scrivi(testo, "Non è una fattura.\n");
        // The delivery receipt of an invoice of the sub-folder, found before it.
        const fs::path ricevuta = radice / "IT04382710285_FPR12_esempio_RC_001.xml";
        scrivi(ricevuta,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<m:RicevutaConsegna xmlns:m=\""
               "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0\" "
               "versione=\"1.0\"><IdentificativoSdI>111</IdentificativoSdI><NomeFile>"
               "IT04382710285_FPR12_esempio.xml</NomeFile></m:RicevutaConsegna>\n");
        copie.push_back(ricevuta);
        std::string aperto = radice.string();
        if (forma == QLatin1String("zip")) {
            std::vector<std::pair<std::string, fs::path>> voci;
            for (const auto& c : copie)
                voci.emplace_back(fs::relative(c, radice).string(), c);
            voci.emplace_back("sotto/leggimi.txt", testo);
            voci.emplace_back("../fuori.xml", copie[0]);
            scrivi(m_fatture->path() / "rotto.zip", "PK\x03\x04 troncato");
            voci.emplace_back("rotto.zip", m_fatture->path() / "rotto.zip");
            QVERIFY(zip(m_fatture->path() / "fatture.zip", voci));
            aperto = (m_fatture->path() / "fatture.zip").string();
        }
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->apriPercorsi({aperto});
        QVERIFY(w->m_elenco);
        FinestraElenco& e = *w->m_elenco;
        QVERIFY(letta(e));

        std::multiset<std::string> numeri;
        std::set<std::string> file;
        for (const auto& r : e.m_modello->righe())
            if (r.errore.empty()) {
                numeri.insert(r.dati.numero);
                file.insert(UltimoNome(r.file));
                QVERIFY(fs::exists(r.percorso));
            }
        QCOMPARE(numeri, (std::multiset<std::string>{"PA-2024/011", "PA-2024/012", "2024/S-118",
                                                     "FT 2024/0093", "17/2024", "V-2024/0388",
                                                     "2024/0187", "111"}));
        QCOMPARE(file.size(), 7u);
        // Once read, the receipt is matched to its invoice; unsigned, it proves nothing: the
        // invoice has no state and the receipt's row says why.
        QStringList stati;
        for (int i = 0; i < e.m_filtro->rowCount(); ++i)
            if (rigaMostrata(e, i).dati.numero == "2024/0187" ||
                rigaMostrata(e, i).dati.numero == "111")
                stati << e.m_filtro->index(i, ModelloElenco::StatoSdi).data().toString();
        stati.sort();
        QCOMPARE(stati, (QStringList{QString(), QStringLiteral("ricevuta non verificata")}));
        const auto righeNonLette = nonLette(e);
        QCOMPARE(static_cast<qsizetype>(righeNonLette.size()), attese.size());
        for (const QString& attesa : attese) {
            const std::string nome = attesa.section(QStringLiteral(": "), 0, 0).toStdString();
            const QString parola = attesa.section(QStringLiteral(": "), 1);
            QVERIFY2(righeNonLette.count(nome), nome.c_str());
            QVERIFY2(QString::fromStdString(righeNonLette.at(nome)).contains(parola),
                     righeNonLette.at(nome).c_str());
        }
        // The reason is seen in the row itself, where the supplier stands.
        for (int i = 0; i < e.m_filtro->rowCount(); ++i) {
            const RigaElenco& r = rigaMostrata(e, i);
            if (r.errore.empty())
                continue;
            QCOMPARE(e.m_filtro->index(i, ModelloElenco::Numero).data().toString(),
                     QStringLiteral("non letto"));
            QCOMPARE(e.m_filtro->index(i, ModelloElenco::Fornitore).data().toString(),
                     QString::fromStdString(r.errore));
        }
        QVERIFY2(e.m_avanzamento->text().endsWith(QStringLiteral("file letti")),
                 qPrintable(e.m_avanzamento->text()));
        QVERIFY(!e.m_barra->isVisible());
    }

    // Amounts in the order of their values, dates in the order of time, both ways; a cell
    // with nothing comes first. Beside the samples, a copy of one with amounts a reading of
    // the digits would misplace: 1202.5 after 1202.07, 216.80 (216.8) after 216.77.
    void sortsByValue_data() {
        QTest::addColumn<int>("colonnaScelta");
        QTest::addColumn<bool>("crescente");
        QTest::addColumn<QStringList>("attesi");
        QTest::newRow("totalUp") << int(ModelloElenco::Totale) << true
                                 << QStringList{"176,40",   "1.202,07",  "1.202,5",   "3.323,32",
                                                "4.562,80", "14.666,60", "31.680,00", "43.670,00"};
        QTest::newRow("taxDown") << int(ModelloElenco::Iva) << false
                                 << QStringList{"3.970,00", "800,80", "676,60", "391,17",
                                                "216,80",   "216,77", "4,40",   "0,00"};
        QTest::newRow("dateUp") << int(ModelloElenco::Data) << true
                                << QStringList{"29/02/2024", "29/02/2024", "14/03/2024",
                                               "02/04/2024", "02/04/2024", "06/05/2024",
                                               "20/06/2024", "12/09/2024"};
        QTest::newRow("dueDateUp")
            << int(ModelloElenco::Scadenza) << true
            << QStringList{"",           "30/03/2024", "30/03/2024", "13/04/2024",
                           "30/04/2024", "30/04/2024", "20/07/2024", "27/09/2024"};
        QTest::newRow("dateDown") << int(ModelloElenco::Data) << false
                                  << QStringList{"12/09/2024", "20/06/2024", "06/05/2024",
                                                 "02/04/2024", "02/04/2024", "14/03/2024",
                                                 "29/02/2024", "29/02/2024"};
    }

    void sortsByValue() {
        QFETCH(int, colonnaScelta);
        QFETCH(bool, crescente);
        QFETCH(QStringList, attesi);
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts, [](const fs::path& cartella) {
            std::string xml = leggi(campione(kConAllegati));
            for (const auto& [da, a] :
                 {std::pair<std::string, std::string>{">1202.07<", ">1202.5<"},
                  {">216.77<", ">216.8<"}}) {
                const auto dove = xml.find(da);
                QVERIFY(dove != std::string::npos);
                xml.replace(dove, da.size(), a);
            }
            scrivi(cartella / "variante.xml", xml);
        });
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        e.m_tabella->sortByColumn(colonnaScelta,
                                  crescente ? Qt::AscendingOrder : Qt::DescendingOrder);
        QCOMPARE(colonna(e, colonnaScelta), attesi);
    }

    // Every word typed must be somewhere in the row; the count and the sums follow the rows
    // shown, to the cent.
    void filterAndSums_data() {
        QTest::addColumn<QString>("filtro");
        QTest::addColumn<QString>("totali");
        QTest::newRow("none")
            << ""
            << "7 righe\nEUR  7 documenti  Imponibile 93.221,45  IVA 6.059,74  Totale 99.281,19  "
               "Netto 93.934,59";
        QTest::newRow("supplierAnyCase")
            << "s.R.L."
            << "3 righe su 7\nEUR  3 documenti  Imponibile 4.089,45  IVA 612,34  Totale 4.701,79  "
               "Netto 4.701,79";
        QTest::newRow("number")
            << "0093"
            << "1 riga su 7\nEUR  1 documento  Imponibile 985,30  IVA 216,77  Totale 1.202,07  "
               "Netto 1.202,07";
        QTest::newRow("twoWords") << " scaligera  012 "
                                  << "1 riga su 7\nEUR  1 documento  Imponibile 39.700,00  IVA "
                                     "3.970,00  Totale 43.670,00  "
                                     "Netto 39.700,00";
        // An amount found as the cell shows it and as it is typed without the groups.
        QTest::newRow("amountAsShown")
            << "1.202,07"
            << "1 riga su 7\nEUR  1 documento  Imponibile 985,30  IVA 216,77  Totale 1.202,07  "
               "Netto 1.202,07";
        QTest::newRow("amountAsTyped")
            << "1202,07"
            << "1 riga su 7\nEUR  1 documento  Imponibile 985,30  IVA 216,77  Totale 1.202,07  "
               "Netto 1.202,07";
        QTest::newRow("nothing") << "zzz"
                                 << "0 righe su 7";
    }

    void filterAndSums() {
        QFETCH(QString, filtro);
        QFETCH(QString, totali);
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        QTest::keyClicks(e.m_campoFiltro, filtro);
        QTRY_COMPARE(e.m_totali->text(), totali);
    }

    // A row chosen shows its invoice in the main window, header and attachments; the arrow
    // keys move to the next invoice and show it.
    void rowsOpenInTheMainWindow() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        e.m_tabella->sortByColumn(ModelloElenco::Totale, Qt::AscendingOrder);
        e.m_tabella->setFocus();
        e.m_tabella->setCurrentIndex(e.m_filtro->index(1, ModelloElenco::Numero));
        QTRY_COMPARE_WITH_TIMEOUT(w->STNumDoc->text(), QStringLiteral("FT 2024/0093"), 30000);
        QCOMPARE(w->StFornitore->text(), QStringLiteral("Nordest Software S.r.l."));
        QCOMPARE(w->StDataDoc->text(), QStringLiteral("2024-04-02"));
        QCOMPARE(w->STTipoDoc->text(), QStringLiteral("TD01 fattura"));
        QCOMPARE(w->LBAlleg->count(), 2);

        QTest::keyClick(e.m_tabella, Qt::Key_Down);
        QTRY_COMPARE_WITH_TIMEOUT(w->STNumDoc->text(), QStringLiteral("2024/0187"), 30000);
        QCOMPARE(w->StFornitore->text(), QStringLiteral("Idrotermica Berica S.r.l."));
        QCOMPARE(w->LBAlleg->count(), 0);
        QTest::keyClick(e.m_tabella, Qt::Key_Up);
        QTRY_COMPARE_WITH_TIMEOUT(w->STNumDoc->text(), QStringLiteral("FT 2024/0093"), 30000);
        QVERIFY(prompts.shown.empty());
    }

    // The list opens beside the main window, on the side with room, or under it, never over
    // its page while the screen has room elsewhere; always inside the screen.
    void listOpensBesideTheMainWindow_data() {
        QTest::addColumn<QRect>("schermo");
        QTest::addColumn<QRect>("principale");
        QTest::addColumn<QString>("dove"); // destra, sinistra, sotto, sopra (over it)
        const QRect largo(0, 0, 2560, 1400);
        QTest::newRow("mainOnTheLeft") << largo << QRect(0, 0, 1200, 1000) << "destra";
        QTest::newRow("mainOnTheRight") << largo << QRect(1360, 30, 1200, 1000) << "sinistra";
        QTest::newRow("moreRoomLeft") << largo << QRect(1100, 0, 800, 1000) << "sinistra";
        QTest::newRow("littleRoomRight") << largo << QRect(0, 0, 1900, 1000) << "destra";
        QTest::newRow("secondScreen")
            << QRect(1920, 0, 1920, 1080) << QRect(1920, 0, 1000, 700) << "destra";
        QTest::newRow("roomOnlyUnder")
            << QRect(0, 0, 1920, 1400) << QRect(400, 0, 1120, 900) << "sotto";
        QTest::newRow("maximised") << QRect(0, 0, 1920, 1040) << QRect(0, 0, 1920, 1040) << "sopra";
        QTest::newRow("smallScreen") << QRect(0, 0, 1024, 700) << QRect(0, 0, 1024, 700) << "sopra";
    }

    void listOpensBesideTheMainWindow() {
        QFETCH(QRect, schermo);
        QFETCH(QRect, principale);
        QFETCH(QString, dove);
        const QRect elenco = PosizioneElenco(schermo, principale, QSize(1260, 460));
        QVERIFY2(schermo.contains(elenco), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                          .arg(elenco.x())
                                                          .arg(elenco.y())
                                                          .arg(elenco.width())
                                                          .arg(elenco.height())));
        QVERIFY(elenco.width() >= 480 || dove == QLatin1String("sopra"));
        QVERIFY(elenco.height() >= 260);
        if (dove == QLatin1String("sopra")) {
            // Over the lower part: the main window's header stays in sight.
            QVERIFY(elenco.top() > principale.top() + 200);
            return;
        }
        QVERIFY(!elenco.intersects(principale));
        if (dove == QLatin1String("destra"))
            QVERIFY(elenco.left() > principale.right());
        else if (dove == QLatin1String("sinistra"))
            QVERIFY(elenco.right() < principale.left());
        else
            QVERIFY(elenco.top() > principale.bottom());
    }

    // A row whose open fails leaves the window on the invoice it shows, and the list points at
    // that invoice's row again, so the labels, the badge, the page and the list agree; the row
    // that failed opens again when chosen again. An invoice opened from elsewhere leaves the
    // list with no row chosen.
    void aFailedRowLeavesTheListOnTheInvoiceShown() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        e.m_tabella->sortByColumn(ModelloElenco::Totale, Qt::AscendingOrder);
        e.m_tabella->setFocus();
        e.m_tabella->setCurrentIndex(e.m_filtro->index(1, ModelloElenco::Numero));
        QTRY_COMPARE_WITH_TIMEOUT(w->STNumDoc->text(), QStringLiteral("FT 2024/0093"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(w->StFirma->esito() != QStringLiteral("Verifica della firma…"),
                                 30000);
        const QString esito = w->StFirma->esito();
        const QString file = w->StFileXML->text();
        const fs::path guasto = rigaMostrata(e, 2).percorso;
        scrivi(guasto, "<a><b></a>");

        for (int volta = 0; volta < 2; ++volta) {
            prompts.shown.clear();
            QSignalSpy conclusa(w.get(), &TFONDIVO::aperturaConclusa);
            QTest::keyClick(e.m_tabella, Qt::Key_Down);
            QVERIFY(conclusa.wait(30000));
            QVERIFY2(!prompts.shown.empty(), "no box for the row that failed");
            QCOMPARE(w->StFileXML->text(), file);
            QCOMPARE(w->STNumDoc->text(), QStringLiteral("FT 2024/0093"));
            QCOMPARE(w->StFirma->esito(), esito);
            QCOMPARE(e.m_tabella->currentIndex().row(), 1);
            QCOMPARE(e.m_tabella->selectionModel()->selectedRows().size(), 1);
            QCOMPARE(e.m_tabella->selectionModel()->selectedRows().front().row(), 1);
        }

        const auto sola = m_fatture->path() / "sola" / kCampioni[5];
        fs::create_directories(sola.parent_path());
        fs::copy_file(campione(kCampioni[5]), sola);
        QSignalSpy conclusa(w.get(), &TFONDIVO::aperturaConclusa);
        w->apriFile(sola.string());
        QVERIFY(conclusa.wait(30000));
        QCOMPARE(w->StFileXML->text(), QString::fromStdString(sola.string()));
        QVERIFY(!e.m_tabella->currentIndex().isValid());
        QVERIFY(e.m_tabella->selectionModel()->selectedRows().isEmpty());
    }

    // A list only reads: choosing each of its rows, an envelope among them, writes nothing in
    // the user's folder, and an archive's entry is named by its archive. Closed, the list lets
    // its rows go, but the invoice shown keeps what it was read from (its PDF is still made);
    // the list's private copies go once another invoice takes its place.
    void rowsOnlyReadAndKeepWhatTheyNeed() {
        const fs::path cartella = m_fatture->path() / "mese";
        copiaCampioni(cartella, 0, 2);
        const fs::path chiavi = m_fatture->path() / "chiavi";
        fs::create_directories(chiavi);
        QVERIFY(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt",
                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "k.pem", "-out",
                         "c.pem", "-days", "2", "-subj", "/CN=Test"},
                        chiavi));
        const std::string busta = (cartella / (std::string(kCampioni[2]) + ".p7m")).string();
        QVERIFY(openssl({"cms", "-sign", "-nodetach", "-binary", "-outform", "DER", "-in",
                         QString::fromStdString(campione(kCampioni[2]).string()), "-signer",
                         "c.pem", "-inkey", "k.pem", "-out", QString::fromStdString(busta)},
                        chiavi));
        QVERIFY(zip(cartella / "archivio.zip",
                    {{std::string("sotto/") + kCampioni[3], campione(kCampioni[3])}}));
        const auto prima = albero(cartella);

        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->apriPercorsi({cartella.string()});
        QVERIFY(w->m_elenco);
        FinestraElenco& e = *w->m_elenco;
        QVERIFY(letta(e));
        const auto mostra = [&](int i) {
            e.m_tabella->setCurrentIndex(e.m_filtro->index(i, ModelloElenco::Numero));
            return QTest::qWaitFor(
                [&] {
                    return !w->aperturaInCorso() &&
                           w->StFileXML->text() == QString::fromStdString(rigaMostrata(e, i).file);
                },
                30000);
        };
        int voce = -1;
        bool bustaVista = false;
        for (int i = 0; i < e.m_filtro->rowCount(); ++i) {
            if (rigaMostrata(e, i).percorso.empty())
                continue;
            QVERIFY2(mostra(i), rigaMostrata(e, i).file.c_str());
            bustaVista = bustaVista || rigaMostrata(e, i).file == busta;
            if (rigaMostrata(e, i).file.find(SeparatoreArchivio) != std::string::npos)
                voce = i;
        }
        QVERIFY(bustaVista);
        QVERIFY(voce >= 0);
        QCOMPARE(QString::fromStdString(rigaMostrata(e, voce).file),
                 QString::fromStdString((cartella / "archivio.zip").string()) +
                     QStringLiteral(" \u203A sotto/") + QLatin1String(kCampioni[3]));
        QVERIFY(albero(cartella) == prima);

        QVERIFY(mostra(voce));
        const std::string copia = rigaMostrata(e, voce).percorso;
        QVERIFY(fs::exists(copia));
        e.close();
        QCOMPARE(e.m_modello->rowCount(), 0);
        QVERIFY(fs::exists(copia));
        const fs::path pdf = m_fatture->path() / "pdf" / "voce.pdf";
        fs::create_directories(pdf.parent_path());
        prompts.answers.push_back(pdf.string());
        w->eseguiComando([&w] { w->esportaPdfClick(); });
        QVERIFY(QTest::qWaitFor([&w] { return w->m_esportazioniInCorso == 0; }, 60000));
        QVERIFY2(prompts.shown.empty(), prompts.shown.empty() ? "" : prompts.shown[0].c_str());
        QVERIFY(leggi(pdf).starts_with("%PDF-"));
        // The save dialog starts where the archive is, not in the private copy's folder.
        QCOMPARE(prompts.dialogs.back().cartellaIniziale, cartella.string());

        w->ApriFattura((cartella / kCampioni[0]).string());
        QTRY_VERIFY_WITH_TIMEOUT(!w->aperturaInCorso(), 30000);
        QCOMPARE(w->StFileXML->text(), QString::fromStdString((cartella / kCampioni[0]).string()));
        QVERIFY(!fs::exists(copia));
        QVERIFY(!fs::exists(fs::path(copia).parent_path()));
        QVERIFY(albero(cartella) == prima);
    }

    // Esc closes the list wherever the focus is in it, the filter field included.
    void escClosesTheList() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        for (QWidget* dove :
             {static_cast<QWidget*>(e.m_tabella), static_cast<QWidget*>(e.m_campoFiltro)}) {
            e.show();
            e.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&e));
            dove->setFocus();
            QVERIFY(e.isVisible());
            QTest::keyClick(dove, Qt::Key_Escape);
            QTRY_VERIFY(!e.isVisible());
        }
        QVERIFY(w->isVisible());
    }

    // Cancelling stops the reading within the file being read: a signature tool that would
    // wait for two minutes is stopped, the files after it are not read.
    void cancelStopsReading() {
        const fs::path cartella = m_fatture->path() / "lenta";
        copiaCampioni(cartella);
        scrivi(cartella / "000.p7m", std::string("\x30\x03\x02\x01\x01", 5)); // read first
        const fs::path strumento = m_programma->path() / "ossl" / "openssl";
        fs::remove(strumento);
        scrivi(strumento, "#!/bin/sh\nwhile [ ! -e '" + cancello().string() +
                              "' ]; do sleep 0.05; done\nexit 1\n");
        fs::permissions(strumento, fs::perms::owner_all);

        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->apriPercorsi({cartella.string()});
        QVERIFY(w->m_elenco);
        FinestraElenco& e = *w->m_elenco;
        QVERIFY(e.letturaInCorso());
        QVERIFY(e.m_btnAnnulla->isVisible());
        QVERIFY(!e.m_btnPdf->isEnabled());
        QSignalSpy finita(&e, &FinestraElenco::letturaFinita);
        QTest::mouseClick(e.m_btnAnnulla, Qt::LeftButton);
        QVERIFY(finita.wait(30000));
        QCOMPARE(e.m_modello->rowCount(), 0);
        QCOMPARE(e.m_avanzamento->text(), QStringLiteral("Lettura annullata: 0 file letti"));
        QVERIFY(!e.m_btnAnnulla->isVisible());
        QVERIFY(e.m_btnPdf->isEnabled());
    }

    // The CSV of the rows shown, in their order, through the save dialog.
    void exportsTheCsvOfTheRowsShown() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        QTest::keyClicks(e.m_campoFiltro, QStringLiteral("s.r.l."));
        e.m_tabella->sortByColumn(ModelloElenco::Totale, Qt::DescendingOrder);
        const std::string csv = (m_fatture->path() / "elenco.csv").string();
        prompts.answers.push_back(csv);
        QTest::mouseClick(e.m_btnCsv, Qt::LeftButton);
        QVERIFY(prompts.shown.empty());
        QCOMPARE(prompts.proposed, std::vector<std::string>{"elenco fatture.csv"});
        const std::string byte = leggi(csv);
        QVERIFY(byte.starts_with("\xEF\xBB\xBF")); // the BOM spreadsheets look for
        QStringList righe = QString::fromStdString(byte.substr(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(righe.takeLast(), QString());
        QCOMPARE(righe.size(), 4);
        QVERIFY(righe[0].startsWith(QStringLiteral("Tipo;Numero;Data;Fornitore;")));
        QVERIFY2(righe[1].startsWith(QStringLiteral(
                     "TD01;2024/0187;14/03/2024;Idrotermica Berica S.r.l.;IT04382710285;")),
                 qPrintable(righe[1]));
        QVERIFY(righe[1].contains(QStringLiteral(";2932,15;391,17;3323,32;")));
        QVERIFY(righe[2].contains(QStringLiteral("Nordest Software S.r.l.")));
        QVERIFY(righe[3].contains(QStringLiteral("Fisiomedica Euganea S.r.l.")));
    }

    // A PDF per file of the rows selected, named from each header, never over a file there.
    void exportsThePdfsOfTheSelectedRows() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        e.m_tabella->sortByColumn(ModelloElenco::Totale, Qt::AscendingOrder);
        e.m_tabella->selectRow(1);
        QTest::keyClick(e.m_tabella, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(e.m_tabella->selectionModel()->selectedRows().size(), 2);

        const fs::path uscite = m_fatture->path() / "pdf";
        const fs::path occupato = uscite / "2024-04-02 Nordest Software S.r.l. FT 2024-0093.pdf";
        scrivi(occupato, "mio");
        prompts.answers.push_back(uscite.string());
        e.m_esegui([&e] { e.esportaPdf(FinestraElenco::Ambito::Selezionate); });
        QVERIFY(e.lavoroInCorso());
        QVERIFY(e.m_barra->isVisible());
        QVERIFY(lavoroFinito(e));
        QCOMPARE(prompts.shown, std::vector<std::string>{"summary: PDF creati: 2 su 2 in " +
                                                         uscite.string() + "."});
        QVERIFY(prompts.motivi.empty());
        QCOMPARE(nomiIn(uscite), (std::vector<std::string>{
                                     "2024-03-14 Idrotermica Berica S.r.l. 2024-0187.pdf",
                                     "2024-04-02 Nordest Software S.r.l. FT 2024-0093 (2).pdf",
                                     "2024-04-02 Nordest Software S.r.l. FT 2024-0093.pdf"}));
        QCOMPARE(leggi(occupato), std::string("mio"));
        for (const char* nome : {"2024-03-14 Idrotermica Berica S.r.l. 2024-0187.pdf",
                                 "2024-04-02 Nordest Software S.r.l. FT 2024-0093 (2).pdf"})
            QVERIFY2(leggi(uscite / nome).starts_with("%PDF-"), nome);
        QVERIFY(!e.m_barra->isVisible());
    }

    // The list's PDFs are made with the stylesheet the window shows the invoices with; one of
    // the user's that fails leaves them to Ondivo's, and the summary counts them and says why.
    void pdfsFollowTheChosenStylesheet() {
        const fs::path fogli = m_fatture->path() / "fogli";
        scrivi(fogli / "ferma.xsl",
               "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
               "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">basta</xsl:message>"
               "</xsl:template></xsl:stylesheet>");
        ImpostaFoglioPersonale("FPR12", (fogli / "ferma.xsl").string());
        const auto ripristina = qScopeGuard([] { RimuoviFoglioPersonale("FPR12"); });
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        e.m_tabella->sortByColumn(ModelloElenco::Totale, Qt::AscendingOrder);
        e.m_tabella->selectRow(1);
        QTest::keyClick(e.m_tabella, Qt::Key_Down, Qt::ShiftModifier);
        const fs::path uscite = m_fatture->path() / "pdf";
        fs::create_directories(uscite);
        prompts.answers.push_back(uscite.string());
        e.m_esegui([&e] { e.esportaPdf(FinestraElenco::Ambito::Selezionate); });
        QVERIFY(lavoroFinito(e));
        // The main window says it of the row it shows, in a box of its own.
        std::erase_if(prompts.shown, [](const std::string& m) { return m.rfind("summary: ", 0); });
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"summary: PDF creati: 2 su 2 in " + uscite.string() +
                                          "; con il foglio di stile di Ondivo al posto del "
                                          "proprio: 2."});
        QCOMPARE(prompts.motivi.size(), std::size_t(2));
        for (const auto& motivo : prompts.motivi)
            QVERIFY2(motivo.find("ferma.xsl") != std::string::npos, motivo.c_str());
        QCOMPARE(nomiIn(uscite).size(), std::size_t(2));
    }

    // Cancelling a work begins no further file: with two files at most under way, most of the
    // six are left, and the summary says so.
    void cancelStopsAWork() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        const fs::path uscite = m_fatture->path() / "pdf";
        fs::create_directories(uscite);
        prompts.answers.push_back(uscite.string());
        e.m_esegui([&e] { e.esportaPdf(FinestraElenco::Ambito::Mostrate); });
        QVERIFY(e.m_btnAnnulla->isVisible());
        QTest::mouseClick(e.m_btnAnnulla, Qt::LeftButton);
        QVERIFY(lavoroFinito(e));
        QCOMPARE(prompts.shown.size(), 1u);
        QVERIFY2(prompts.shown[0].find("file non elaborati.") != std::string::npos,
                 prompts.shown[0].c_str());
        QVERIFY(nomiIn(uscite).size() <= 2);
        for (const auto& nome : nomiIn(uscite))
            QVERIFY2(leggi(uscite / nome).starts_with("%PDF-"), nome.c_str());
        QVERIFY(!e.m_btnAnnulla->isVisible());
    }

    // A row not read counts among the failures, with its reason; the others are made.
    void pdfsOfRowsNotReadFail() {
        const fs::path cartella = m_fatture->path() / "misti";
        copiaCampioni(cartella, 5, 6);
        scrivi(cartella / "zz.xml", "<non chiuso>");
        test::FakePrompts prompts;
        auto w = finestra(prompts);
        w->apriPercorsi({cartella.string()});
        FinestraElenco& e = *w->m_elenco;
        QVERIFY(letta(e));
        const fs::path uscite = m_fatture->path() / "pdf";
        fs::create_directories(uscite);
        prompts.answers.push_back(uscite.string());
        e.m_esegui([&e] { e.esportaPdf(FinestraElenco::Ambito::Mostrate); });
        QVERIFY(lavoroFinito(e));
        QCOMPARE(prompts.shown, std::vector<std::string>{"summary: PDF creati: 1 su 2 in " +
                                                         uscite.string() + "; non riusciti: 1."});
        QCOMPARE(prompts.motivi.size(), 1u);
        QVERIFY2(prompts.motivi[0].starts_with((cartella / "zz.xml").string() + ": non letto: "),
                 prompts.motivi[0].c_str());
        QCOMPARE(nomiIn(uscite).size(), 1u);
    }

    // Every attachment of the rows shown, one folder per invoice named from supplier and number;
    // a second time nothing is replaced.
    void savesTheAttachmentsIntoAChosenFolder() {
        test::FakePrompts prompts;
        auto w = elencoCampioni(prompts);
        QVERIFY(w);
        FinestraElenco& e = *w->m_elenco;
        const auto attesi = allegatiDelXml(campione(kConAllegati));
        QCOMPARE(attesi.size(), 2u);
        const fs::path base = m_fatture->path() / "allegati";
        const fs::path cartella = base / "Nordest Software S.r.l. FT 2024-0093";

        prompts.answers.push_back(base.string());
        e.m_esegui([&e] { e.salvaAllegati(FinestraElenco::Ambito::Mostrate); });
        QVERIFY(lavoroFinito(e));
        // The dialog starts in the program's attachment folder.
        QCOMPARE(prompts.dialogs.back().cartellaIniziale,
                 m_programma->path().string() + "/ALLEGATI/");
        QCOMPARE(prompts.shown,
                 std::vector<std::string>{"summary: Allegati salvati: 2 di 1 fatture "
                                          "su 6, in " +
                                          base.string() + "; senza allegati: 5."});
        QCOMPARE(nomiIn(base), std::vector<std::string>{cartella.filename().string()});
        for (const auto& [nome, byte] : attesi)
            QCOMPARE(leggi(cartella / nome), byte);

        // A second save never goes into the folder of the first (it may hold the files of
        // another invoice, or the user's): a folder of its own, the first left as it is.
        const std::string cambiato = attesi.begin()->first;
        scrivi(cartella / cambiato, "cambiato");
        prompts.answers.push_back(base.string());
        e.m_esegui([&e] { e.salvaAllegati(FinestraElenco::Ambito::Mostrate); });
        QVERIFY(lavoroFinito(e));
        QCOMPARE(leggi(cartella / cambiato), std::string("cambiato"));
        QCOMPARE(nomiIn(cartella).size(), 2u);
        const fs::path seconda = base / (cartella.filename().string() + " (2)");
        QCOMPARE(nomiIn(base), (std::vector<std::string>{cartella.filename().string(),
                                                         seconda.filename().string()}));
        for (const auto& [nome, byte] : attesi)
            QCOMPARE(leggi(seconda / nome), byte);
    }
};

} // namespace ondivo

ONDIVO_QTEST_MAIN(ondivo::TestElenco)
#include "elenco_test.moc"
