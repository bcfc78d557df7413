#pragma once

#include <string>
#include <vector>

namespace ondivo::platform {

// The program's arguments in UTF-8, whatever the system passed them as, and the standard
// streams made ready for UTF-8 bytes written as they are (on Windows: the console's code page
// set to UTF-8 and no line-end translation). Called once, first thing in main().
std::vector<std::string> AvviaProgramma(int argc, char** argv);

} // namespace ondivo::platform
