#pragma once

#include "elenco.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QThreadPool;

namespace ondivo {

class EsportazionePdf;

// A work on many invoices of the list, one file after the other, in the background: the files
// given once each (the first row of a file stands for it), those not read counted among the
// failures with their reason. Says how far it is, and ends with a summary.
class LavoroElenco : public QObject {
    Q_OBJECT

public:
    // `custode` keeps the files the rows name (archive entries) while the work needs them.
    LavoroElenco(std::vector<RigaElenco> righe, std::shared_ptr<const void> custode,
                 QObject* genitore = nullptr);

    virtual void avvia() = 0;
    // No further file is begun; the one under way is finished or stopped, then finito() comes.
    virtual void annulla() = 0;

    int quanti() const { return static_cast<int>(m_righe.size()); }
    int fatti() const { return m_fatti; }
    bool annullato() const { return m_annullato; }
    // "PDF creati: 3 su 4; non riusciti: 1." and the like.
    virtual std::string riepilogo() const = 0;
    // "file: reason", one per file that failed.
    const std::vector<std::string>& motivi() const { return m_motivi; }
    // What the progress line says while it runs: "PDF 3 di 10".
    virtual QString descrizione() const = 0;

signals:
    void avanzato();
    void finito();

protected:
    // Reports the rows that cannot be worked on (not read) as failures; the others are
    // returned with their place among the rows.
    std::vector<std::size_t> daLavorare();
    void fallito(std::size_t riga, const std::string& errore);
    void fatto();

    std::vector<RigaElenco> m_righe;
    std::shared_ptr<const void> m_custode;
    std::vector<std::string> m_motivi;
    int m_fatti = 0;
    int m_falliti = 0;
    bool m_annullato = false;
};

// One PDF per file into a folder, named from each invoice's header and never over a file
// there (EsportazionePdf).
class PdfElenco : public LavoroElenco {
    Q_OBJECT

public:
    PdfElenco(std::vector<RigaElenco> righe, std::shared_ptr<const void> custode,
              std::string cartella, QObject* genitore = nullptr);
    ~PdfElenco() override;

    void avvia() override;
    void annulla() override;
    std::string riepilogo() const override;
    QString descrizione() const override;

private:
    std::string m_cartella;
    std::vector<std::size_t> m_righeLavori; // the row of each PDF job
    std::unique_ptr<EsportazionePdf> m_esportazione;
    int m_creati = 0;
    int m_conFoglioDiOndivo = 0; // made with Ondivo's stylesheet, the user's having failed
};

// Every attachment of each file into a folder of its own under a base folder
// (CartelleAllegati, SalvaAllegatiFattura): nothing there is ever replaced.
class AllegatiElenco : public LavoroElenco {
    Q_OBJECT

public:
    AllegatiElenco(std::vector<RigaElenco> righe, std::shared_ptr<const void> custode,
                   std::string cartella, QObject* genitore = nullptr);
    // Stops the work and waits for the file being saved.
    ~AllegatiElenco() override;

    void avvia() override;
    void annulla() override;
    std::string riepilogo() const override;
    QString descrizione() const override;

private:
    void salvati(std::size_t riga, int quanti, const std::string& errore, bool annullata);
    void conclusa();

    std::string m_cartella;
    std::unique_ptr<QThreadPool> m_lavoratore;
    std::shared_ptr<std::atomic<bool>> m_annulla;
    int m_allegati = 0;
    int m_conAllegati = 0;
};

} // namespace ondivo
