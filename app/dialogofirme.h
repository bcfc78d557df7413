#pragma once

#include "consigliofirme.h"
#include "statofirme.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ondivo {

class RiquadroFirma;

// The details of the signatures of the invoice shown: the verdict, every signer with what its
// certificate says and what the checks found, and the trusted list the signatures are checked
// against, with the commands that import or update it. It only shows: the window runs the
// commands it asks for. Every text is plain text.
class DialogoFirme : public QDialog {
    Q_OBJECT

public:
    explicit DialogoFirme(QWidget* genitore = nullptr);

    // The file, the state of its signatures and, under the verdict, why it is amber with the
    // command that mends it (ConsiglioPerFirme).
    void mostraFirme(const QString& file, const StatoFirme& stato,
                     const ConsiglioFirme& consiglio = {});
    // Which list is kept (RigaElencoSalvato) and the address updates come from.
    void mostraElenco(const QString& riga, const QString& indirizzo);
    // While an update runs its buttons are disabled and `messaggio` says so.
    void mostraAggiornamento(bool inCorso, const QString& messaggio = {});
    // The address as the user wrote it, trimmed.
    QString indirizzo() const;

signals:
    void importaRichiesto();
    void aggiornaRichiesto();
    // The user asks for the revocation data of the signers' certificates from the network.
    void revocheRichieste();

private:
    RiquadroFirma* m_riepilogo;
    QLabel* m_consiglio;
    QPushButton* m_azione; // the advice's command
    ConsiglioFirme::Azione m_azioneConsigliata = ConsiglioFirme::Azione::Nessuna;
    QLabel* m_file;
    QTreeWidget* m_albero;
    QPushButton* m_revoche;
    QLabel* m_elenco;
    QLineEdit* m_indirizzo;
    QPushButton* m_importa;
    QPushButton* m_aggiorna;
    QLabel* m_aggiornamento;

    friend class TestFirma;
};

} // namespace ondivo
