#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QThreadPool;

namespace ondivo {

class Esploratore;
class ModelloElenco;
struct RigaElenco;

// Reads the rows of many paths (files, folders, ZIP archives) into a list's model on a worker
// thread, file by file as they are found; the rows reach the model in batches, from the event
// loop, so the window never waits for a whole folder.
class LetturaElenco : public QObject {
    Q_OBJECT

public:
    explicit LetturaElenco(ModelloElenco& modello, QObject* genitore = nullptr);
    // Stops the reading and waits for the file being read.
    ~LetturaElenco() override;

    // Starts reading; once per object.
    void avvia(std::vector<std::string> percorsi);
    // Stops before the next file, and within the file being read (a signature tool included).
    // finita() still comes.
    void annulla();

    bool inCorso() const { return m_inCorso; }
    bool annullata() const { return m_annulla->load(); }
    int fileLetti() const { return m_fileLetti; }
    // Keeps the archive entries' copies, which the rows' paths name: whoever opens those files
    // later holds it.
    std::shared_ptr<const Esploratore> esploratore() const { return m_esploratore; }

signals:
    // Rows of more files have reached the model.
    void progresso(int fileLetti);
    // The reading is over, whole or cancelled; the invoices have their SdI states from the
    // messages read.
    void finita();

private:
    void ricevute(std::vector<RigaElenco>& righe, int fileLetti);
    void conclusa();

    ModelloElenco& m_modello;
    std::shared_ptr<Esploratore> m_esploratore;
    std::shared_ptr<std::atomic<bool>> m_annulla;
    std::unique_ptr<QThreadPool> m_lavoratore;
    int m_fileLetti = 0;
    bool m_inCorso = false;
};

} // namespace ondivo
