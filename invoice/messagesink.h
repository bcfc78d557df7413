#pragma once

#include <string>

namespace ondivo {

// Where core routines that tell the user something themselves send their plain message
// (no icon, one OK button). The window shows a box; the command-line companion prints.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // The text is UTF-8.
    virtual void ShowMessage(const std::string& testo) = 0;
};

} // namespace ondivo
