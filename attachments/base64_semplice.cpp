#include "base64_avx2.h"

// Compilers without GCC's per-function target attributes (MSVC): the general decoder does all.
namespace ondivo {

bool DecodificaVelocePossibile() {
    return false;
}

std::size_t DecodificaBlocchiAlfabeto(const unsigned char*, std::size_t, unsigned char*) {
    return 0;
}

} // namespace ondivo
