// The main window's way to the list of many invoices.
#include "esploratore.h"
#include "finestraelenco.h"
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
        // Over the lower part of the main window's page, where its header and attachment
        // list stay in sight; as wide as the screen allows.
        const QRect schermo = screen() ? screen()->availableGeometry() : QRect();
        if (schermo.isValid()) {
            const QSize dimensione = m_elenco->size().boundedTo(schermo.size() - QSize(32, 120));
            m_elenco->resize(dimensione);
            m_elenco->move(schermo.left() + 16, schermo.bottom() - dimensione.height() - 60);
        }
    }
    m_elenco->apri(std::move(percorsi));
    m_elenco->show();
    m_elenco->raise();
    m_elenco->activateWindow();
}

} // namespace ondivo
