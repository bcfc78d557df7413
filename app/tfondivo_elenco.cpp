// The main window's way to the list of many invoices.
#include "esploratore.h"
#include "filerecenti.h"
#include "finestraelenco.h"
#include "posizioneelenco.h"
#include "text.h"
#include "tfondivo.h"

#include <QGuiApplication>
#include <QScreen>

namespace ondivo {

void TFONDIVO::apriPercorsi(const std::vector<std::string>& percorsi) {
    eseguiComando([this, percorsi] { apriScelti(percorsi); });
}

void TFONDIVO::apriScelti(std::vector<std::string> percorsi) {
    std::erase_if(percorsi, [](const std::string& p) { return Trim(p).empty(); });
    if (percorsi.empty())
        return;
    if (!RichiedeElenco(percorsi)) {
        ApriFattura(percorsi.front());
        return;
    }
    // A folder or an archive given alone is remembered, as an invoice opened is.
    if (percorsi.size() == 1)
        AggiungiFileRecente(percorsi.front());
    if (!m_elenco) {
        m_elenco = new FinestraElenco(
            m_prompts, [this](const std::function<void()>& comando) { eseguiComando(comando); },
            this);
        // A row is opened as a list reads: nothing is written beside it.
        connect(m_elenco, &FinestraElenco::fileScelto, this,
                [this](const std::string& percorso, const std::string& nome,
                       std::shared_ptr<const void> custode) {
                    eseguiComando([this, percorso, nome, custode] {
                        ApriFattura(percorso,
                                    {.dallElenco = true, .nome = nome, .custode = custode});
                    });
                });
        // Beside the main window, not over its page, where the screen allows.
        const QRect schermo = screen() ? screen()->availableGeometry() : QRect();
        if (schermo.isValid()) {
            const QRect dove = PosizioneElenco(schermo, frameGeometry(), m_elenco->size());
            m_elenco->resize(dove.size());
            m_elenco->move(dove.topLeft());
        }
    }
    m_elenco->apri(std::move(percorsi));
    m_elenco->show();
    m_elenco->raise();
    m_elenco->activateWindow();
}

} // namespace ondivo
