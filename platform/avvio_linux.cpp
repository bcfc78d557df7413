#include "avvio.h"

namespace ondivo::platform {

std::vector<std::string> AvviaProgramma(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace ondivo::platform
