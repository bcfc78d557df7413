#include "base64_avx2.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ONDIVO_AVX2 1
#include <immintrin.h>
#endif

namespace ondivo {

#ifdef ONDIVO_AVX2

namespace {

// One byte per lane compared as signed: codes from 128 up are negative and fall in no range.
__attribute__((target("avx2"))) inline __m256i traRange(__m256i c, char primo, char ultimo) {
    return _mm256_and_si256(_mm256_cmpgt_epi8(c, _mm256_set1_epi8(static_cast<char>(primo - 1))),
                            _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(ultimo + 1)), c));
}

} // namespace

bool DecodificaVelocePossibile() {
    static const bool possibile = __builtin_cpu_supports("avx2");
    return possibile;
}

__attribute__((target("avx2"))) std::size_t
DecodificaBlocchiAlfabeto(const unsigned char* testo, std::size_t n, unsigned char* uscita) {
    std::size_t fatti = 0;
    // Per 128-bit lane: the three bytes of each group, most significant first, then zeros.
    const __m256i ordine = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                            2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i compatta = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    for (; n - fatti >= 32; fatti += 32, uscita += 24) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(testo + fatti));
        const __m256i maiuscole = traRange(c, 'A', 'Z');
        const __m256i minuscole = traRange(c, 'a', 'z');
        const __m256i cifre = traRange(c, '0', '9');
        const __m256i piu = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('+'));
        const __m256i barra = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('/'));
        const __m256i validi = _mm256_or_si256(_mm256_or_si256(maiuscole, minuscole),
                                               _mm256_or_si256(cifre, _mm256_or_si256(piu, barra)));
        if (_mm256_movemask_epi8(validi) != -1)
            break;
        // The digit value is the code plus an offset that depends only on its range.
        __m256i scarto = _mm256_and_si256(maiuscole, _mm256_set1_epi8(static_cast<char>(-'A')));
        scarto = _mm256_or_si256(
            scarto, _mm256_and_si256(minuscole, _mm256_set1_epi8(static_cast<char>(26 - 'a'))));
        scarto = _mm256_or_si256(
            scarto, _mm256_and_si256(cifre, _mm256_set1_epi8(static_cast<char>(52 - '0'))));
        scarto = _mm256_or_si256(
            scarto, _mm256_and_si256(piu, _mm256_set1_epi8(static_cast<char>(62 - '+'))));
        scarto = _mm256_or_si256(
            scarto, _mm256_and_si256(barra, _mm256_set1_epi8(static_cast<char>(63 - '/'))));
        const __m256i cifre6 = _mm256_add_epi8(c, scarto);
        // Pairs of digits to 12 bits (first * 64 + second), pairs of those to 24 bits.
        const __m256i coppie = _mm256_maddubs_epi16(cifre6, _mm256_set1_epi32(0x01400140));
        const __m256i gruppi = _mm256_madd_epi16(coppie, _mm256_set1_epi32(0x00011000));
        const __m256i byte =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(gruppi, ordine), compatta);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(uscita), _mm256_castsi256_si128(byte));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(uscita + 16),
                         _mm256_extracti128_si256(byte, 1));
    }
    return fatti;
}

#else

bool DecodificaVelocePossibile() {
    return false;
}

std::size_t DecodificaBlocchiAlfabeto(const unsigned char*, std::size_t, unsigned char*) {
    return 0;
}

#endif

} // namespace ondivo
