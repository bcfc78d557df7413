// Base64 decoding and encoding throughput, and the tag search over a large text.
// Usage: base64_bench [BASE64_FILE] [benchmark flags]. With a file, decoding runs on its
// text (trimmed of a final line break), so the figure stands next to `base64 -d` on the same
// file; without one, 100 MB of text are generated in memory.
#include "base64.h"
#include "files.h"
#include "tagscanner.h"
#include "text.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

constexpr std::size_t kTestoMB = 100;

std::string& testoBase64() {
    static std::string testo;
    return testo;
}

std::string byteCasuali(std::size_t n) {
    std::mt19937_64 gen(42);
    std::string byte(n, '\0');
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        const auto v = gen();
        for (int k = 0; k < 8; ++k)
            byte[i + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
    }
    return byte;
}

void BM_DecodeBase64Text(benchmark::State& state) {
    const std::string& testo = testoBase64();
    for (auto _ : state) {
        std::string byte = ondivo::DecodeBase64Text(testo);
        benchmark::DoNotOptimize(byte.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * testo.size()));
}
BENCHMARK(BM_DecodeBase64Text)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Encode(benchmark::State& state) {
    const std::string byte = byteCasuali(kTestoMB * 1000 * 1000 / 4 * 3);
    for (auto _ : state) {
        std::string_view sorgente = byte;
        std::string testo = ondivo::TCodificatoreMIME().Encode(sorgente);
        benchmark::DoNotOptimize(testo.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * byte.size()));
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The scan crossing an attachment's body in search of the end tag that follows it.
void BM_PosDaAcrossBase64(benchmark::State& state) {
    const std::string testo = testoBase64() + "</Allegati>";
    for (auto _ : state)
        benchmark::DoNotOptimize(ondivo::PosDa("</Allegati>", testo, 1));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * testo.size()));
}
BENCHMARK(BM_PosDaAcrossBase64)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1) {
        testoBase64() = std::string(ondivo::Trim(ondivo::platform::LeggiFile(argv[1])));
    } else {
        std::string_view sorgente;
        const std::string byte = byteCasuali(kTestoMB * 1000 * 1000 / 4 * 3);
        sorgente = byte;
        testoBase64() = ondivo::TCodificatoreMIME().Encode(sorgente);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
