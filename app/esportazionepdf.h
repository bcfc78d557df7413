#pragma once

#include <QObject>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QThreadPool;

namespace ondivo {

class HtmlView;
struct ContenutoPdf;

// One invoice to turn into PDF: the file opened, and either the PDF written (`pdf`, replaced
// when there) or the folder it goes in (`cartella`), named from the invoice's header
// (NomePdfProposto) under a name no file there has yet, "nome (2).pdf" and so on.
// One PDF to make: of `fattura`, into the file `pdf`, or, with `cartella`, into that folder
// under a name of its own that no file there has. A named `pdf` never replaces an invoice of
// the run, nor a file already there unless `sovrascrivi`.
struct LavoroPdf {
    std::string fattura;
    std::string pdf;
    std::string cartella;
    bool sovrascrivi = false;
};

// Makes the PDF of every invoice with two page engines and no window: the open command, the
// page as the window shows it, printed to A4, then completed (ScriviPdf). While one page
// prints, the other loads the next invoice; opening, completing and writing run on a worker
// thread, so the caller's event loop stays free. Needs a running QApplication, the program
// folder and PreparaAperture(). A failed file leaves no PDF behind.
class EsportazionePdf : public QObject {
    Q_OBJECT

public:
    explicit EsportazionePdf(std::vector<LavoroPdf> lavori, QObject* parent = nullptr);
    // Waits for the file being written: a PDF is either whole or not there.
    ~EsportazionePdf() override;

    // The user's stylesheets the pages are made with (PartiDocumento::fogliPersonali); none
    // set, Ondivo's. Before avvia().
    void impostaFogliPersonali(std::map<std::string, std::string> fogli) {
        m_fogliPersonali = std::move(fogli);
    }

    // Starts the work; finita() follows the last file, from the event loop.
    void avvia();
    // No further file is begun and an open under way stops; the files being printed or written
    // are finished and reported, then finita() comes.
    void annulla();

    std::size_t quanti() const { return m_lavori.size(); }
    std::size_t riusciti() const { return m_riusciti; }
    bool annullata() const { return m_annullata; }

signals:
    // One file done: the PDF written, or the reason it was not (`errore` not empty). Files
    // not begun because of annulla() are not reported.
    void fileConcluso(int indice, const QString& pdf, const QString& errore);
    // The user's stylesheet could not make the page of a file, made with Ondivo's instead.
    void avvisoFoglio(int indice, const QString& avviso);
    void finita();

private:
    struct Posto {
        std::unique_ptr<HtmlView> vista;
        std::size_t lavoro = 0;
        std::shared_ptr<const ContenutoPdf> contenuto; // set while the page loads or prints
        std::string pdf;
    };
    struct Aperta;

    void avviaProssimo(Posto& posto);
    void aperta(Posto& posto, Aperta& esito);
    void caricata(Posto& posto, bool ok);
    void stampata(Posto& posto, const QByteArray& stampato);
    void concluso(Posto& posto, const std::string& errore, bool riporta = true);
    // The destination of a file of a folder job; runs on the worker only.
    std::string destinazione(const LavoroPdf& lavoro, const std::string& nomeProposto);

    std::vector<LavoroPdf> m_lavori;
    std::map<std::string, std::string> m_fogliPersonali;
    std::array<Posto, 2> m_posti;
    std::unique_ptr<QThreadPool> m_lavoratore;
    std::shared_ptr<std::atomic<bool>> m_annulla;
    std::set<std::string> m_riservati; // folder-job names given in this run (worker only)
    std::size_t m_prossimo = 0;        // the next file to open
    std::size_t m_riusciti = 0;
    int m_attivi = 0; // files opening, loading, printing or being written
    bool m_avviata = false;
    bool m_annullata = false;
    bool m_finita = false;
    bool m_chiusura = false; // the object is going: late callbacks of the engine do nothing
};

// EsportazionePdf with a report on standard error: "n/tot nome" for each file when it is a
// terminal, a line naming each failure and its reason, a summary at the end. Sets up the
// program folder and the opens. The pages are made with `foglio` for every invoice when it is
// given (a failure said on standard error), with Ondivo's stylesheets otherwise: the choices
// the window remembers do not apply. Returns 0 when every PDF was written, 1 otherwise.
int EsportaPdfSenzaFinestra(const std::vector<LavoroPdf>& lavori, const std::string& foglio = {});

// Drops Qt's and the engine's own notes (graphics, folders), so that standard error carries
// only the lines above. Call before the QApplication is made.
void TaciMessaggiQt();

} // namespace ondivo
