#pragma once

#include "messagesink.h"

#include <iostream>

namespace ondivo::cli {

// Plain messages go to standard error; the command then ends with a failure status.
class StderrSink : public MessageSink {
public:
    void ShowMessage(const std::string& testo) override {
        std::cerr << testo << '\n';
        m_mostrato = true;
    }
    bool mostrato() const { return m_mostrato; }

private:
    bool m_mostrato = false;
};

} // namespace ondivo::cli
