#include "impronta.h"

#include <openssl/evp.h>

namespace ondivo {

std::string ImprontaSha256(std::string_view byte) {
    unsigned char impronta[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(byte.data(), byte.size(), impronta, &n, EVP_sha256(), nullptr) != 1)
        return {};
    static constexpr char kCifre[] = "0123456789abcdef";
    std::string testo;
    for (unsigned int i = 0; i < n; ++i) {
        testo += kCifre[impronta[i] >> 4];
        testo += kCifre[impronta[i] & 0x0F];
    }
    return testo;
}

} // namespace ondivo
