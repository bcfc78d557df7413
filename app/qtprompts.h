#pragma once

#include "prompts.h"

#include <QMessageBox>
#include <QStringList>

#include <memory>

class QFileDialog;
class QPushButton;
class QTranslator;

namespace ondivo {

// "label|pattern|…" as Qt's name filters ("label (pattern pattern)").
QStringList FiltriQt(const std::string& filtro);

// A box as the prompts show it: the application title as caption, one OK button, no parent
// (so centred on the screen), and the text shown as plain text whatever it holds, since it
// often carries an invoice's text, a file name or a lower layer's message.
std::unique_ptr<QMessageBox> CreaBox(QMessageBox::Icon icona, const std::string& testo);

// Loads Qt's own Italian texts (the buttons of the boxes, the file dialog) into `traduttore`,
// whatever the system's language. False when Qt's translations are not installed.
bool CaricaTraduzioniQt(QTranslator& traduttore);

// Modal system message boxes, captioned with the application title, centred on the screen,
// and the window's file dialog.
class QtPrompts : public Prompts {
public:
    QtPrompts();
    ~QtPrompts() override;

    void ShowMessage(const std::string& testo) override;
    void ShowError(const std::string& testo) override;
    std::optional<std::string> ScegliFile(const ConfigurazioneDialogo& configurazione) override;
    std::optional<SceltaFatture>
    ScegliFatture(const ConfigurazioneDialogo& configurazione) override;
    std::optional<std::string> ScegliCartella(const ConfigurazioneDialogo& configurazione) override;
    void ShowRiepilogo(const std::string& testo, const std::vector<std::string>& motivi) override;
    std::optional<std::string> ScegliFileDaSalvare(const ConfigurazioneDialogo& configurazione,
                                                   const std::string& nomeProposto) override;
    std::optional<std::string>
    ScegliFileDaImportare(const ConfigurazioneDialogo& configurazione) override;
    bool Chiedi(const std::string& testo, const std::string& procedi) override;

private:
    // OpenDialog1, made the first time.
    QFileDialog& dialogo();
    // OpenDialog1 set up for a command and shown; the paths chosen, empty on cancel.
    QStringList apriDialogo(const ConfigurazioneDialogo& configurazione);

    std::unique_ptr<QFileDialog> OpenDialog1;
    QPushButton* m_cartellaIntera = nullptr; // in OpenDialog1, shown when opening invoices
    bool m_sceltaCartella = false;
    int m_indiceFiltro = 0; // the filter entry confirmed last
    QString m_nomeFile;     // the file name chosen last
};

} // namespace ondivo
