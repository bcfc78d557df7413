#pragma once

#include "prompts.h"

namespace ondivo {

// Modal system message boxes, captioned with the application title, centred on the screen.
class QtPrompts : public Prompts {
public:
    void ShowMessage(const std::string& testo) override;
    void ShowError(const std::string& testo) override;
};

} // namespace ondivo
