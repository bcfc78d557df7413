#pragma once

#include "messagesink.h"

#include <optional>
#include <string>

namespace ondivo {

// How a command sets up the window's file dialog before showing it.
struct ConfigurazioneDialogo {
    std::string cartellaIniziale;
    std::string estensionePredefinita; // "*.xml", or "*.*" for none
    std::string filtro;                // "label|pattern|label|pattern…", patterns joined by ";"
    std::string titolo;
};

// Everything the window asks of the user, behind one interface so tests substitute a fake.
class Prompts : public MessageSink {
public:
    // The error box: stop icon, one OK button. The text is shown as given.
    virtual void ShowError(const std::string& testo) = 0;

    // The window's one file dialog (OpenDialog1), set up anew by every command. The filter
    // entry confirmed last and the file name chosen last carry over between commands. A typed
    // name of a missing file is accepted. Returns the chosen path, or nothing on cancel.
    virtual std::optional<std::string> ScegliFile(const ConfigurazioneDialogo& configurazione) = 0;

    // The dialog that names a file to write, starting in the given folder with the proposed
    // name; it asks before an existing file is replaced. Returns the path, or nothing on cancel.
    virtual std::optional<std::string> ScegliFileDaSalvare(const ConfigurazioneDialogo& configurazione,
                                                           const std::string& nomeProposto) = 0;

    // A file to read that is not an invoice (a trusted list): a dialog of its own, so the
    // invoice dialog's filter and last name stay as they were. Only an existing file is
    // accepted. Returns the path, or nothing on cancel.
    virtual std::optional<std::string>
    ScegliFileDaImportare(const ConfigurazioneDialogo& configurazione) = 0;
};

} // namespace ondivo
