#pragma once

#include "messagesink.h"

#include <string>
#include <vector>

namespace ondivo::test {

class FakeSink : public MessageSink {
public:
    void ShowMessage(const std::string& testo) override { messaggi.push_back(testo); }
    std::vector<std::string> messaggi;
};

} // namespace ondivo::test
