#include "letturaelenco.h"

#include "elenco.h"
#include "esploratore.h"
#include "fiducia.h"
#include "modelloelenco.h"

#include <QThreadPool>

#include <chrono>

namespace ondivo {

namespace {

// Rows are handed over when this many are waiting or this long has passed since the last
// batch: the model grows in steps the view follows smoothly.
constexpr std::size_t kRigheLotto = 256;
constexpr auto kIntervalloLotti = std::chrono::milliseconds(100);

} // namespace

LetturaElenco::LetturaElenco(ModelloElenco& modello, QObject* genitore)
    : QObject(genitore), m_modello(modello), m_esploratore(std::make_shared<Esploratore>()),
      m_annulla(std::make_shared<std::atomic<bool>>(false)),
      m_lavoratore(std::make_unique<QThreadPool>()) {
    m_lavoratore->setMaxThreadCount(1);
    // libxslt recurses with the stylesheet's templates: as much stack as the main thread has.
    m_lavoratore->setStackSize(8u << 20);
}

LetturaElenco::~LetturaElenco() {
    m_annulla->store(true);
    // The worker hands its batches to this object: it ends while the object is whole, and
    // the batches still pending are dropped with the object's events.
    m_lavoratore->waitForDone();
}

void LetturaElenco::avvia(std::vector<std::string> percorsi) {
    if (m_inCorso || m_fileLetti > 0)
        return;
    m_inCorso = true;
    m_lavoratore->start(
        [this, percorsi = std::move(percorsi), annulla = m_annulla, esploratore = m_esploratore] {
            const Fiducia fiducia = CaricaFiducia();
            std::vector<RigaElenco> lotto;
            int letti = 0;
            auto ultimo = std::chrono::steady_clock::now();
            const auto consegna = [&] {
                auto pacco = std::make_shared<std::vector<RigaElenco>>(std::move(lotto));
                lotto.clear();
                ultimo = std::chrono::steady_clock::now();
                QMetaObject::invokeMethod(
                    this, [this, pacco, letti] { ricevute(*pacco, letti); }, Qt::QueuedConnection);
            };
            esploratore->esplora(
                percorsi,
                [&](FileTrovato file) {
                    std::vector<RigaElenco> righe = LeggiRigheFile(file, fiducia, annulla.get());
                    if (annulla->load())
                        return;
                    ++letti;
                    for (auto& r : righe)
                        lotto.push_back(std::move(r));
                    if (lotto.size() >= kRigheLotto ||
                        std::chrono::steady_clock::now() - ultimo >= kIntervalloLotti)
                        consegna();
                },
                annulla.get());
            consegna();
            QMetaObject::invokeMethod(
                this, [this] { conclusa(); }, Qt::QueuedConnection);
        });
}

void LetturaElenco::annulla() {
    m_annulla->store(true);
}

void LetturaElenco::ricevute(std::vector<RigaElenco>& righe, int fileLetti) {
    m_modello.aggiungi(std::move(righe));
    m_fileLetti = fileLetti;
    emit progresso(fileLetti);
}

void LetturaElenco::conclusa() {
    m_inCorso = false;
    // The messages may come before or after the invoices they name: matched once all are in.
    m_modello.abbinaMessaggiSdi();
    emit finita();
}

} // namespace ondivo
