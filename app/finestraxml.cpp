#include "finestraxml.h"

#include "partifirmate.h"
#include "vistaxml.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace ondivo {

FinestraXml::FinestraXml(QWidget* genitore) : QWidget(genitore, Qt::Window) {
    setObjectName(QStringLiteral("FinestraXml"));
    setWindowTitle(QStringLiteral("XML"));
    m_vista = new VistaXml(this);
    auto* colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(0, 0, 0, 0);
    colonna->addWidget(m_vista);

    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &FinestraXml::esc);
    esc->setObjectName(QStringLiteral("escXml"));
    auto* chiudi = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this, this, &QWidget::close);
    chiudi->setObjectName(QStringLiteral("chiudiXml"));

    const QScreen* schermo = genitore ? genitore->screen() : QGuiApplication::primaryScreen();
    const QSize disponibile = schermo ? schermo->availableSize() : QSize(1280, 900);
    resize(std::min(1000, disponibile.width() * 4 / 5),
           std::min(760, disponibile.height() * 4 / 5));
}

void FinestraXml::mostra(const std::string& xml, const QString& nome, const QString& notaBusta) {
    setWindowTitle(QStringLiteral("XML – ") + nome);
    m_vista->mostra(xml, notaBusta.isEmpty() ? TrovaPartiFirmate(xml) : PartiFirmate{}, notaBusta);
}

FinestraXml* FinestraXml::apri(const std::string& xml, const QString& nome,
                               const QString& notaBusta, QWidget* genitore) {
    auto* finestra = new FinestraXml(genitore);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    finestra->mostra(xml, nome, notaBusta);
    finestra->show();
    finestra->raise();
    finestra->activateWindow();
    return finestra;
}

// The find bar goes first: one Esc closes it, the next the window.
void FinestraXml::esc() {
    if (!m_vista->chiudiRicerca())
        close();
}

} // namespace ondivo
