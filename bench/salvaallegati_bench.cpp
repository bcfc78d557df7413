// The two scans of an invoice with one large attachment: LeggiAllegati (the list the window
// shows) and SalvaAllegati (bulk extraction into a folder).
// Usage: salvaallegati_bench INVOICE [benchmark flags]; bench/run gives it a 32 MB invoice with
// one 20 MB attachment made by genfattura.py.
#include "allegati.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Ambiente {
    fs::path cartella;
    std::string fattura;
};

Ambiente& ambiente() {
    static Ambiente a;
    return a;
}

void BM_LeggiAllegati(benchmark::State& state) {
    for (auto _ : state) {
        ondivo::ListaAllegati lista;
        benchmark::DoNotOptimize(ondivo::LeggiAllegati(ambiente().fattura, lista));
    }
}
BENCHMARK(BM_LeggiAllegati)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SalvaAllegati(benchmark::State& state) {
    const std::string uscita = (ambiente().cartella / "ALLEGATI").string();
    for (auto _ : state) {
        std::string messaggio;
        if (ondivo::SalvaAllegati(ambiente().fattura, uscita, messaggio) != 1)
            state.SkipWithError(messaggio.c_str());
    }
}
BENCHMARK(BM_SalvaAllegati)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::cerr << "usage: salvaallegati_bench INVOICE [benchmark flags]\n";
        return 2;
    }
    std::string modello = (fs::temp_directory_path() / "ondivo-bench-XXXXXX").string();
    if (!::mkdtemp(modello.data()))
        throw std::runtime_error("mkdtemp failed");
    ambiente().cartella = modello;
    ambiente().fattura = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(ambiente().cartella);
    return 0;
}
