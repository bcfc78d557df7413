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
    std::vector<std::string> shown;
};

} // namespace ondivo::test
