// The main window's invoice commands: opening, the attachment panel and the utility panel.
#include "allegati.h"
#include "attachmententry.h"
#include "base64.h"
#include "envelopepath.h"
#include "errors.h"
#include "esploratore.h"
#include "filerecenti.h"
#include "files.h"
#include "fileutil.h"
#include "finestraelenco.h"
#include "lctv.h"
#include "p7menvelope.h"
#include "text.h"
#include "tfondivo.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QThreadPool>
#include <QUrl>

namespace ondivo {

namespace {

constexpr const char* kFiltroFatture =
    "fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte le fatture (.xml, .p7m)|*.xml;*.p7m|"
    "archivi ZIP (.zip)|*.zip|fatture e archivi (.xml, .p7m, .zip)|*.xml;*.p7m;*.zip|"
    "tutti i file (*.*)|*.*";

// A choice of the dialog that counts: not cancelled, not blank.
std::optional<std::string> sceltaValida(std::optional<std::string> scelta) {
    if (scelta && Trim(*scelta).empty())
        return std::nullopt;
    return scelta;
}

} // namespace

void TFONDIVO::btnSelFileClick() {
    const auto scelta =
        m_prompts.ScegliFatture({AppDir() + DirFatture, "*.xml", kFiltroFatture,
                                 "Selezione fattura elettronica (formato xml, p7m)"});
    if (!scelta || (scelta->file.size() == 1 && Trim(scelta->file.front()).empty()))
        return;
    // One file opens here, whatever it is, unless it is a ZIP archive; several files, an
    // archive or the folder taken whole open the list.
    if (!scelta->cartella.empty())
        apriScelti({scelta->cartella});
    else if (scelta->file.size() == 1 && !FileArchivioZip(scelta->file.front()))
        ApriFattura(scelta->file.front());
    else
        apriScelti(scelta->file);
}

void TFONDIVO::ApriFattura(const std::string& scelto, ProvenienzaApertura provenienza) {
    annullaApertura();
    if (provenienza.nome.empty())
        provenienza.nome = scelto;
    auto annulla = std::make_shared<std::atomic<bool>>(false);
    m_annulla = annulla;
    ++m_apertureInCorso;
    mostraOccupato();
    m_messaggioApertura = QStringLiteral("Apertura di %1 in corso…")
                              .arg(QFileInfo(QString::fromStdString(provenienza.nome)).fileName());
    statusBar()->showMessage(m_messaggioApertura);
    m_cronometro.start();
    // The signatures are verified beside the open, so their verdict is ready about when the
    // page is; the badge keeps describing the invoice shown until this one takes its place.
    // The file is read once, on a thread of its own: the open and the verification both wait
    // for those bytes, whichever of them runs first.
    const DatiLetti dati =
        std::async(std::launch::async, [scelto]() -> std::shared_ptr<const std::string> {
            try {
                if (FileEsiste(scelto))
                    return std::make_shared<const std::string>(platform::LeggiFile(scelto));
            } catch (...) {
                // The open reads it again and says why it cannot.
            }
            return nullptr;
        }).share();
    m_verificaAttesa = avviaVerificaFirme(scelto, dati);
    m_sceltoAtteso = scelto;
    m_datiAttesi = dati;
    m_provenienzaAttesa = provenienza;
    m_statoAtteso.reset();
    // The user's stylesheets as they are now; none chosen, the open is Ondivo's own.
    auto fogli = std::make_shared<const std::map<std::string, std::string>>(fogliPersonali());
    m_aperture->start([this, scelto, foglioStile = FFoglioStile, annulla, dati, fogli,
                       accanto = !provenienza.dallElenco, nome = provenienza.nome] {
        std::shared_ptr<const std::string> bytes = dati.get();
        auto esito = std::make_shared<EsitoApertura>();
        try {
            esito->documento =
                ApriDocumento(scelto, foglioStile,
                              {.estraiAccanto = accanto,
                               .fogliPersonali = fogli->empty() ? nullptr : fogli.get()},
                              annulla.get(), std::move(bytes));
        } catch (...) {
            // Carried to the user-interface thread, where eseguiComando shows it.
            esito->errore = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, nome, annulla, esito] { fineApertura(nome, annulla, *esito); },
            Qt::QueuedConnection);
    });
}

void TFONDIVO::fineApertura(const std::string& nome,
                            const std::shared_ptr<std::atomic<bool>>& annulla,
                            EsitoApertura& esito) {
    --m_apertureInCorso;
    mostraOccupato();
    if (!annulla->load()) {
        eseguiComando(
            [&] {
                if (esito.errore)
                    std::rethrow_exception(esito.errore);
                DocumentoAperto& documento = esito.documento;
                for (const auto& messaggio : documento.messaggi)
                    m_prompts.ShowMessage(documento.gestito ? messaggio
                                                            : MessaggioConFile(messaggio, nome));
                // A box waits for the user: a newer open may have begun meanwhile.
                if (documento.gestito && !annulla->load()) {
                    mostraDocumento(m_sceltoAtteso, documento);
                    // Not superseded, so the latest open: its verification is the one awaited.
                    mostraFirmeAttese();
                    if (!m_provenienzaMostrata.dallElenco)
                        AggiungiFileRecente(m_sceltoMostrato);
                    // The user's stylesheet failed and ours made the page: said in a box the
                    // first time, then in the status line.
                    if (!documento.avvisoFoglio.empty()) {
                        if (m_avvisiFoglioDetti.insert(documento.avvisoFoglio).second)
                            m_prompts.ShowMessage(documento.avvisoFoglio);
                        else
                            statusBar()->showMessage(QString::fromStdString(documento.avvisoFoglio),
                                                     10000);
                    }
                }
            },
            nome);
        // Shown or not, the list points at the invoice the window shows.
        if (m_elenco)
            m_elenco->segnaMostrato(m_provenienzaMostrata.dallElenco ? m_sceltoMostrato : "");
    }
    emit aperturaConclusa();
}

void TFONDIVO::mostraDocumento(const std::string& scelto, DocumentoAperto& documento) {
    if (m_tempi)
        qInfo("pagina pronta (%zu byte) dopo %lld ms", documento.pagina.size(),
              static_cast<long long>(m_cronometro.elapsed()));
    StFileXML->setText(QString::fromStdString(m_provenienzaAttesa.nome));
    FFileXml = documento.fileXml;
    FFoglioStile = documento.foglioStile;
    CaricaHtml(WebBrowser1, documento.pagina);
    // Kept for the PDF and the signatures: the header, the bytes read and a copy of the
    // attachments, not the page.
    auto mostrato = std::make_shared<DocumentoAperto>();
    mostrato->gestito = true;
    mostrato->fileXml = documento.fileXml;
    mostrato->dati = documento.dati;
    mostrato->xml = documento.xml;
    mostrato->fornitore = documento.fornitore;
    mostrato->tipoDocumento = documento.tipoDocumento;
    mostrato->data = documento.data;
    mostrato->numero = documento.numero;
    mostrato->formato = documento.formato;
    mostrato->foglioPersonale = documento.foglioPersonale;
    for (const auto& voce : documento.allegati)
        mostrato->allegati.push_back(std::make_unique<TAllegatoItem>(*voce));
    m_mostrato = std::move(mostrato);
    m_sceltoMostrato = scelto;
    // The list's copy the previous invoice was read from may go now.
    m_provenienzaMostrata = m_provenienzaAttesa;
    abilitaStrumentiPagina(true);
    CaricaListaAllegati(std::move(documento.allegati));
    MostraDatiDocumento(documento);
    aggiornaFinestraXml();
}

void TFONDIVO::mostraOccupato() {
    const bool occupato = m_apertureInCorso > 0;
    // A PDF being written shows the bar too, but leaves the window usable.
    m_occupato->setVisible(occupato || m_esportazioniInCorso > 0);
    if (occupato) {
        centralWidget()->setCursor(Qt::BusyCursor);
    } else {
        centralWidget()->unsetCursor();
        if (statusBar()->currentMessage() == m_messaggioApertura)
            statusBar()->clearMessage();
    }
}

void TFONDIVO::annullaApertura() {
    if (m_annulla)
        m_annulla->store(true);
    m_annulla.reset();
}

void TFONDIVO::CaricaListaAllegati(ListaAllegati allegati) {
    // The entries point at the records they replace: they go first.
    LBAlleg->clear();
    FAllegati = std::move(allegati);
    for (const auto& allegato : FAllegati)
        LBAlleg->addItem(new VoceAllegato(allegato.get()));
    if (LBAlleg->count() > 0)
        LBAlleg->setCurrentRow(0);
}

void TFONDIVO::MostraDatiDocumento(const DocumentoAperto& documento) {
    const std::pair<const std::optional<std::string>&, QLabel*> righe[] = {
        {documento.fornitore, StFornitore},
        {documento.tipoDocumento, STTipoDoc},
        {documento.data, StDataDoc},
        {documento.numero, STNumDoc},
    };
    // A label whose query finds nothing is emptied, so no value of the previous invoice stays
    // beside the new one.
    for (const auto& [valore, etichetta] : righe)
        impostaTesto(etichetta, valore.value_or(""));
}

void TFONDIVO::ButtonSaveClick() {
    if (LBAlleg->count() == 0)
        return;
    auto* voce = static_cast<VoceAllegato*>(LBAlleg->currentItem());
    if (!voce || !voce->isSelected()) {
        m_prompts.ShowMessage("Selezionare l'allegato da salvare!");
        return;
    }
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
    const std::string percorso = m_sceltoMostrato;
    if (!IsEnvelope(percorso))
        return;
    std::string xml;
    EstraiXmlDaP7m(percorso, xml, AppDir() + DirOssl);
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
