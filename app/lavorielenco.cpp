#include "lavorielenco.h"

#include "allegatielenco.h"
#include "errors.h"
#include "esportazionepdf.h"
#include "foglipersonali.h"

#include <QThreadPool>

#include <set>

namespace ondivo {

namespace {

// The first row of each file: a file of several documents is worked on once.
std::vector<RigaElenco> unaPerFile(std::vector<RigaElenco> righe) {
    std::set<std::string> visti;
    std::vector<RigaElenco> uniche;
    for (auto& r : righe)
        if (visti.insert(r.percorso.empty() ? "\n" + r.file : r.percorso).second)
            uniche.push_back(std::move(r));
    return uniche;
}

std::string nonFatti(int quanti) {
    return quanti > 0 ? " Annullato: " + std::to_string(quanti) + " file non elaborati." : "";
}

} // namespace

LavoroElenco::LavoroElenco(std::vector<RigaElenco> righe, std::shared_ptr<const void> custode,
                           QObject* genitore)
    : QObject(genitore), m_righe(unaPerFile(std::move(righe))), m_custode(std::move(custode)) {}

std::vector<std::size_t> LavoroElenco::daLavorare() {
    std::vector<std::size_t> buone;
    for (std::size_t i = 0; i < m_righe.size(); ++i) {
        if (m_righe[i].percorso.empty() || !m_righe[i].errore.empty())
            fallito(i, "non letto: " + m_righe[i].errore);
        else
            buone.push_back(i);
    }
    return buone;
}

void LavoroElenco::fallito(std::size_t riga, const std::string& errore) {
    ++m_falliti;
    std::string motivo = m_righe[riga].file + ": ";
    for (const char c : errore)
        motivo += (c == '\n' || c == '\r') ? ' ' : c;
    m_motivi.push_back(std::move(motivo));
    fatto();
}

void LavoroElenco::fatto() {
    ++m_fatti;
    emit avanzato();
}

PdfElenco::PdfElenco(std::vector<RigaElenco> righe, std::shared_ptr<const void> custode,
                     std::string cartella, QObject* genitore)
    : LavoroElenco(std::move(righe), std::move(custode), genitore),
      m_cartella(std::move(cartella)) {}

PdfElenco::~PdfElenco() = default;

void PdfElenco::avvia() {
    std::vector<LavoroPdf> lavori;
    for (const std::size_t i : daLavorare()) {
        m_righeLavori.push_back(i);
        lavori.push_back({m_righe[i].percorso, {}, m_cartella});
    }
    m_esportazione = std::make_unique<EsportazionePdf>(std::move(lavori));
    // The PDFs are made with the stylesheets the window shows the invoices with.
    m_esportazione->impostaFogliPersonali(LeggiFogliPersonali());
    connect(m_esportazione.get(), &EsportazionePdf::fileConcluso, this,
            [this](int i, const QString&, const QString& errore) {
                if (errore.isEmpty()) {
                    ++m_creati;
                    fatto();
                } else {
                    fallito(m_righeLavori[static_cast<std::size_t>(i)], errore.toStdString());
                }
            });
    // A PDF made with Ondivo's stylesheet because the user's failed is made, but not as the
    // user asked: the summary counts it and its reasons say why.
    connect(m_esportazione.get(), &EsportazionePdf::avvisoFoglio, this,
            [this](int i, const QString& avviso) {
                ++m_conFoglioDiOndivo;
                m_motivi.push_back(m_righe[m_righeLavori[static_cast<std::size_t>(i)]].file + ": " +
                                   avviso.toStdString());
            });
    connect(m_esportazione.get(), &EsportazionePdf::finita, this, &LavoroElenco::finito);
    m_esportazione->avvia();
}

void PdfElenco::annulla() {
    m_annullato = true;
    if (m_esportazione)
        m_esportazione->annulla();
}

std::string PdfElenco::riepilogo() const {
    std::string testo = "PDF creati: " + std::to_string(m_creati) + " su " +
                        std::to_string(quanti()) + " in " + m_cartella;
    if (m_falliti > 0)
        testo += "; non riusciti: " + std::to_string(m_falliti);
    if (m_conFoglioDiOndivo > 0)
        testo += "; con il foglio di stile di Ondivo al posto del proprio: " +
                 std::to_string(m_conFoglioDiOndivo);
    return testo + "." + nonFatti(quanti() - m_fatti);
}

QString PdfElenco::descrizione() const {
    return QStringLiteral("PDF: %1 di %2").arg(fatti()).arg(quanti());
}

AllegatiElenco::AllegatiElenco(std::vector<RigaElenco> righe, std::shared_ptr<const void> custode,
                               std::string cartella, QObject* genitore)
    : LavoroElenco(std::move(righe), std::move(custode), genitore), m_cartella(std::move(cartella)),
      m_lavoratore(std::make_unique<QThreadPool>()),
      m_annulla(std::make_shared<std::atomic<bool>>(false)) {
    m_lavoratore->setMaxThreadCount(1);
    m_lavoratore->setStackSize(8u << 20);
}

AllegatiElenco::~AllegatiElenco() {
    m_annulla->store(true);
    // The worker reports to this object: it ends while the object is whole.
    m_lavoratore->waitForDone();
}

void AllegatiElenco::avvia() {
    // Each file's folder is decided here, in the order of the rows, before any is saved.
    CartelleAllegati cartelle(m_cartella);
    std::vector<std::pair<std::size_t, std::string>> lavori;
    for (const std::size_t i : daLavorare())
        lavori.emplace_back(i, cartelle.cartellaDi(m_righe[i]));
    m_lavoratore->start([this, lavori, annulla = m_annulla] {
        for (const auto& [riga, cartella] : lavori) {
            if (annulla->load())
                break;
            int quanti = 0;
            std::string errore;
            bool annullata = false;
            try {
                quanti = SalvaAllegatiFattura(m_righe[riga].percorso, cartella, annulla.get());
            } catch (const EAnnullata&) {
                annullata = true;
            } catch (const std::exception& e) {
                errore = e.what();
                if (errore.empty())
                    errore = "Errore imprevisto.";
            }
            QMetaObject::invokeMethod(
                this,
                [this, riga, quanti, errore, annullata] {
                    salvati(riga, quanti, errore, annullata);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            this, [this] { conclusa(); }, Qt::QueuedConnection);
    });
}

void AllegatiElenco::annulla() {
    m_annullato = true;
    m_annulla->store(true);
}

void AllegatiElenco::salvati(std::size_t riga, int quanti, const std::string& errore,
                             bool annullata) {
    if (annullata)
        return;
    if (!errore.empty()) {
        fallito(riga, errore);
        return;
    }
    m_allegati += quanti;
    m_conAllegati += quanti > 0 ? 1 : 0;
    fatto();
}

void AllegatiElenco::conclusa() {
    emit finito();
}

std::string AllegatiElenco::riepilogo() const {
    std::string testo = "Allegati salvati: " + std::to_string(m_allegati) + " di " +
                        std::to_string(m_conAllegati) + " fatture su " + std::to_string(quanti()) +
                        ", in " + m_cartella;
    const int senza = m_fatti - m_falliti - m_conAllegati;
    if (senza > 0)
        testo += "; senza allegati: " + std::to_string(senza);
    if (m_falliti > 0)
        testo += "; non riusciti: " + std::to_string(m_falliti);
    return testo + "." + nonFatti(quanti() - m_fatti);
}

QString AllegatiElenco::descrizione() const {
    return QStringLiteral("Allegati: %1 di %2").arg(fatti()).arg(quanti());
}

} // namespace ondivo
