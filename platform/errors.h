#pragma once

#include <stdexcept>
#include <string>

namespace ondivo {

// Root of every error that carries a text meant for the user. The window shows what() in the
// error box; the command-line companion prints it. Texts are UTF-8.
class OndivoError : public std::runtime_error {
public:
    explicit OndivoError(const std::string& messaggio) : std::runtime_error(messaggio) {}
};

// Raised when a matched element holds anything but a single text node.
class EXMLDocError : public OndivoError {
public:
    EXMLDocError() : OndivoError("Element does not contain a single text node") {}
};

// Raised when the caller withdrew an operation while it ran (a newer open supersedes it, or the
// window closes); whatever the operation would have left behind is not there.
class EAnnullata : public OndivoError {
public:
    EAnnullata() : OndivoError("Operazione annullata") {}
};

// Ends a command without telling the user anything.
class ESilentAbort : public OndivoError {
public:
    ESilentAbort() : OndivoError(std::string()) {}
};

} // namespace ondivo
