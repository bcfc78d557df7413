// The two scans of an invoice with one large attachment: LeggiAllegati (the list the window
// shows) and SalvaAllegati (bulk extraction into a folder).
// Usage: salvaallegati_bench [INVOICE] [benchmark flags]. Without an invoice, one of 32 MB with
// a 20 MB attachment is generated into a temporary folder.
#include "allegati.h"
#include "base64.h"
#include "filestreams.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
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

std::string generaFattura(std::size_t byteFattura, std::size_t byteAllegato) {
    std::mt19937_64 gen(7);
    std::string allegato(byteAllegato, '\0');
    for (auto& b : allegato)
        b = static_cast<char>(gen());
    std::string_view sorgente = allegato;
    const std::string testo = ondivo::TCodificatoreMIME().Encode(sorgente);

    std::string fattura = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica>\n"
                          "  <FatturaElettronicaBody>\n    <DatiBeniServizi>\n";
    for (int n = 1; fattura.size() + testo.size() < byteFattura; ++n)
        fattura += "      <DettaglioLinee><NumeroLinea>" + std::to_string(n) +
                   "</NumeroLinea><Descrizione>Articolo di prova</Descrizione>"
                   "<PrezzoTotale>10.00</PrezzoTotale></DettaglioLinee>\n";
    fattura += "    </DatiBeniServizi>\n    <Allegati>\n      <NomeAttachment>allegato.bin"
               "</NomeAttachment>\n      <Attachment>" +
               testo +
               "</Attachment>\n    </Allegati>\n  </FatturaElettronicaBody>\n"
               "</p:FatturaElettronica>\n";
    return fattura;
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
    std::string modello = (fs::temp_directory_path() / "ondivo-bench-XXXXXX").string();
    if (!::mkdtemp(modello.data()))
        throw std::runtime_error("mkdtemp failed");
    ambiente().cartella = modello;
    if (argc > 1) {
        ambiente().fattura = argv[1];
    } else {
        ambiente().fattura = (ambiente().cartella / "fattura.xml").string();
        ondivo::ScriviFile(ambiente().fattura, generaFattura(32'000'000, 20'000'000));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(ambiente().cartella);
    return 0;
}
