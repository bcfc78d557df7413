// One element path query on a large invoice: the parse dominates, so the figure to compare
// is `xmllint --noout` on the same file (bench/run prints both).
#include "elementpath.h"
#include "headerfields.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

namespace {

class NullSink : public ondivo::MessageSink {
public:
    void ShowMessage(const std::string& testo) override { std::cerr << testo << '\n'; }
};

std::string benchFile() {
    const char* f = std::getenv("ONDIVO_BENCH_XML");
    return f ? f : "";
}

void BM_LeggiValoriXml(benchmark::State& state, const char* percorso) {
    const std::string file = benchFile();
    NullSink sink;
    std::vector<std::string> valori;
    for (auto _ : state) {
        if (!ondivo::LeggiValoriXml(file, percorso, valori, sink))
            state.SkipWithError("query found nothing (set ONDIVO_BENCH_XML)");
        benchmark::DoNotOptimize(valori.data());
    }
}

BENCHMARK_CAPTURE(BM_LeggiValoriXml, FormatoTrasmissione, ondivo::PercorsoFormato)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LeggiValoriXml, Numero, ondivo::CampoNumero.percorso)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
