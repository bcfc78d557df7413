// The main window's attachment commands beside "Salva allegato": open an attachment with the
// system's application, save it under a name the user chooses, and the list's context menu.
#include "allegati.h"
#include "attachmententry.h"
#include "errors.h"
#include "esploratore.h"
#include "files.h"
#include "safename.h"
#include "tempfile.h"
#include "tfondivo.h"
#include "tipoeseguibile.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>
#include <QUrl>

namespace ondivo {

void TFONDIVO::creaAzioniAllegati() {
    const auto azione = [this](const char* nome, const QString& testo) {
        auto* a = new QAction(testo, this);
        a->setObjectName(QString::fromLatin1(nome));
        return a;
    };
    azioneApriAllegato = azione("azioneApriAllegato", QStringLiteral("Apri"));
    azioneSalvaAllegatoCome = azione("azioneSalvaAllegatoCome", QStringLiteral("Salva con nome…"));
    azioneSalvaAllegato = azione("azioneSalvaAllegato", QStringLiteral("Salva allegato"));
    LBAlleg->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LBAlleg, &QListWidget::customContextMenuRequested, this, [this](const QPoint& punto) {
        if (QListWidgetItem* voce = LBAlleg->itemAt(punto))
            LBAlleg->setCurrentItem(voce);
        const bool scelto = allegatoScelto() != nullptr;
        for (QAction* a : {azioneApriAllegato, azioneSalvaAllegatoCome, azioneSalvaAllegato})
            a->setEnabled(scelto);
        QMenu menu(this);
        menu.addAction(azioneApriAllegato);
        menu.addAction(azioneSalvaAllegatoCome);
        menu.addAction(azioneSalvaAllegato);
        menu.setDefaultAction(azioneApriAllegato);
        menu.exec(LBAlleg->viewport()->mapToGlobal(punto));
    });
}

void TFONDIVO::collegaComandiAllegati() {
    // Double-click and Enter.
    connect(LBAlleg, &QListWidget::itemActivated, this,
            [this] { eseguiComando([this] { apriAllegatoClick(); }); });
    collega(azioneApriAllegato, &QAction::triggered, &TFONDIVO::apriAllegatoClick);
    collega(azioneSalvaAllegatoCome, &QAction::triggered, &TFONDIVO::salvaAllegatoComeClick);
    collega(azioneSalvaAllegato, &QAction::triggered, &TFONDIVO::ButtonSaveClick);
}

const TAllegatoItem* TFONDIVO::allegatoScelto() const {
    const auto* voce = static_cast<const VoceAllegato*>(LBAlleg->currentItem());
    return voce && voce->isSelected() ? voce->allegato() : nullptr;
}

void TFONDIVO::apriAllegatoClick() {
    const TAllegatoItem* allegato = allegatoScelto();
    if (!allegato) {
        if (LBAlleg->count() > 0)
            m_prompts.ShowMessage("Selezionare l'allegato da aprire!");
        return;
    }
    const std::string nome = NomeFileSicuro(allegato->NomeFile);
    if (TipoEseguibile(nome) &&
        !m_prompts.Chiedi("L'allegato \"" + nome +
                              "\" è di un tipo che può eseguire programmi o macro sul "
                              "computer.\n\nAprirlo solo se si conosce chi ha emesso la fattura "
                              "e lo si aspettava. Aprirlo comunque?",
                          "Apri comunque"))
        return;
    // The system's application gets a copy of its own, in a private folder that goes with
    // the window: it never works on the user's saved attachments.
    if (!m_copieAllegati) {
        auto cartella = std::make_unique<platform::CartellaTemporanea>();
        std::string errore;
        if (!cartella->crea("ondivo-allegati-", errore))
            throw OndivoError("Impossibile preparare la copia da aprire: " + errore);
        m_copieAllegati = std::move(cartella);
    }
    const std::string copia = SalvaAllegato(*allegato, m_copieAllegati->percorso());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(copia))))
        throw OndivoError("Nessuna applicazione del sistema apre \"" + nome +
                          "\": salvarlo con \"Salva con nome…\" e aprirlo da lì");
    statusBar()->showMessage(
        QStringLiteral("Aperta una copia di %1").arg(QString::fromStdString(nome)), 10000);
}

void TFONDIVO::salvaAllegatoComeClick() {
    const TAllegatoItem* allegato = allegatoScelto();
    if (!allegato) {
        if (LBAlleg->count() > 0)
            m_prompts.ShowMessage("Selezionare l'allegato da salvare!");
        return;
    }
    const std::string cartella =
        !m_cartellaSalvaCome.empty() ? m_cartellaSalvaCome : cartellaFatturaMostrata();
    const auto destinazione = m_prompts.ScegliFileDaSalvare(
        {cartella, "*.*", "tutti i file (*.*)|*.*", "Salva allegato con nome"},
        NomeFileSicuro(allegato->NomeFile));
    if (!destinazione || destinazione->empty())
        return;
    // The dialog has asked before replacing a file; the invoice itself is never replaced.
    for (const std::string& origine : {m_sceltoMostrato, FFileXml})
        if (!origine.empty() &&
            (origine == *destinazione || platform::StessoFile(origine, *destinazione)))
            throw OndivoError("L'allegato non può sostituire il file della fattura " + origine +
                              ": scegliere un altro nome");
    SalvaAllegatoCome(*allegato, *destinazione);
    m_cartellaSalvaCome =
        QFileInfo(QString::fromStdString(*destinazione)).absolutePath().toStdString();
    statusBar()->showMessage(QStringLiteral("Allegato salvato come ") +
                             QString::fromStdString(*destinazione));
}

std::string TFONDIVO::cartellaFatturaMostrata() const {
    // The invoice's folder is where the user keeps it: an archive's entry is in the archive's.
    std::string origine =
        m_provenienzaMostrata.nome.empty() ? m_sceltoMostrato : m_provenienzaMostrata.nome;
    if (const auto freccia = origine.find(SeparatoreArchivio); freccia != std::string::npos)
        origine.resize(freccia);
    return QFileInfo(QString::fromStdString(origine)).absolutePath().toStdString();
}

} // namespace ondivo
