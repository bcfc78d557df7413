#pragma once

#include <string>

namespace ondivo::platform {

// Full path of the running executable, or "" when the system cannot tell.
std::string PercorsoEseguibile();

// The file name of a program of that name on this system ("openssl", or "openssl.exe").
std::string NomeEseguibile(const std::string& nome);

// The characters that end a folder in a path here ("/"; "\\" and ":" on Windows).
const char* SeparatoriCartella();

} // namespace ondivo::platform
