#pragma once

#include "messagesink.h"

#include <string>

namespace ondivo {

// Everything the window asks of the user, behind one interface so tests substitute a fake.
class Prompts : public MessageSink {
public:
    // The error box: stop icon, one OK button. The text is shown as given.
    virtual void ShowError(const std::string& testo) = 0;
};

} // namespace ondivo
