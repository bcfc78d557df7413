// PiegaAccenti on a 10 MB page shaped like the official stylesheets' output: deeply indented
// markup, one line of detail after another, with a few accented words and euro signs.
#include "accentfolding.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kDimensione = 10 * 1024 * 1024;

std::string pagina(const std::string& blocco) {
    std::string testo = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                        "charset=windows-1252\"></head><body>\n";
    for (int riga = 1; testo.size() < kDimensione; ++riga) {
        testo += "<h5>\n\t\t\t\t\t\t\tNr. linea:\n\t\t\t\t\t\t\t<span>" + std::to_string(riga) +
                 "</span>\n</h5>\n";
        testo += blocco;
    }
    return testo + "</body></html>\n";
}

// One detail line: "Quantità", "Modalità", "Perché" and two euro signs in about 700 bytes.
const std::string kRigaItaliana =
    "<ul>\n<li>\n\t\t\t\t\t\t\t\tDescrizione bene/servizio:\n\t\t\t\t\t\t\t\t<span>Fornitura di "
    "materiale di consumo per l'ufficio, consegna a cura del cedente</span>\n</li>\n<li>\n\t\t\t\t"
    "\t\t\t\tQuantit\xC3\xA0:\n\t\t\t\t\t\t\t\t<span>5.00</span>\n</li>\n<li>\n\t\t\t\t\t\t\t\t"
    "Valore unitario:\n\t\t\t\t\t\t\t\t<span>\xE2\x82\xAC 1.00</span>\n</li>\n<li>\n\t\t\t\t\t\t"
    "\t\tValore totale:\n\t\t\t\t\t\t\t\t<span>\xE2\x82\xAC 5.00</span>\n</li>\n<li>\n\t\t\t\t\t\t"
    "\t\tIVA (%):\n\t\t\t\t\t\t\t\t<span>22.00</span>\n</li>\n<li>\n\t\t\t\t\t\t\t\tModalit\xC3"
    "\xA0 di pagamento:\n\t\t\t\t\t\t\t\t<span>MP05 (bonifico)</span>\n</li>\n<li>\n\t\t\t\t\t\t"
    "\t\tNote:\n\t\t\t\t\t\t\t\t<span>Perch\xC3\xA9 consegnato in ritardo</span>\n</li>\n</ul>\n";

// The same line without any of the thirteen characters: the text comes back untouched.
const std::string kRigaSenzaAccenti =
    "<ul>\n<li>\n\t\t\t\t\t\t\t\tDescrizione bene/servizio:\n\t\t\t\t\t\t\t\t<span>Fornitura di "
    "materiale di consumo per l'ufficio, consegna a cura del cedente</span>\n</li>\n<li>\n\t\t\t\t"
    "\t\t\t\tQuantita':\n\t\t\t\t\t\t\t\t<span>5.00</span>\n</li>\n<li>\n\t\t\t\t\t\t\t\t"
    "Valore unitario:\n\t\t\t\t\t\t\t\t<span>EU 1.00</span>\n</li>\n<li>\n\t\t\t\t\t\t\t\t"
    "Valore totale:\n\t\t\t\t\t\t\t\t<span>EU 5.00</span>\n</li>\n<li>\n\t\t\t\t\t\t\t\tIVA (%):"
    "\n\t\t\t\t\t\t\t\t<span>22.00</span>\n</li>\n<li>\n\t\t\t\t\t\t\t\tSocieta\xCC\x81 "
    "\xC3\x81lvarez \xC3\xB3\xC3\xBA:\n\t\t\t\t\t\t\t\t<span>MP05 "
    "(bonifico)</span>\n</li>\n</ul>\n";

// Every word accented, Chinese and Greek among them: the slow paths of the conversion.
const std::string kRigaDensa = "<p>\xC3\xA0\xC3\xA8\xC3\xA9\xC3\xAC\xC3\xB2\xC3\xB9\xE2\x82\xAC "
                               "\xC3\xA1\xC3\xB1\xC3\xBC \xE2\x80\x9C\xE2\x80\x9D \xE4\xB8\xAD"
                               "\xE6\x96\x87 \xCE\xB1\xCE\xB2 \xC4\x81</p>\n";

void piega(benchmark::State& state, const std::string& testo) {
    for (auto _ : state) {
        // The copy belongs to the call: the window folds the text it owns.
        std::string risultato = ondivo::PiegaAccenti(testo);
        benchmark::DoNotOptimize(risultato.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(testo.size()));
}

void BM_PiegaAccenti_Fattura(benchmark::State& state) {
    static const std::string testo = pagina(kRigaItaliana);
    piega(state, testo);
}

void BM_PiegaAccenti_NienteDaPiegare(benchmark::State& state) {
    static const std::string testo = pagina(kRigaSenzaAccenti);
    piega(state, testo);
}

void BM_PiegaAccenti_TuttoAccentato(benchmark::State& state) {
    static const std::string testo = pagina(kRigaDensa);
    piega(state, testo);
}

BENCHMARK(BM_PiegaAccenti_Fattura)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PiegaAccenti_NienteDaPiegare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PiegaAccenti_TuttoAccentato)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
