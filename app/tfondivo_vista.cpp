// The main window's views of the invoice besides its page: its XML as text, the stylesheet the
// page is made with, and the files opened last.
#include "errors.h"
#include "filerecenti.h"
#include "finestraxml.h"
#include "foglipersonali.h"
#include "stylesheetchoice.h"
#include "tfondivo.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

namespace ondivo {

namespace {

// What a user calls each format.
QString nomeFormato(const std::string& formato) {
    if (formato == "FPA12")
        return QStringLiteral("FPA12 – fatture alla Pubblica Amministrazione");
    if (formato == "FPR12")
        return QStringLiteral("FPR12 – fatture tra privati");
    if (formato == "FSM10")
        return QStringLiteral("FSM10 – fatture semplificate");
    return QString::fromStdString(formato);
}

// A file name as a menu shows it: an "&" is a character, not a shortcut's mark.
QString testoMenu(const QString& testo) {
    return QString(testo).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

void TFONDIVO::creaAzioniVista() {
    azioneMostraXml = new QAction(QStringLiteral("Mostra XML"), this);
    azioneMostraXml->setObjectName(QStringLiteral("azioneMostraXml"));
    azioneMostraXml->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_U));
    azioneMostraXml->setShortcutContext(Qt::WindowShortcut);
    addAction(azioneMostraXml);
    connect(btnRecenti->menu(), &QMenu::aboutToShow, this,
            [this] { preparaMenuRecenti(btnRecenti->menu()); });
    // The same menu on Seleziona itself, with the right button; its click stays the dialog.
    btnSelFile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btnSelFile, &QWidget::customContextMenuRequested, this, [this](const QPoint& punto) {
        QMenu menu(this);
        preparaMenuRecenti(&menu);
        menu.exec(btnSelFile->mapToGlobal(punto));
    });
    connect(btnFoglioStile->menu(), &QMenu::aboutToShow, this,
            [this] { eseguiComando([this] { preparaMenuFogli(); }); });
}

void TFONDIVO::collegaComandiVista() {
    collega(btnMostraXml, &QPushButton::clicked, &TFONDIVO::mostraXmlClick);
    collega(azioneMostraXml, &QAction::triggered, &TFONDIVO::mostraXmlClick);
}

void TFONDIVO::mostraXmlClick() {
    if (!m_mostrato || !m_mostrato->xml)
        return;
    if (!m_finestraXml) {
        m_finestraXml = new FinestraXml(this);
        m_finestraXml->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_finestraXml->show();
    aggiornaFinestraXml();
    m_finestraXml->raise();
    m_finestraXml->activateWindow();
}

void TFONDIVO::aggiornaFinestraXml() {
    if (!m_finestraXml || !m_finestraXml->isVisible())
        return;
    if (!m_mostrato || !m_mostrato->xml) {
        m_finestraXml->close();
        return;
    }
    const bool busta = m_mostrato->dati && m_mostrato->dati != m_mostrato->xml;
    m_finestraXml->mostra(*m_mostrato->xml, QString::fromStdString(m_provenienzaMostrata.nome),
                          busta ? QStringLiteral("Tutto il testo mostrato è il contenuto firmato "
                                                 "della busta.")
                                : QString());
}

void TFONDIVO::preparaMenuFogli() {
    QMenu* menu = btnFoglioStile->menu();
    menu->clear();
    // clear() leaves the submenus made before: they go too, the menu is made anew.
    qDeleteAll(menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
    std::string problema;
    const auto scelti = LeggiFogliPersonali(&problema);
    if (!problema.empty()) {
        QAction* avviso = menu->addAction(testoMenu(QString::fromStdString(problema)));
        avviso->setEnabled(false);
        menu->addSeparator();
    }
    // The format of the invoice shown first.
    const std::string mostrato = m_mostrato ? m_mostrato->formato : std::string();
    std::vector<std::string> formati;
    for (const auto& f : FogliStile)
        formati.emplace_back(f.formato);
    std::stable_partition(formati.begin(), formati.end(),
                          [&](const std::string& f) { return f == mostrato; });
    for (const std::string& formato : formati) {
        QString titolo = nomeFormato(formato);
        if (formato == mostrato)
            titolo += QStringLiteral(" (la fattura mostrata)");
        QMenu* sotto = menu->addMenu(titolo);
        sotto->setObjectName(QString::fromStdString("menuFoglio" + formato));
        auto* gruppo = new QActionGroup(sotto);
        const auto scelto = scelti.find(formato);
        QAction* ondivo = sotto->addAction(QStringLiteral("Foglio di Ondivo (predefinito)"));
        ondivo->setObjectName(QStringLiteral("foglioOndivo"));
        ondivo->setCheckable(true);
        ondivo->setChecked(scelto == scelti.end());
        gruppo->addAction(ondivo);
        if (scelto != scelti.end()) {
            const QString percorso = QString::fromStdString(scelto->second);
            QAction* mio = sotto->addAction(
                testoMenu(QStringLiteral("Il mio: ") + QFileInfo(percorso).fileName()));
            mio->setObjectName(QStringLiteral("foglioPersonale"));
            mio->setToolTip(percorso.toHtmlEscaped());
            mio->setCheckable(true);
            mio->setChecked(true);
            gruppo->addAction(mio);
            connect(ondivo, &QAction::triggered, this, [this, formato] {
                eseguiComando([this, formato] { tornaAlFoglioDiOndivo(formato); });
            });
        }
        sotto->addSeparator();
        QAction* scegli = sotto->addAction(QStringLiteral("Scegli un foglio di stile…"));
        scegli->setObjectName(QStringLiteral("scegliFoglio"));
        connect(scegli, &QAction::triggered, this, [this, formato] {
            eseguiComando([this, formato] { scegliFoglioPersonale(formato); });
        });
    }
}

void TFONDIVO::scegliFoglioPersonale(const std::string& formato) {
    const auto scelti = LeggiFogliPersonali();
    const auto prima = scelti.find(formato);
    const std::string cartella =
        prima != scelti.end()
            ? QFileInfo(QString::fromStdString(prima->second)).absolutePath().toStdString()
            : QDir::homePath().toStdString();
    const auto scelto = m_prompts.ScegliFileDaImportare(
        {cartella, "*.xsl", "fogli di stile XSLT (.xsl, .xslt)|*.xsl;*.xslt|tutti i file (*.*)|*.*",
         "Foglio di stile per le fatture " + formato});
    if (!scelto || scelto->empty())
        return;
    ImpostaFoglioPersonale(formato, *scelto);
    statusBar()->showMessage(QStringLiteral("Le fatture %1 si mostrano con %2")
                                 .arg(QString::fromStdString(formato),
                                      QFileInfo(QString::fromStdString(*scelto)).fileName()),
                             10000);
    if (m_mostrato && m_mostrato->formato == formato)
        riapriMostrata();
}

void TFONDIVO::tornaAlFoglioDiOndivo(const std::string& formato) {
    RimuoviFoglioPersonale(formato);
    statusBar()->showMessage(QStringLiteral("Le fatture %1 si mostrano con il foglio di Ondivo")
                                 .arg(QString::fromStdString(formato)),
                             10000);
    if (m_mostrato && m_mostrato->formato == formato)
        riapriMostrata();
}

void TFONDIVO::riapriMostrata() {
    if (!m_sceltoMostrato.empty())
        ApriFattura(m_sceltoMostrato, m_provenienzaMostrata);
}

std::map<std::string, std::string> TFONDIVO::fogliPersonali() {
    std::string problema;
    auto scelti = LeggiFogliPersonali(&problema);
    if (!problema.empty() && !m_problemaFogliDetto) {
        m_problemaFogliDetto = true;
        m_prompts.ShowMessage(problema);
    }
    return scelti;
}

void TFONDIVO::preparaMenuRecenti(QMenu* menu) {
    menu->clear();
    const std::vector<std::string> recenti = LeggiFileRecenti();
    if (recenti.empty()) {
        menu->addAction(QStringLiteral("Nessun file aperto di recente"))->setEnabled(false);
        return;
    }
    for (const std::string& percorso : recenti) {
        const QFileInfo info(QString::fromStdString(percorso));
        QString testo = info.fileName() + QStringLiteral("  —  ") +
                        QDir::toNativeSeparators(info.absolutePath());
        const bool presente = info.exists();
        if (!presente)
            testo += QStringLiteral(" (non trovato)");
        QAction* voce = menu->addAction(testoMenu(testo));
        voce->setEnabled(presente);
        voce->setToolTip(QDir::toNativeSeparators(info.absoluteFilePath()).toHtmlEscaped());
        connect(voce, &QAction::triggered, this, [this, percorso] { apriPercorsi({percorso}); });
    }
    menu->addSeparator();
    QAction* svuota = menu->addAction(QStringLiteral("Svuota l'elenco"));
    svuota->setObjectName(QStringLiteral("svuotaRecenti"));
    connect(svuota, &QAction::triggered, this, [] { DimenticaFileRecenti(); });
}

} // namespace ondivo
