// The main window's invoice commands: opening, the attachment panel and the utility panel.
#include "allegati.h"
#include "ansicodec.h"
#include "attachmententry.h"
#include "base64.h"
#include "envelopepath.h"
#include "errors.h"
#include "fileutil.h"
#include "headerfields.h"
#include "invoicepage.h"
#include "lctv.h"
#include "messages.h"
#include "p7menvelope.h"
#include "text.h"
#include "tfondivo.h"

#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QUrl>

namespace ondivo {

namespace {

constexpr const char* kFiltroFatture =
    "fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte le fatture (.xml, .p7m)|*.xml;*.p7m|"
    "tutti i file (*.*)|*.*";

// A choice of the dialog that counts: not cancelled, not blank.
std::optional<std::string> sceltaValida(std::optional<std::string> scelta) {
    if (scelta && Trim(*scelta).empty())
        return std::nullopt;
    return scelta;
}

} // namespace

void TFONDIVO::btnSelFileClick() {
    const auto scelto =
        sceltaValida(m_prompts.ScegliFile({AppDir() + DirFatture, "*.xml", kFiltroFatture,
                                           "Selezione fattura elettronica (formato xml, p7m)"}));
    if (scelto)
        ApriFattura(*scelto);
}

void TFONDIVO::ApriFattura(const std::string& scelto) {
    m_cronometro.start();
    StFileXML->setText(QString::fromStdString(scelto));
    FFileXml = scelto;
    if (IsEnvelope(scelto)) {
        std::string xml;
        EstraiXmlDaP7m(scelto, xml);
        FFileXml = xml;
    }
    const auto pagina = PaginaDaXml(FFileXml, FFoglioStile, m_prompts);
    if (!pagina) {
        m_prompts.ShowMessage(MsgDocumentoNonGestito);
        return;
    }
    if (m_tempi)
        qInfo("pagina pronta (%zu byte) dopo %lld ms", pagina->size(),
              static_cast<long long>(m_cronometro.elapsed()));
    CaricaHtml(WebBrowser1, *pagina);
    CaricaListaAllegati(FFileXml);
    MostraDatiDocumento();
}

void TFONDIVO::CaricaListaAllegati(const std::string& file) {
    // The entries still shown belong to the list being released: unlink them first, so none
    // points at a released record if reading the new file fails.
    for (int i = 0; i < LBAlleg->count(); ++i)
        static_cast<VoceAllegato*>(LBAlleg->item(i))->scollega();
    FAllegati = ListaAllegati();
    LeggiAllegati(file, FAllegati);
    LBAlleg->clear();
    for (const auto& allegato : FAllegati)
        LBAlleg->addItem(new VoceAllegato(allegato.get()));
    if (LBAlleg->count() > 0)
        LBAlleg->setCurrentRow(0);
}

void TFONDIVO::MostraDatiDocumento() {
    const std::pair<const CampoIntestazione&, QLabel*> righe[] = {
        {CampoFornitore, StFornitore},
        {CampoTipoDoc, STTipoDoc},
        {CampoData, StDataDoc},
        {CampoNumero, STNumDoc},
    };
    std::vector<std::string> lista;
    // A label whose query finds nothing is emptied, so no value of the previous invoice stays
    // beside the new one.
    for (const auto& [campo, etichetta] : righe)
        impostaTesto(etichetta,
                     LeggiCampoIntestazione(FFileXml, campo, lista, m_prompts).value_or(""));
}

void TFONDIVO::ButtonSaveClick() {
    if (LBAlleg->count() == 0)
        return;
    auto* voce = static_cast<VoceAllegato*>(LBAlleg->currentItem());
    if (!voce || !voce->isSelected()) {
        m_prompts.ShowMessage("Selezionare l'allegato da salvare!");
        return;
    }
    if (!voce->allegato())
        return;
    const std::string salvato = SalvaAllegato(*voce->allegato(), cartellaAllegati());
    statusBar()->showMessage(QStringLiteral("Allegato salvato come ") +
                             QString::fromStdString(salvato));
}

std::string TFONDIVO::cartellaAllegati() {
    const std::string cartella = CartellaAllegati();
    if (cartella.empty())
        throw OndivoError("Impossibile creare la cartella degli allegati: né " + AppDir() +
                          DirAllegati + " né la cartella dell'utente sono scrivibili");
    // Said once: from then on the status line names the folder with every saved file.
    if (CartellaAllegatiUtente(cartella) && !m_cartellaUtenteDetta) {
        m_cartellaUtenteDetta = true;
        m_prompts.ShowMessage("La cartella del programma non è scrivibile: gli allegati vengono "
                              "salvati in " +
                              cartella);
    }
    return cartella;
}

void TFONDIVO::ButtonOpenClick() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(cartellaAllegati())));
}

void TFONDIVO::btnEstraiPM7Click() {
    const std::string percorso = StFileXML->text().toStdString();
    if (!IsEnvelope(percorso))
        return;
    std::string xml;
    EstraiXmlDaP7m(percorso, xml);
}

void TFONDIVO::btnCodificaFileClick() {
    const auto scelto =
        sceltaValida(m_prompts.ScegliFile({AppDir() + DirAllegati, "*.*", "tutti i file (*.*)|*.*",
                                           "Selezione file da codificare in base64"}));
    MemoXCodifica->clear();
    if (!scelto)
        return;
    std::string testo;
    std::string messaggio;
    if (FileToBase64(*scelto, testo, messaggio))
        MemoXCodifica->setPlainText(
            QString::fromLatin1(testo.data(), static_cast<qsizetype>(testo.size())));
    else
        m_prompts.ShowMessage(messaggio);
}

void TFONDIVO::btndecodificaClick() {
    const auto scelto = sceltaValida(m_prompts.ScegliFile(
        {AppDir() + DirFatture, "*.xml", "file allegati alla fattura (.xml)|*.xml",
         "Selezione file da decodificare da base64"}));
    if (!scelto)
        return;
    if (EstensioneMinuscola(*scelto) != ".xml") {
        m_prompts.ShowMessage(
            "Formato del file selezionato non corretto. Selezionare file in .xml");
        return;
    }
    // This command gives no feedback: the count and the message are not shown.
    std::string messaggio;
    SalvaAllegati(*scelto, cartellaAllegati(), messaggio);
}

} // namespace ondivo
