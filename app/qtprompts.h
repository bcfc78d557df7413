#pragma once

#include "prompts.h"

#include <QStringList>

#include <memory>

class QFileDialog;
class QTranslator;
class QWidget;

namespace ondivo {

// "label|pattern|…" as Qt's name filters ("label (pattern pattern)").
QStringList FiltriQt(const std::string& filtro);

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

private:
    std::unique_ptr<QFileDialog> OpenDialog1;
    int m_indiceFiltro = 0; // the filter entry confirmed last
    QString m_nomeFile;     // the file name chosen last
};

} // namespace ondivo
