#include "numeripagina.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ondivo {

namespace {

constexpr double kCorpo = 7.5;                      // points, as the running line
constexpr double kMargineDestro = 12 / 25.4 * 72;   // the print style's right margin, 12 mm
constexpr double kLineaBase = 16;                   // points above the bottom, inside its 14 mm
const char* const kRisorsa = "/OndivoNumeroPagina"; // the font's name in the pages' resources

// A font of the PDF that can write the numbers: a composite font whose codes are its glyphs
// (Identity-H), with the glyph and the width of every character needed.
struct CarattereNumeri {
    QPDFObjectHandle font;
    std::map<char, unsigned> glifi;
    std::map<unsigned, double> larghezze; // thousandths of the size, by glyph
    double larghezzaPredefinita = 1000;   // for glyphs without their own (the font's /DW)
};

unsigned esadecimale(const std::string& testo) {
    return static_cast<unsigned>(std::stoul(testo, nullptr, 16));
}

// The characters of the ASCII range a ToUnicode map gives to glyphs: its bfchar and bfrange
// entries of a single code unit ("<0003> <0020>", "<000A> <000C> <0027>").
std::map<char, unsigned> glifiDaMappa(const std::string& mappa) {
    std::map<char, unsigned> glifi;
    std::istringstream righe(mappa);
    std::string riga;
    enum { Fuori, Caratteri, Intervalli } sezione = Fuori;
    const auto segna = [&](unsigned glifo, unsigned unicode) {
        if (unicode >= 0x20 && unicode < 0x7F && !glifi.count(static_cast<char>(unicode)))
            glifi[static_cast<char>(unicode)] = glifo;
    };
    while (std::getline(righe, riga)) {
        if (riga.find("beginbfchar") != std::string::npos) {
            sezione = Caratteri;
            continue;
        }
        if (riga.find("beginbfrange") != std::string::npos) {
            sezione = Intervalli;
            continue;
        }
        if (riga.find("endbf") != std::string::npos) {
            sezione = Fuori;
            continue;
        }
        if (sezione == Fuori)
            continue;
        std::vector<std::string> valori;
        for (std::size_t i = riga.find('<'); i != std::string::npos; i = riga.find('<', i)) {
            const auto fine = riga.find('>', i);
            if (fine == std::string::npos)
                break;
            valori.push_back(riga.substr(i + 1, fine - i - 1));
            i = fine;
        }
        try {
            if (sezione == Caratteri && valori.size() == 2 && valori[1].size() == 4) {
                segna(esadecimale(valori[0]), esadecimale(valori[1]));
            } else if (sezione == Intervalli && valori.size() == 3 && valori[2].size() == 4) {
                const unsigned da = esadecimale(valori[0]), a = esadecimale(valori[1]);
                for (unsigned g = da; g <= a && g - da < 0x10000; ++g)
                    segna(g, esadecimale(valori[2]) + (g - da));
            }
        } catch (const std::exception&) {
            // An entry that is not hexadecimal gives nothing.
        }
    }
    return glifi;
}

// The widths of a CIDFont's /W array: "c [w1 w2 …]" and "c1 c2 w".
void larghezzeDa(QPDFObjectHandle w, CarattereNumeri& c) {
    if (!w.isArray())
        return;
    auto voci = w.getArrayAsVector();
    for (std::size_t i = 0; i + 1 < voci.size();) {
        if (!voci[i].isNumber())
            return;
        const auto primo = static_cast<unsigned>(voci[i].getNumericValue());
        if (voci[i + 1].isArray()) {
            unsigned g = primo;
            for (auto& l : voci[i + 1].getArrayAsVector())
                if (l.isNumber())
                    c.larghezze[g++] = l.getNumericValue();
            i += 2;
        } else if (i + 2 < voci.size() && voci[i + 1].isNumber() && voci[i + 2].isNumber()) {
            const auto ultimo = static_cast<unsigned>(voci[i + 1].getNumericValue());
            for (unsigned g = primo; g <= ultimo && g - primo < 0x10000; ++g)
                c.larghezze[g] = voci[i + 2].getNumericValue();
            i += 3;
        } else {
            return;
        }
    }
}

std::optional<CarattereNumeri> carattereDa(QPDFObjectHandle font, const std::set<char>& servono) {
    if (!font.isDictionary() || !font.getKey("/Subtype").isNameAndEquals("/Type0") ||
        !font.getKey("/Encoding").isNameAndEquals("/Identity-H") ||
        !font.getKey("/ToUnicode").isStream())
        return std::nullopt;
    auto discendenti = font.getKey("/DescendantFonts");
    if (!discendenti.isArray() || discendenti.getArrayNItems() != 1)
        return std::nullopt;
    auto cid = discendenti.getArrayItem(0);
    if (!cid.isDictionary())
        return std::nullopt;
    // Codes name glyphs only through the identity map (or its absence, for CFF outlines).
    auto mappaGlifi = cid.getKey("/CIDToGIDMap");
    if (!mappaGlifi.isNull() && !mappaGlifi.isNameAndEquals("/Identity"))
        return std::nullopt;
    CarattereNumeri c;
    c.font = font;
    const auto dati = font.getKey("/ToUnicode").getStreamData(qpdf_dl_generalized);
    c.glifi = glifiDaMappa(
        std::string(reinterpret_cast<const char*>(dati->getBuffer()), dati->getSize()));
    for (const char ch : servono)
        if (!c.glifi.count(ch))
            return std::nullopt;
    auto predefinita = cid.getKey("/DW");
    c.larghezzaPredefinita = predefinita.isNumber() ? predefinita.getNumericValue() : 1000;
    larghezzeDa(cid.getKey("/W"), c);
    return c;
}

// The regular face if it can, else any embedded font of the pages that holds every character.
std::optional<CarattereNumeri> scegliCarattere(std::vector<QPDFPageObjectHelper>& pagine,
                                               const std::set<char>& servono) {
    std::optional<CarattereNumeri> scelto;
    std::set<QPDFObjGen> visti;
    for (auto& pagina : pagine) {
        auto risorse = pagina.getAttribute("/Resources", false);
        auto caratteri = risorse.isDictionary() ? risorse.getKey("/Font") : QPDFObjectHandle();
        if (!caratteri.isDictionary())
            continue;
        for (auto& voce : caratteri.getDictAsMap()) {
            auto& font = voce.second;
            if (!font.isIndirect() || !visti.insert(font.getObjGen()).second)
                continue;
            auto c = carattereDa(font, servono);
            if (!c)
                continue;
            auto base = font.getKey("/BaseFont");
            const std::string nome = base.isName() ? base.getName() : std::string();
            if (nome.find("Bold") == std::string::npos && nome.find("Italic") == std::string::npos &&
                nome.find("Oblique") == std::string::npos)
                return c;
            if (!scelto)
                scelto = std::move(c);
        }
    }
    return scelto;
}

std::string testoNumero(std::size_t n, std::size_t di) {
    return "pagina " + std::to_string(n) + " di " + std::to_string(di);
}

} // namespace

void NumeraPagine(QPDF& pdf) {
    auto pagine = QPDFPageDocumentHelper(pdf).getAllPages();
    if (pagine.empty())
        return;
    std::set<char> servono;
    for (std::size_t i = 1; i <= pagine.size(); ++i)
        for (const char ch : testoNumero(i, pagine.size()))
            servono.insert(ch);
    const auto carattere = scegliCarattere(pagine, servono);
    if (!carattere)
        return;
    for (std::size_t i = 0; i < pagine.size(); ++i) {
        QPDFPageObjectHelper& pagina = pagine[i];
        QPDFObjectHandle risorse = pagina.getAttribute("/Resources", true);
        if (!risorse.isDictionary()) {
            risorse = QPDFObjectHandle::newDictionary();
            pagina.getObjectHandle().replaceKey("/Resources", risorse);
        }
        QPDFObjectHandle caratteri = risorse.getKey("/Font");
        if (!caratteri.isDictionary()) {
            caratteri = QPDFObjectHandle::newDictionary();
            risorse.replaceKey("/Font", caratteri);
        }
        caratteri.replaceKey(kRisorsa, carattere->font);
        const std::string testo = testoNumero(i + 1, pagine.size());
        std::string codici;
        double larghezza = 0;
        for (const char ch : testo) {
            const unsigned glifo = carattere->glifi.at(ch);
            char esa[8];
            std::snprintf(esa, sizeof esa, "%04X", glifo & 0xFFFF);
            codici += esa;
            const auto l = carattere->larghezze.find(glifo);
            larghezza += l == carattere->larghezze.end() ? carattere->larghezzaPredefinita : l->second;
        }
        const auto riquadro = pagina.getMediaBox().getArrayAsRectangle();
        const double x = riquadro.urx - kMargineDestro - larghezza * kCorpo / 1000;
        char contenuto[512];
        std::snprintf(contenuto, sizeof contenuto,
                      "\nQ\nq BT %s %.1f Tf 0.333 g %.2f %.2f Td <%s> Tj ET Q\n", kRisorsa, kCorpo,
                      x, riquadro.lly + kLineaBase, codici.c_str());
        pagina.addPageContents(QPDFObjectHandle::newStream(&pdf, "q\n"), true);
        pagina.addPageContents(QPDFObjectHandle::newStream(&pdf, contenuto), false);
    }
}

} // namespace ondivo
