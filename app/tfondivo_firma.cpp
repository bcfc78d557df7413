// The main window's signatures: the verification beside every open, the badge, the details
// dialog and the trusted list behind it.
#include "dialogofirme.h"
#include "elencofiducia.h"
#include "files.h"
#include "riquadrofirma.h"
#include "scaricamentoelenco.h"
#include "tfondivo.h"
#include "verificafirma.h"

#include <QNetworkAccessManager>
#include <QStandardPaths>
#include <QThreadPool>

namespace ondivo {

const std::shared_ptr<const Fiducia>& TFONDIVO::fiducia() {
    if (!m_fiducia)
        m_fiducia = std::make_shared<const Fiducia>(CaricaFiducia());
    return m_fiducia;
}

namespace {

// Bytes already read, for a verification that need not wait for them.
DatiLetti giaLetti(std::shared_ptr<const std::string> dati) {
    std::promise<std::shared_ptr<const std::string>> promessa;
    promessa.set_value(std::move(dati));
    return promessa.get_future().share();
}

} // namespace

std::uint64_t TFONDIVO::avviaVerificaFirme(const std::string& scelto, DatiLetti dati, bool rete) {
    const std::uint64_t verifica = ++m_ultimaVerifica;
    m_verifiche->start([this, verifica, scelto, dati, rete, fiducia = fiducia()] {
        StatoFirme stato;
        try {
            OpzioniVerifica opzioni;
            opzioni.rete = rete;
            // The open sets the bytes before anything else, whatever becomes of it.
            const auto letti = dati.valid() ? dati.get() : nullptr;
            stato.firme = letti ? VerificaFirmeDati(*letti, scelto, *fiducia, opzioni)
                                : VerificaFirmeFile(scelto, *fiducia, opzioni);
            stato.fase = StatoFirme::Fase::Conclusa;
        } catch (const std::exception& e) {
            // Not a box: the invoice is shown all the same, the badge says what went wrong.
            stato.fase = StatoFirme::Fase::Fallita;
            stato.errore = *e.what() ? e.what() : "Errore imprevisto.";
        } catch (...) {
            stato.fase = StatoFirme::Fase::Fallita;
            stato.errore = "Errore imprevisto.";
        }
        // The window waits for this worker before it goes, so it is still there.
        QMetaObject::invokeMethod(
            this,
            [this, verifica, stato = std::move(stato)]() mutable {
                fineVerificaFirme(verifica, std::move(stato));
            },
            Qt::QueuedConnection);
    });
    return verifica;
}

void TFONDIVO::fineVerificaFirme(std::uint64_t verifica, StatoFirme stato) {
    if (verifica == m_verificaMostrata) {
        m_statoFirme = std::move(stato);
        mostraStatoFirme();
    } else if (verifica == m_verificaAttesa) {
        m_statoAtteso = std::move(stato);
    }
}

void TFONDIVO::mostraFirmeAttese() {
    m_verificaMostrata = m_verificaAttesa;
    if (m_statoAtteso) {
        m_statoFirme = std::move(*m_statoAtteso);
        m_statoAtteso.reset();
    } else {
        m_statoFirme = {};
        m_statoFirme.fase = StatoFirme::Fase::InCorso;
    }
    mostraStatoFirme();
}

void TFONDIVO::mostraStatoFirme() {
    StFirma->mostra(m_statoFirme);
    mostraDettagliFirme();
    emit firmeMostrate();
}

void TFONDIVO::mostraDettagliFirme() {
    if (m_dialogoFirme)
        m_dialogoFirme->mostraFirme(QString::fromStdString(m_provenienzaMostrata.nome),
                                    m_statoFirme,
                                    ConsiglioPerFirme(m_statoFirme, fiducia()->numero() > 0));
}

void TFONDIVO::riquadroFirmaClick() {
    if (!m_dialogoFirme) {
        m_dialogoFirme = new DialogoFirme(this);
        collega(m_dialogoFirme, &DialogoFirme::importaRichiesto, &TFONDIVO::importaElencoClick);
        collega(m_dialogoFirme, &DialogoFirme::aggiornaRichiesto, &TFONDIVO::aggiornaElencoClick);
        collega(m_dialogoFirme, &DialogoFirme::revocheRichieste, &TFONDIVO::revocheInReteClick);
    }
    mostraDettagliFirme();
    aggiornaDialogoFirme();
    m_dialogoFirme->show();
    m_dialogoFirme->raise();
    m_dialogoFirme->activateWindow();
}

void TFONDIVO::aggiornaDialogoFirme() {
    if (!m_dialogoFirme)
        return;
    m_dialogoFirme->mostraElenco(
        RigaElencoSalvato(DescrizioneFiduciaSalvata(), fiducia()->numero()),
        QString::fromStdString(IndirizzoElencoFiducia()));
}

void TFONDIVO::importaElencoClick() {
    const auto scelto = m_prompts.ScegliFileDaImportare(
        {QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString(), "*.xml",
         "elenchi di fiducia (.xml)|*.xml|tutti i file (*.*)|*.*", "Importa elenco di fiducia"});
    if (!scelto || scelto->empty())
        return;
    // An error names the file chosen.
    eseguiComando(
        [this, &scelto] {
            const ElencoFiducia elenco = AccettaElencoFiducia(platform::LeggiFile(*scelto));
            elencoCambiato();
            m_prompts.ShowMessage("Elenco di fiducia importato da " + *scelto + ": " +
                                  SintesiElenco(elenco, elenco.certificati.size()).toStdString());
        },
        *scelto);
}

void TFONDIVO::aggiornaElencoClick() {
    if (m_aggiornamentoInCorso || !m_dialogoFirme)
        return;
    const std::string indirizzo = m_dialogoFirme->indirizzo().toStdString();
    if (indirizzo.empty())
        throw OndivoError("Scrivere l'indirizzo da cui scaricare l'elenco di fiducia");
    if (indirizzo != IndirizzoElencoFiducia())
        ImpostaIndirizzoElencoFiducia(indirizzo);
    if (!m_rete)
        m_rete = new QNetworkAccessManager(this);
    m_aggiornamentoInCorso = true;
    m_dialogoFirme->mostraAggiornamento(true,
                                        QStringLiteral("Scaricamento dell'elenco da %1 in corso…")
                                            .arg(QString::fromStdString(indirizzo)));
    AggiornaElencoFiducia(*m_rete, indirizzo, this,
                          [this, indirizzo](EsitoAggiornamentoElenco esito) {
                              fineAggiornamentoElenco(indirizzo, esito);
                          });
}

void TFONDIVO::fineAggiornamentoElenco(const std::string& indirizzo,
                                       EsitoAggiornamentoElenco& esito) {
    m_aggiornamentoInCorso = false;
    m_dialogoFirme->mostraAggiornamento(false);
    eseguiComando([&] {
        if (esito.errore)
            std::rethrow_exception(esito.errore);
        elencoCambiato();
        m_prompts.ShowMessage(
            "Elenco di fiducia aggiornato da " + indirizzo + ": " +
            SintesiElenco(esito.elenco, esito.elenco.certificati.size()).toStdString());
    });
}

void TFONDIVO::revocheInReteClick() {
    if (m_sceltoMostrato.empty())
        return;
    m_verificaMostrata = avviaVerificaFirme(
        m_sceltoMostrato, giaLetti(m_mostrato ? m_mostrato->dati : nullptr), true);
    m_statoFirme = {};
    m_statoFirme.fase = StatoFirme::Fase::InCorso;
    mostraStatoFirme();
}

void TFONDIVO::elencoCambiato() {
    m_fiducia = std::make_shared<const Fiducia>(CaricaFiducia());
    aggiornaDialogoFirme();
    if (!m_sceltoMostrato.empty()) {
        m_verificaMostrata =
            avviaVerificaFirme(m_sceltoMostrato, giaLetti(m_mostrato ? m_mostrato->dati : nullptr));
        m_statoFirme = {};
        m_statoFirme.fase = StatoFirme::Fase::InCorso;
        mostraStatoFirme();
    }
    // An open still running was verified against the authorities kept before.
    if (aperturaInCorso()) {
        m_verificaAttesa = avviaVerificaFirme(m_sceltoAtteso, m_datiAttesi);
        m_statoAtteso.reset();
    }
}

} // namespace ondivo
