#pragma once

#include "prompts.h"

#include <QStringList>

#include <memory>

class QFileDialog;
class QWidget;

namespace ondivo {

// "label|pattern|…" as Qt's name filters ("label (pattern pattern)").
QStringList FiltriQt(const std::string& filtro);

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
