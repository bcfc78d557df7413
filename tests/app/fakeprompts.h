#pragma once

#include "prompts.h"

#include <string>
#include <vector>

namespace ondivo::test {

// Records what the window would have shown, in order, as "message: …" or "error: …".
class FakePrompts : public Prompts {
public:
    void ShowMessage(const std::string& testo) override { shown.push_back("message: " + testo); }
    void ShowError(const std::string& testo) override { shown.push_back("error: " + testo); }

    // Answers the next file dialogs in order: a path, or nothing for cancel.
    std::optional<std::string> ScegliFile(const ConfigurazioneDialogo& c) override {
        dialogs.push_back(c);
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    }

    // The open dialog of invoices answers from `sceltePiu` while it has answers, else from the
    // same queue, a path as the only file chosen.
    std::optional<SceltaFatture> ScegliFatture(const ConfigurazioneDialogo& c) override {
        if (sceltePiu.empty()) {
            auto a = ScegliFile(c);
            return a ? std::optional<SceltaFatture>(SceltaFatture{{*a}, {}}) : std::nullopt;
        }
        dialogs.push_back(c);
        auto a = sceltePiu.front();
        sceltePiu.erase(sceltePiu.begin());
        return a;
    }

    // Folder dialogs take their answers from the same queue.
    std::optional<std::string> ScegliCartella(const ConfigurazioneDialogo& c) override {
        return ScegliFile(c);
    }

    // Recorded as "summary: …", the reasons kept apart.
    void ShowRiepilogo(const std::string& testo, const std::vector<std::string>& m) override {
        shown.push_back("summary: " + testo);
        motivi = m;
    }

    // Save dialogs take their answers from the same queue; the proposed names are kept.
    std::optional<std::string> ScegliFileDaSalvare(const ConfigurazioneDialogo& c,
                                                   const std::string& nomeProposto) override {
        proposed.push_back(nomeProposto);
        return ScegliFile(c);
    }

    // So do the dialogs of the files to import.
    std::optional<std::string> ScegliFileDaImportare(const ConfigurazioneDialogo& c) override {
        return ScegliFile(c);
    }

    // Recorded as "question: …"; answered from `conferme` in order, no once it is empty.
    bool Chiedi(const std::string& testo, const std::string& procedi) override {
        shown.push_back("question: " + testo + " [" + procedi + "]");
        if (conferme.empty())
            return false;
        const bool si = conferme.front();
        conferme.erase(conferme.begin());
        return si;
    }

    std::vector<std::string> shown;
    std::vector<bool> conferme;
    std::vector<ConfigurazioneDialogo> dialogs;
    std::vector<std::string> proposed;
    std::vector<std::optional<std::string>> answers;
    std::vector<std::optional<SceltaFatture>> sceltePiu;
    std::vector<std::string> motivi; // of the last summary
};

} // namespace ondivo::test
