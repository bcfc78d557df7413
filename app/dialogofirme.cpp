#include "dialogofirme.h"

#include "fiducia.h"
#include "riquadrofirma.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ondivo {

namespace {

QString testo(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString siNo(bool valore) {
    return valore ? QStringLiteral("sì") : QStringLiteral("no");
}

QLabel* etichetta(const char* nome, QWidget* genitore) {
    auto* l = new QLabel(genitore);
    l->setObjectName(QString::fromLatin1(nome));
    // Names of files and lower layers' messages: shown as written.
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// A row; its value, perhaps too long for the column, is whole in the tooltip (escaped, since a
// tooltip that looks like markup is read as markup).
void voce(QTreeWidgetItem* genitore, const QString& nome, const QString& valore) {
    auto* riga = new QTreeWidgetItem(genitore, {nome, valore});
    if (!valore.isEmpty())
        riga->setToolTip(1, valore.toHtmlEscaped());
}

// One signer as a branch of the tree: its header names it and gives its verdict, its leaves
// are the certificate's fields and the checks.
void aggiungiFirmatario(QTreeWidget* albero, int indice, const Firmatario& f) {
    QString titolo = QStringLiteral("Firmatario %1").arg(indice);
    if (!f.nome.empty())
        titolo += QStringLiteral(": ") + testo(f.nome);
    auto* ramo = new QTreeWidgetItem(albero, {titolo, testo(TestoVerdetto(f))});
    QFont grassetto = ramo->font(0);
    grassetto.setBold(true);
    ramo->setFont(0, grassetto);
    ramo->setFont(1, grassetto);

    QString firma = testo(f.tipo);
    if (f.tipo == "CAdES")
        firma += f.livello == 1 ? QStringLiteral(", busta esterna")
                                : QStringLiteral(", busta interna %1").arg(f.livello);
    voce(ramo, QStringLiteral("Esito della validazione"),
         QString::fromLatin1(ChiaveIndicazione(f.indicazione)) +
             (f.sottoindicazione.empty() ? QString()
                                         : QStringLiteral(" / ") + testo(f.sottoindicazione)));
    if (!f.sottoindicazione.empty())
        voce(ramo, QStringLiteral("Significato"),
             testo(ParoleSottoindicazione(f.sottoindicazione)));
    voce(ramo, QStringLiteral("Tipo di firma"), firma);
    if (f.controfirma)
        voce(ramo, QStringLiteral("Controfirma"), QStringLiteral("sì, della firma precedente"));
    voce(ramo, QStringLiteral("Nome"), testo(f.nome));
    voce(ramo, QStringLiteral("Codice fiscale"), testo(f.codiceFiscale));
    if (!f.identificativo.empty())
        voce(ramo, QStringLiteral("Identificativo"), testo(f.identificativo));
    voce(ramo, QStringLiteral("Organizzazione"), testo(f.organizzazione));
    voce(ramo, QStringLiteral("Certificatore"), testo(f.emittente));
    voce(ramo, QStringLiteral("Soggetto"), testo(f.soggetto));
    voce(ramo, QStringLiteral("Soggetto del certificatore"), testo(f.soggettoEmittente));
    voce(ramo, QStringLiteral("Numero di serie"), testo(f.numeroSerie));
    voce(ramo, QStringLiteral("Validità del certificato"),
         QStringLiteral("dal %1 al %2").arg(DataItaliana(f.validoDal), DataItaliana(f.validoAl)));
    voce(ramo, QStringLiteral("Data della firma"),
         f.dataFirma ? DataItaliana(*f.dataFirma, true) +
                           QStringLiteral(" (dichiarata dal firmatario, non provata)")
                     : QStringLiteral("non indicata"));
    if (f.dataProvata)
        voce(ramo, QStringLiteral("Data provata"),
             DataItaliana(*f.dataProvata, true) + QStringLiteral(" (marca temporale)"));
    if (!f.marca.empty())
        voce(ramo, QStringLiteral("Marca temporale"), testo(f.marca));
    voce(ramo, QStringLiteral("Algoritmo"), testo(f.algoritmo));
    voce(ramo, QStringLiteral("Chiave"), testo(f.chiave));
    if (!f.motivoAlgoritmo.empty())
        voce(ramo, QStringLiteral("Debolezza (non più sicuro)"), testo(f.motivoAlgoritmo));
    voce(ramo, QStringLiteral("Integra"), siNo(f.integra));
    voce(ramo, QStringLiteral("Certificatore attendibile"), siNo(f.attendibile));
    voce(ramo, QStringLiteral("Revoca del certificato"), testo(f.revoca));
    auto* catena = new QTreeWidgetItem(
        ramo, {QStringLiteral("Catena dei certificati"),
               f.catena.empty() ? QStringLiteral("non ricostruita") : QString()});
    for (std::size_t i = 0; i < f.catena.size(); ++i)
        voce(catena, QString::number(i + 1), testo(f.catena[i]));
    for (const auto& motivo : f.motivi)
        voce(ramo, QStringLiteral("Motivo"), testo(motivo));
}

} // namespace

DialogoFirme::DialogoFirme(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("DialogoFirme"));
    setWindowTitle(QStringLiteral("Firme della fattura"));
    resize(760, 560);

    m_riepilogo = new RiquadroFirma(this);
    m_riepilogo->setObjectName(QStringLiteral("RiepilogoFirme"));
    // Here it only shows: no focus, no clicks.
    m_riepilogo->setFocusPolicy(Qt::NoFocus);
    m_riepilogo->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_riepilogo->setFixedHeight(m_riepilogo->sizeHint().height());
    m_consiglio = etichetta("StConsiglioFirme", this);
    m_azione = new QPushButton(this);
    m_azione->setObjectName(QStringLiteral("btnAzioneFirme"));
    m_azione->setAutoDefault(false);
    connect(m_azione, &QPushButton::clicked, this, [this] {
        switch (m_azioneConsigliata) {
        case ConsiglioFirme::Azione::ScaricaElenco:
        case ConsiglioFirme::Azione::AggiornaElenco:
            // From the address kept (the official one until the user sets another).
            if (m_indirizzo->text().trimmed().isEmpty())
                m_indirizzo->setText(QString::fromStdString(IndirizzoElencoFiducia()));
            emit aggiornaRichiesto();
            break;
        case ConsiglioFirme::Azione::RevocheInRete:
            emit revocheRichieste();
            break;
        case ConsiglioFirme::Azione::Nessuna:
            break;
        }
    });
    auto* rigaConsiglio = new QHBoxLayout;
    rigaConsiglio->addWidget(m_consiglio, 1);
    rigaConsiglio->addWidget(m_azione, 0, Qt::AlignTop);
    m_file = etichetta("StFileFirmato", this);

    m_albero = new QTreeWidget(this);
    m_albero->setObjectName(QStringLiteral("AlberoFirme"));
    m_albero->setHeaderLabels({QStringLiteral("Voce"), QStringLiteral("Valore")});
    m_albero->setColumnWidth(0, 230);
    m_albero->setWordWrap(true);
    m_albero->setAlternatingRowColors(true);
    m_albero->setSelectionMode(QAbstractItemView::SingleSelection);
    m_albero->header()->setStretchLastSection(true);

    // The network is asked only on this press: the certificates' revocation lists and OCSP
    // responders, for signatures whose authority is trusted.
    m_revoche = new QPushButton(QStringLiteral("Verifica la revoca in rete"), this);
    m_revoche->setObjectName(QStringLiteral("btnRevocheInRete"));
    m_revoche->setAutoDefault(false);
    m_revoche->setToolTip(QStringLiteral("Scarica le liste di revoca e le risposte OCSP dei "
                                         "certificatori indicate nei certificati"));
    connect(m_revoche, &QPushButton::clicked, this, &DialogoFirme::revocheRichieste);
    auto* rigaRevoche = new QHBoxLayout;
    rigaRevoche->addWidget(m_revoche);
    rigaRevoche->addStretch(1);

    auto* gruppo = new QGroupBox(QStringLiteral("Elenco di fiducia dei certificatori"), this);
    m_elenco = etichetta("StElencoFiducia", gruppo);
    m_indirizzo = new QLineEdit(gruppo);
    m_indirizzo->setObjectName(QStringLiteral("EdIndirizzoElenco"));
    m_importa = new QPushButton(QStringLiteral("Importa elenco di fiducia…"), gruppo);
    m_importa->setObjectName(QStringLiteral("btnImportaElenco"));
    m_aggiorna = new QPushButton(QStringLiteral("Aggiorna elenco da internet"), gruppo);
    m_aggiorna->setObjectName(QStringLiteral("btnAggiornaElenco"));
    m_aggiornamento = etichetta("StAggiornamentoElenco", gruppo);
    m_aggiornamento->setVisible(false);
    auto* rigaIndirizzo = new QHBoxLayout;
    auto* didascalia = new QLabel(QStringLiteral("Indirizzo per l'aggiornamento:"), gruppo);
    didascalia->setBuddy(m_indirizzo);
    rigaIndirizzo->addWidget(didascalia);
    rigaIndirizzo->addWidget(m_indirizzo, 1);
    auto* rigaComandi = new QHBoxLayout;
    rigaComandi->addWidget(m_importa);
    rigaComandi->addWidget(m_aggiorna);
    rigaComandi->addStretch(1);
    auto* colElenco = new QVBoxLayout(gruppo);
    colElenco->addWidget(m_elenco);
    colElenco->addLayout(rigaIndirizzo);
    colElenco->addLayout(rigaComandi);
    colElenco->addWidget(m_aggiornamento);

    auto* pulsanti = new QDialogButtonBox(QDialogButtonBox::Close, this);
    pulsanti->button(QDialogButtonBox::Close)->setText(QStringLiteral("Chiudi"));
    // Enter closes the dialog; the list's commands run only when pressed themselves.
    pulsanti->button(QDialogButtonBox::Close)->setDefault(true);
    m_importa->setAutoDefault(false);
    m_aggiorna->setAutoDefault(false);
    connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_importa, &QPushButton::clicked, this, &DialogoFirme::importaRichiesto);
    connect(m_aggiorna, &QPushButton::clicked, this, &DialogoFirme::aggiornaRichiesto);

    auto* colonna = new QVBoxLayout(this);
    colonna->addWidget(m_riepilogo);
    colonna->addLayout(rigaConsiglio);
    colonna->addWidget(m_file);
    colonna->addWidget(m_albero, 1);
    colonna->addLayout(rigaRevoche);
    colonna->addWidget(gruppo);
    colonna->addWidget(pulsanti);
}

void DialogoFirme::mostraFirme(const QString& file, const StatoFirme& stato,
                               const ConsiglioFirme& consiglio) {
    m_riepilogo->mostra(stato);
    m_consiglio->setText(consiglio.frase);
    m_consiglio->setVisible(!consiglio.frase.isEmpty());
    m_azioneConsigliata = consiglio.azione;
    m_azione->setText(consiglio.comando);
    m_azione->setVisible(consiglio.azione != ConsiglioFirme::Azione::Nessuna);
    m_revoche->setEnabled(stato.fase == StatoFirme::Fase::Conclusa &&
                          !stato.firme.firmatari.empty());
    m_file->setText(file.isEmpty() ? QStringLiteral("Nessuna fattura aperta")
                                   : QStringLiteral("File: ") + file);
    m_albero->clear();
    switch (stato.fase) {
    case StatoFirme::Fase::Nessuna:
        break;
    case StatoFirme::Fase::InCorso:
        new QTreeWidgetItem(m_albero, {QStringLiteral("Verifica della firma in corso…")});
        break;
    case StatoFirme::Fase::Fallita:
        // The whole message, which the summary above may have had to cut.
        new QTreeWidgetItem(m_albero, {QStringLiteral("Verifica non riuscita"),
                                       QString::fromStdString(stato.errore)});
        break;
    case StatoFirme::Fase::Conclusa:
        if (stato.firme.firmatari.empty())
            new QTreeWidgetItem(m_albero, {QStringLiteral("Il file non contiene firme")});
        if (stato.firme.contenutoNonFirmato)
            new QTreeWidgetItem(m_albero,
                                {QStringLiteral("Contenuto non firmato"),
                                 QStringLiteral("il file contiene parti che nessuna firma copre: "
                                                "non sono mostrate come parte della fattura")});
        for (const auto& avviso : stato.firme.avvisi)
            new QTreeWidgetItem(m_albero, {QStringLiteral("Avviso"), testo(avviso)});
        int indice = 0;
        for (const Firmatario& firmatario : stato.firme.firmatari)
            aggiungiFirmatario(m_albero, ++indice, firmatario);
        break;
    }
    m_albero->expandAll();
}

void DialogoFirme::mostraElenco(const QString& riga, const QString& indirizzo) {
    m_elenco->setText(riga);
    if (!m_indirizzo->hasFocus() || m_indirizzo->text().trimmed().isEmpty())
        m_indirizzo->setText(indirizzo);
}

void DialogoFirme::mostraAggiornamento(bool inCorso, const QString& messaggio) {
    m_importa->setEnabled(!inCorso);
    m_aggiorna->setEnabled(!inCorso);
    m_azione->setEnabled(!inCorso);
    m_indirizzo->setReadOnly(inCorso);
    m_aggiornamento->setText(messaggio);
    m_aggiornamento->setVisible(!messaggio.isEmpty());
}

QString DialogoFirme::indirizzo() const {
    return m_indirizzo->text().trimmed();
}

} // namespace ondivo
