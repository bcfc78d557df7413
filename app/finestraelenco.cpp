#include "finestraelenco.h"

#include "allegati.h"
#include "csvelenco.h"
#include "datidocumento.h"
#include "esploratore.h"
#include "files.h"
#include "filtroelenco.h"
#include "lavorielenco.h"
#include "letturaelenco.h"
#include "modelloelenco.h"
#include "prompts.h"
#include "text.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace ondivo {

namespace {

// The folder a path stands in, or the path itself when it is a folder.
std::string cartellaDi(const std::string& percorso) {
    const QFileInfo info(QString::fromStdString(percorso));
    return (info.isDir() ? info.absoluteFilePath() : info.absolutePath()).toStdString();
}

std::optional<std::string> sceltaValida(std::optional<std::string> scelta) {
    if (scelta && Trim(*scelta).empty())
        return std::nullopt;
    return scelta;
}

} // namespace

FinestraElenco::FinestraElenco(Prompts& prompts,
                               std::function<void(const std::function<void()>&)> esegui,
                               QWidget* genitore)
    : QWidget(genitore, Qt::Window), m_prompts(prompts), m_esegui(std::move(esegui)),
      m_modello(new ModelloElenco(this)), m_filtro(new FiltroElenco(this)),
      m_tempi(qEnvironmentVariableIsSet("ONDIVO_TEMPI")) {
    m_filtro->setSourceModel(m_modello);
    creaControlli();
    aggiornaTotali();
    aggiornaAvanzamento();
}

FinestraElenco::~FinestraElenco() = default;

void FinestraElenco::creaControlli() {
    setObjectName(QStringLiteral("FinestraElenco"));
    setWindowTitle(QStringLiteral("Elenco fatture"));
    resize(1260, 460);

    auto* etichettaFiltro = new QLabel(QStringLiteral("&Filtro:"), this);
    m_campoFiltro = new QLineEdit(this);
    m_campoFiltro->setObjectName(QStringLiteral("filtroElenco"));
    m_campoFiltro->setPlaceholderText(QStringLiteral("fornitore, numero o qualsiasi testo"));
    m_campoFiltro->setClearButtonEnabled(true);
    etichettaFiltro->setBuddy(m_campoFiltro);

    // Each work on the rows selected or on all those shown, from the button's menu.
    const auto pulsanteLavoro = [this](const char* nome, const QString& testo,
                                       void (FinestraElenco::*lavoro)(Ambito)) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(nome));
        b->setText(testo);
        b->setPopupMode(QToolButton::InstantPopup);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        auto* menu = new QMenu(b);
        QAction* selezionate = menu->addAction(QString());
        QAction* mostrate = menu->addAction(QString());
        connect(menu, &QMenu::aboutToShow, this, [this, selezionate, mostrate] {
            const auto scelte = m_tabella->selectionModel()->selectedRows().size();
            selezionate->setText(QStringLiteral("Righe selezionate (%1)").arg(scelte));
            selezionate->setEnabled(scelte > 0);
            mostrate->setText(
                QStringLiteral("Tutte le righe mostrate (%1)").arg(m_filtro->rowCount()));
        });
        connect(selezionate, &QAction::triggered, this, [this, lavoro] {
            m_esegui([this, lavoro] { (this->*lavoro)(Ambito::Selezionate); });
        });
        connect(mostrate, &QAction::triggered, this, [this, lavoro] {
            m_esegui([this, lavoro] { (this->*lavoro)(Ambito::Mostrate); });
        });
        b->setMenu(menu);
        return b;
    };
    m_btnPdf =
        pulsanteLavoro("btnPdfElenco", QStringLiteral("Esporta PDF"), &FinestraElenco::esportaPdf);
    m_btnAllegati = pulsanteLavoro("btnAllegatiElenco", QStringLiteral("Salva allegati"),
                                   &FinestraElenco::salvaAllegati);
    m_btnCsv = new QPushButton(QStringLiteral("Esporta CSV…"), this);
    m_btnCsv->setObjectName(QStringLiteral("btnCsvElenco"));
    m_btnCsv->setAutoDefault(false);
    connect(m_btnCsv, &QPushButton::clicked, this, [this] { m_esegui([this] { esportaCsv(); }); });

    auto* rigaAlta = new QHBoxLayout;
    rigaAlta->addWidget(etichettaFiltro);
    rigaAlta->addWidget(m_campoFiltro, 1);
    rigaAlta->addSpacing(12);
    rigaAlta->addWidget(m_btnPdf);
    rigaAlta->addWidget(m_btnAllegati);
    rigaAlta->addWidget(m_btnCsv);

    m_tabella = new QTableView(this);
    m_tabella->setObjectName(QStringLiteral("tabellaElenco"));
    m_tabella->setModel(m_filtro);
    m_tabella->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tabella->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tabella->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tabella->setAlternatingRowColors(true);
    m_tabella->setWordWrap(false);
    m_tabella->setTextElideMode(Qt::ElideRight);
    m_tabella->setShowGrid(false);
    m_tabella->setTabKeyNavigation(false);
    // Rows of one height, never measured one by one: ten thousand rows scroll as ten.
    QHeaderView* verticale = m_tabella->verticalHeader();
    verticale->setVisible(false);
    verticale->setSectionResizeMode(QHeaderView::Fixed);
    verticale->setDefaultSectionSize(fontMetrics().height() + 8);
    // Esc closes the list, wherever the focus is in it.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close, Qt::WindowShortcut);
    QHeaderView* orizzontale = m_tabella->horizontalHeader();
    orizzontale->setSectionResizeMode(QHeaderView::Interactive);
    orizzontale->setStretchLastSection(true);
    orizzontale->setHighlightSections(false);
    orizzontale->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // One width per column, in the columns' order: a column added without its width would
    // shift the others and be left with none.
    const int larghezze[] = {46, 100, 78, 180, 106, 140, 84, 70, 84, 44, 84, 78, 62, 84, 160};
    static_assert(std::size(larghezze) == ModelloElenco::NumeroColonne);
    for (int c = 0; c < ModelloElenco::NumeroColonne; ++c)
        m_tabella->setColumnWidth(c, larghezze[c]);
    // The rows as read until a column is chosen.
    orizzontale->setSortIndicator(-1, Qt::AscendingOrder);
    m_tabella->setSortingEnabled(true);
    connect(m_tabella->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& indice) { rigaCorrente(indice); });

    m_totali = new QLabel(this);
    m_totali->setObjectName(QStringLiteral("totaliElenco"));
    m_totali->setTextFormat(Qt::PlainText);
    m_avanzamento = new QLabel(this);
    m_avanzamento->setObjectName(QStringLiteral("avanzamentoElenco"));
    m_avanzamento->setTextFormat(Qt::PlainText);
    m_barra = new QProgressBar(this);
    m_barra->setObjectName(QStringLiteral("barraElenco"));
    m_barra->setFixedWidth(180);
    m_barra->setTextVisible(false);
    m_btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    m_btnAnnulla->setObjectName(QStringLiteral("annullaElenco"));
    m_btnAnnulla->setAutoDefault(false);
    connect(m_btnAnnulla, &QPushButton::clicked, this, [this] { annullaClick(); });
    auto* rigaBassa = new QHBoxLayout;
    rigaBassa->addWidget(m_totali, 1);
    rigaBassa->addWidget(m_avanzamento);
    rigaBassa->addWidget(m_barra);
    rigaBassa->addWidget(m_btnAnnulla);

    auto* colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(6, 6, 6, 6);
    colonna->addLayout(rigaAlta);
    colonna->addWidget(m_tabella, 1);
    colonna->addLayout(rigaBassa);

    connect(m_campoFiltro, &QLineEdit::textChanged, m_filtro, &FiltroElenco::impostaTesto);
    // Rows come in batches and a filter change moves many at once: the sums are worked out
    // once things settle.
    m_ricalcolo = new QTimer(this);
    m_ricalcolo->setSingleShot(true);
    m_ricalcolo->setInterval(0);
    connect(m_ricalcolo, &QTimer::timeout, this, [this] { aggiornaTotali(); });
    const auto ricalcola = [this] { m_ricalcolo->start(); };
    // The first row read is chosen, and so shown, unless the user has chosen one already.
    connect(m_filtro, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_tabella->currentIndex().isValid() && m_filtro->rowCount() > 0)
            m_tabella->setCurrentIndex(m_filtro->index(0, 0));
    });
    connect(m_filtro, &QAbstractItemModel::rowsInserted, this, ricalcola);
    connect(m_filtro, &QAbstractItemModel::rowsRemoved, this, ricalcola);
    connect(m_filtro, &QAbstractItemModel::modelReset, this, ricalcola);
    connect(m_filtro, &QAbstractItemModel::layoutChanged, this, ricalcola);
    m_tabella->setFocus();
    if (m_tempi)
        m_tabella->viewport()->installEventFilter(this);
}

bool FinestraElenco::eventFilter(QObject* oggetto, QEvent* evento) {
    // The first painting of the table with rows in it: the user sees the list from then on.
    if (m_tempi && !m_primeRigheMostrate && oggetto == m_tabella->viewport() &&
        evento->type() == QEvent::Paint && m_filtro->rowCount() > 0) {
        m_primeRigheMostrate = true;
        qInfo("prime righe mostrate dopo %lld ms: %d righe",
              static_cast<long long>(m_cronometro.elapsed()), m_filtro->rowCount());
    }
    return QWidget::eventFilter(oggetto, evento);
}

bool FinestraElenco::letturaInCorso() const {
    return m_lettura && m_lettura->inCorso();
}

void FinestraElenco::apri(std::vector<std::string> percorsi) {
    m_cronometro.start();
    m_primeRigheMostrate = false;
    m_cartellaBase = percorsi.empty() ? std::string() : cartellaDi(percorsi.front());
    lasciaRighe(m_cartellaBase);
    m_campoFiltro->clear();
    m_lettura = std::make_unique<LetturaElenco>(*m_modello);
    connect(m_lettura.get(), &LetturaElenco::progresso, this, [this] { aggiornaAvanzamento(); });
    connect(m_lettura.get(), &LetturaElenco::finita, this, [this] { fineLettura(); });
    m_lettura->avvia(std::move(percorsi));
    aggiornaAvanzamento();
}

void FinestraElenco::lasciaRighe(const std::string& cartella) {
    if (m_lavoro) {
        m_lavoro->annulla();
        m_lavoro.reset();
    }
    m_lettura.reset(); // stops the reading, and lets the private copies go
    m_modello->svuota(cartella);
    m_aperto.clear();
}

void FinestraElenco::fineLettura() {
    aggiornaAvanzamento();
    aggiornaTotali();
    if (m_tempi)
        qInfo("elenco letto dopo %lld ms: %d file, %d righe",
              static_cast<long long>(m_cronometro.elapsed()), m_lettura->fileLetti(),
              m_modello->rowCount());
    emit letturaFinita();
}

void FinestraElenco::rigaCorrente(const QModelIndex& indice) {
    if (!indice.isValid())
        return;
    const RigaElenco& riga = m_modello->riga(m_filtro->mapToSource(indice).row());
    if (riga.percorso.empty() || riga.percorso == m_aperto)
        return;
    m_aperto = riga.percorso;
    emit fileScelto(riga.percorso, riga.file, m_lettura ? m_lettura->esploratore() : nullptr);
}

void FinestraElenco::segnaMostrato(const std::string& percorso) {
    m_aperto = percorso;
    QItemSelectionModel* selezione = m_tabella->selectionModel();
    for (int i = 0; !percorso.empty() && i < m_filtro->rowCount(); ++i) {
        const QModelIndex indice = m_filtro->index(i, 0);
        if (m_modello->riga(m_filtro->mapToSource(indice).row()).percorso != percorso)
            continue;
        if (m_tabella->currentIndex().row() != i)
            selezione->setCurrentIndex(indice, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
        return;
    }
    selezione->clearSelection();
    selezione->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void FinestraElenco::aggiornaTotali() {
    const int mostrate = m_filtro->rowCount();
    const int tutte = m_modello->rowCount();
    std::vector<const RigaElenco*> righeMostrate;
    for (int i = 0; i < mostrate; ++i)
        righeMostrate.push_back(
            &m_modello->riga(m_filtro->mapToSource(m_filtro->index(i, 0)).row()));
    QString testo =
        mostrate == 1 ? QStringLiteral("1 riga") : QStringLiteral("%1 righe").arg(mostrate);
    if (mostrate != tutte)
        testo += QStringLiteral(" su %1").arg(tutte);
    // One line per currency: amounts in different currencies are never added together.
    for (const auto& totale : TotaliPerDivisa(righeMostrate))
        testo += QStringLiteral("\n") + QString::fromStdString(DescriviTotale(totale));
    m_totali->setText(testo);
}

void FinestraElenco::aggiornaAvanzamento() {
    const bool lettura = letturaInCorso();
    const bool occupato = lettura || m_lavoro;
    if (m_lavoro) {
        m_avanzamento->setText(m_lavoro->descrizione());
        m_barra->setRange(0, std::max(m_lavoro->quanti(), 1));
        m_barra->setValue(m_lavoro->fatti());
    } else if (m_lettura) {
        const int letti = m_lettura->fileLetti();
        const QString file = letti == 1 ? QStringLiteral("1 file letto")
                                        : QStringLiteral("%1 file letti").arg(letti);
        m_avanzamento->setText(lettura || !m_lettura->annullata()
                                   ? file
                                   : QStringLiteral("Lettura annullata: %1").arg(file));
        m_barra->setRange(0, 0); // reading has no known end
    }
    m_barra->setVisible(occupato);
    m_btnAnnulla->setVisible(occupato);
    for (QWidget* w : {static_cast<QWidget*>(m_btnPdf), static_cast<QWidget*>(m_btnAllegati),
                       static_cast<QWidget*>(m_btnCsv)})
        w->setEnabled(!occupato);
}

std::vector<RigaElenco> FinestraElenco::righe(Ambito ambito) const {
    std::vector<int> mostrate;
    if (ambito == Ambito::Selezionate) {
        for (const QModelIndex& i : m_tabella->selectionModel()->selectedRows())
            mostrate.push_back(i.row());
        std::sort(mostrate.begin(), mostrate.end());
    } else {
        for (int i = 0; i < m_filtro->rowCount(); ++i)
            mostrate.push_back(i);
    }
    std::vector<RigaElenco> scelte;
    for (const int i : mostrate)
        scelte.push_back(m_modello->riga(m_filtro->mapToSource(m_filtro->index(i, 0)).row()));
    return scelte;
}

void FinestraElenco::esportaPdf(Ambito ambito) {
    std::vector<RigaElenco> scelte = righe(ambito);
    if (scelte.empty() || lavoroInCorso())
        return;
    const auto cartella = sceltaValida(
        m_prompts.ScegliCartella({m_cartellaPdf.empty() ? m_cartellaBase : m_cartellaPdf, "", "",
                                  "Cartella in cui creare i PDF"}));
    if (!cartella)
        return;
    m_cartellaPdf = *cartella;
    avviaLavoro(
        std::make_unique<PdfElenco>(std::move(scelte), m_lettura->esploratore(), *cartella));
}

void FinestraElenco::salvaAllegati(Ambito ambito) {
    std::vector<RigaElenco> scelte = righe(ambito);
    if (scelte.empty() || lavoroInCorso())
        return;
    const std::string allegati = CartellaAllegati();
    const auto cartella = sceltaValida(
        m_prompts.ScegliCartella({allegati.empty() ? m_cartellaBase : allegati, "", "",
                                  "Cartella degli allegati (una sottocartella per fattura)"}));
    if (!cartella)
        return;
    avviaLavoro(
        std::make_unique<AllegatiElenco>(std::move(scelte), m_lettura->esploratore(), *cartella));
}

void FinestraElenco::esportaCsv() {
    const std::vector<RigaElenco> mostrate = righe(Ambito::Mostrate);
    const auto destinazione = sceltaValida(m_prompts.ScegliFileDaSalvare(
        {m_cartellaBase, "*.csv", "file CSV (.csv)|*.csv", "Esporta l'elenco in CSV"},
        "elenco fatture.csv"));
    if (!destinazione)
        return;
    platform::ScriviFile(*destinazione, CsvElenco(mostrate));
    m_avanzamento->setText(
        QStringLiteral("CSV salvato: %1").arg(QString::fromStdString(*destinazione)));
}

void FinestraElenco::avviaLavoro(std::unique_ptr<LavoroElenco> lavoro) {
    m_lavoro = std::move(lavoro);
    connect(m_lavoro.get(), &LavoroElenco::avanzato, this, [this] { aggiornaAvanzamento(); });
    connect(m_lavoro.get(), &LavoroElenco::finito, this, [this] { fineLavoro(); });
    m_lavoro->avvia();
    aggiornaAvanzamento();
}

void FinestraElenco::fineLavoro() {
    // The work is saying it is over from inside its own signal: it goes once that returns.
    LavoroElenco* lavoro = m_lavoro.release();
    lavoro->deleteLater();
    const std::string riepilogo = lavoro->riepilogo();
    const std::vector<std::string> motivi = lavoro->motivi();
    aggiornaAvanzamento();
    m_avanzamento->setText(QString::fromStdString(riepilogo));
    emit lavoroFinito();
    m_prompts.ShowRiepilogo(riepilogo, motivi);
}

void FinestraElenco::annullaClick() {
    if (m_lavoro)
        m_lavoro->annulla();
    else if (m_lettura)
        m_lettura->annulla();
}

void FinestraElenco::closeEvent(QCloseEvent* evento) {
    // A closed list reads no further and works no further, and lets its rows go: the private
    // copies of archives' entries are removed, but for the one the invoice shown was read
    // from, kept by the main window until another takes its place.
    lasciaRighe({});
    aggiornaAvanzamento();
    aggiornaTotali();
    QWidget::closeEvent(evento);
}

} // namespace ondivo
