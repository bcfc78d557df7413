#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class QToolButton;

namespace ondivo {

class FiltroElenco;
class LavoroElenco;
class LetturaElenco;
class ModelloElenco;
class Prompts;
struct RigaElenco;

// "Elenco fatture": a window of its own beside the main one with the documents of many files,
// folders and ZIP archives, filled as they are read. A filter, the count and sums of the rows
// shown, and works on the rows selected or shown: their PDFs, their attachments, the CSV of
// the list. The row that becomes current is shown in the main window (fileScelto).
class FinestraElenco : public QWidget {
    Q_OBJECT

public:
    // Command handlers run through `esegui`, which ends their errors in the error box.
    FinestraElenco(Prompts& prompts, std::function<void(const std::function<void()>&)> esegui,
                   QWidget* genitore = nullptr);
    // Stops the reading and the work under way, waiting for the file each is on.
    ~FinestraElenco() override;

    // A new list of the paths: what was read before and the work under way are dropped.
    void apri(std::vector<std::string> percorsi);

    // The main window shows `percorso` (empty: a file not of this list, or nothing): the
    // current row becomes its row, without showing it again, or none. After a failed open the
    // list so points at what is shown, not at the row that failed, which opens again if
    // chosen again.
    void segnaMostrato(const std::string& percorso);

    bool letturaInCorso() const;
    bool lavoroInCorso() const { return m_lavoro != nullptr; }

    // The rows a work takes.
    enum class Ambito { Selezionate, Mostrate };

signals:
    // The file of the row that became current, to be shown: once for the rows of one file.
    // `nome` is the row's file as the list shows it; `custode` keeps the list's private copy
    // of an archive's entry while whoever opens it needs it.
    void fileScelto(const std::string& percorso, const std::string& nome,
                    std::shared_ptr<const void> custode);
    void letturaFinita();
    void lavoroFinito();

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

private:
    void creaControlli();
    void rigaCorrente(const QModelIndex& indice);
    void aggiornaTotali();
    void aggiornaAvanzamento();
    std::vector<RigaElenco> righe(Ambito ambito) const;

    void esportaPdf(Ambito ambito);
    void salvaAllegati(Ambito ambito);
    void esportaCsv();
    void avviaLavoro(std::unique_ptr<LavoroElenco> lavoro);
    void fineLavoro();
    void annullaClick();
    void fineLettura();
    // The work and the reading stopped, the rows and the reading's private copies let go; the
    // model waits for rows of `cartella`.
    void lasciaRighe(const std::string& cartella);

    Prompts& m_prompts;
    std::function<void(const std::function<void()>&)> m_esegui;
    ModelloElenco* m_modello;
    FiltroElenco* m_filtro;
    std::unique_ptr<LetturaElenco> m_lettura;
    std::unique_ptr<LavoroElenco> m_lavoro;
    std::string m_aperto;       // the file last handed to the main window
    std::string m_cartellaPdf;  // where the PDFs of the last work went
    std::string m_cartellaBase; // the first path of the list, where dialogs start

    QLineEdit* m_campoFiltro;
    QToolButton* m_btnPdf;
    QToolButton* m_btnAllegati;
    QPushButton* m_btnCsv;
    QTableView* m_tabella;
    QLabel* m_totali;
    QLabel* m_avanzamento;
    QProgressBar* m_barra;
    QPushButton* m_btnAnnulla;
    QTimer* m_ricalcolo; // the sums are worked out once the rows settle
    // With ONDIVO_TEMPI set, how long the list takes to show its first rows and to be read
    // whole goes to stderr.
    bool m_tempi;
    bool m_primeRigheMostrate = false;
    QElapsedTimer m_cronometro;

    friend class TestElenco;
};

} // namespace ondivo
