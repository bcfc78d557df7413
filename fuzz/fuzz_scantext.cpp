// Arbitrary bytes as an invoice file, read for attachments (a refusal or whole records), and
// the tag-text routines on the same bytes, each checked against a slow literal version, a
// position-by-position search.
#include "allegati.h"
#include "errors.h"
#include "memfile.h"
#include "oracle.h"
#include "tagscanner.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using ondivo::fuzz::check;

// The first position p >= from of sub in s, trying every position in turn. Plain pointers keep
// this loop, the hottest of the target, free of calls.
ONDIVO_ORACLE std::size_t posLenta(std::string_view sub, std::string_view s, std::size_t from) {
    const char* const testo = s.data();
    const char* const cercato = sub.data();
    const std::size_t n = s.size();
    const std::size_t m = sub.size();
    if (m == 0 || n == 0)
        return 0;
    for (std::size_t p = from < 1 ? 1 : from; p + m - 1 <= n; ++p) {
        std::size_t k = 0;
        while (k < m && testo[p - 1 + k] == cercato[k])
            ++k;
        if (k == m)
            return p;
    }
    return 0;
}

ONDIVO_ORACLE std::string_view trimLento(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

struct Blocco {
    std::string_view testo;
    std::size_t pos; // the search position afterwards
};

ONDIVO_ORACLE Blocco estraiLento(std::string_view s, std::string_view nome, std::size_t pos) {
    const std::string apertura = "<" + std::string(nome) + ">";
    const std::string chiusura = "</" + std::string(nome) + ">";
    const std::size_t p1 = posLenta(apertura, s, pos);
    if (p1 == 0)
        return {{}, pos};
    const std::size_t p2 = posLenta(chiusura, s, p1);
    if (p2 == 0)
        return {{}, pos};
    const std::size_t fine = p2 + chiusura.size();
    return {s.substr(p1 - 1, fine - p1), fine};
}

ONDIVO_ORACLE std::string_view valoreLento(std::string_view s, std::string_view nome) {
    const std::string apertura = "<" + std::string(nome) + ">";
    const std::string chiusura = "</" + std::string(nome) + ">";
    const std::size_t p1 = posLenta(apertura, s, 1);
    if (p1 == 0)
        return {};
    const std::size_t inizio = p1 + apertura.size();
    const std::size_t p2 = posLenta(chiusura, s, 1);
    if (inizio >= p2)
        return {};
    return trimLento(s.substr(inizio - 1, p2 - inizio));
}

// Every match of sub in s, reached by PosDa from the start and from right behind each match,
// and from the match itself; beyond the end nothing is found.
ONDIVO_ORACLE void confrontaPosDa(std::string_view sub, std::string_view s) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = ondivo::PosDa(sub, s, from);
        check(p == posLenta(sub, s, from));
        if (p == 0)
            break;
        check(ondivo::PosDa(sub, s, p) == p);
        from = p + 1;
    }
    check(ondivo::PosDa(sub, s, s.size() + 1) == 0);
}

// The chain of blocks of one tag name and the value of that name.
ONDIVO_ORACLE void confrontaBlocchi(std::string_view s, std::string_view nome) {
    std::size_t pos = 1;
    for (;;) {
        const std::size_t prima = pos;
        const std::string_view blocco = ondivo::EstraiBlocco(s, nome, pos);
        const Blocco atteso = estraiLento(s, nome, prima);
        check(blocco == atteso.testo && pos == atteso.pos);
        if (blocco.empty())
            break;
        check(blocco.data() == s.data() + (pos - 1 - blocco.size())); // a view into s
        const std::string_view valore = ondivo::ValoreTag(blocco, "NomeAttachment");
        check(valore == valoreLento(blocco, "NomeAttachment"));
    }
    check(ondivo::ValoreTag(s, nome) == valoreLento(s, nome));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view byte(reinterpret_cast<const char*>(data), size);

    // The attachment list of arbitrary bytes: a refusal or records with both texts.
    const ondivo::fuzz::MemFile file(data, size);
    ondivo::ListaAllegati lista;
    try {
        const int n = ondivo::LeggiAllegati(file.path(), lista);
        check(n >= 0 && static_cast<std::size_t>(n) == lista.size());
        for (const auto& voce : lista)
            check(!voce->NomeFile.empty() && !voce->DatiBase64.empty());
    } catch (const ondivo::OndivoError&) {
    }

    // A tag name taken from the input itself: what stands between its first "<" and the ">"
    // after it, so the routines meet names that really occur.
    std::string_view nomeDalTesto;
    if (const auto lt = byte.find('<'); lt != std::string_view::npos) {
        const auto gt = byte.find('>', lt);
        if (gt != std::string_view::npos && gt - lt <= 32)
            nomeDalTesto = byte.substr(lt + 1, gt - lt - 1);
    }
    for (std::string_view nome : {std::string_view("Allegati"), std::string_view("Attachment"),
                                  std::string_view(), nomeDalTesto}) {
        confrontaBlocchi(byte, nome);
    }
    for (std::string_view sub :
         {std::string_view("<Allegati>"), std::string_view("</Allegati>"), std::string_view("<"),
          byte.substr(0, 3), byte.substr(byte.size() / 2, 5), byte}) {
        confrontaPosDa(sub, byte);
    }
    return 0;
}
