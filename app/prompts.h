#pragma once

#include "messagesink.h"

#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// How a command sets up the window's file dialog before showing it.
struct ConfigurazioneDialogo {
    std::string cartellaIniziale;
    std::string estensionePredefinita; // "*.xml", or "*.*" for none
    std::string filtro;                // "label|pattern|label|pattern…", patterns joined by ";"
    std::string titolo;
};

// What the open dialog of invoices gives: the files chosen, or the folder its button took
// whole.
struct SceltaFatture {
    std::vector<std::string> file;
    std::string cartella;
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

    // The same dialog for opening invoices: several files may be chosen at once, or, with its
    // button for it, a whole folder (the one selected, else the one shown). Returns nothing on
    // cancel.
    virtual std::optional<SceltaFatture>
    ScegliFatture(const ConfigurazioneDialogo& configurazione) = 0;

    // A dialog that chooses a folder, starting in the given one. Returns it, or nothing on
    // cancel.
    virtual std::optional<std::string>
    ScegliCartella(const ConfigurazioneDialogo& configurazione) = 0;

    // The end of a batch: a box with the summary, and the reasons one a line under a button
    // that shows them (none when the list is empty). Every text is shown as given.
    virtual void ShowRiepilogo(const std::string& testo,
                               const std::vector<std::string>& motivi) = 0;

    // The dialog that names a file to write, starting in the given folder with the proposed
    // name; it asks before an existing file is replaced. Returns the path, or nothing on cancel.
    virtual std::optional<std::string>
    ScegliFileDaSalvare(const ConfigurazioneDialogo& configurazione,
                        const std::string& nomeProposto) = 0;

    // A warning box that asks before a risky step: the text, the button that goes ahead
    // (`procedi`) and "Annulla", which is the default. True when the user goes ahead.
    virtual bool Chiedi(const std::string& testo, const std::string& procedi) = 0;

    // A file to read that is not an invoice (a trusted list): a dialog of its own, so the
    // invoice dialog's filter and last name stay as they were. Only an existing file is
    // accepted. Returns the path, or nothing on cancel.
    virtual std::optional<std::string>
    ScegliFileDaImportare(const ConfigurazioneDialogo& configurazione) = 0;
};

} // namespace ondivo
