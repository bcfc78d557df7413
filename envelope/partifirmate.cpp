#include "partifirmate.h"

#include "ansicodec.h"
#include "text.h"

#include <algorithm>
#include <map>
#include <type_traits>

namespace ondivo {

namespace {

constexpr std::string_view kNsFirma = "http://www.w3.org/2000/09/xmldsig#";
constexpr std::string_view kNsFiltro2 = "http://www.w3.org/2002/06/xmldsig-filter2";
constexpr std::string_view kNsXml = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kAvvolta = "http://www.w3.org/2000/09/xmldsig#enveloped-signature";
constexpr std::string_view kXPath = "http://www.w3.org/TR/1999/REC-xpath-19991116";
constexpr std::string_view kCanoniche[] = {
    "http://www.w3.org/TR/2001/REC-xml-c14n-20010315",
    "http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments",
    "http://www.w3.org/2001/10/xml-exc-c14n#",
    "http://www.w3.org/2001/10/xml-exc-c14n#WithComments",
    "http://www.w3.org/2006/12/xml-c14n11",
    "http://www.w3.org/2006/12/xml-c14n11#WithComments",
};

struct Attributo {
    std::string nome;
    std::string valore; // references resolved, UTF-8 (or the text's own bytes)
};

// Positions count code units of the text scanned (bytes, or UTF-16 units).
struct Elemento {
    std::string nome; // as written, prefix included
    std::string ns;
    std::size_t inizio = 0;
    std::size_t fine = 0;
    std::size_t inizioContenuto = 0; // after the start tag's ">"
    std::size_t fineContenuto = 0;   // at the end tag's "<"; as inizioContenuto when empty
    int genitore = -1;
    std::vector<int> figli;
    std::vector<Attributo> attributi;

    std::string_view locale() const {
        const auto dp = nome.find(':');
        return dp == std::string::npos ? std::string_view(nome)
                                       : std::string_view(nome).substr(dp + 1);
    }
    const Attributo* attributo(std::string_view n) const {
        for (const auto& a : attributi)
            if (a.nome == n)
                return &a;
        return nullptr;
    }
};

bool Spazio(unsigned c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The five predefined entities and character references; any other reference stays as written.
std::string RisolviRiferimenti(const std::string& testo) {
    if (testo.find('&') == std::string::npos)
        return testo;
    std::string esito;
    std::size_t i = 0;
    while (i < testo.size()) {
        const auto amp = testo.find('&', i);
        const auto pv = amp == std::string::npos ? amp : testo.find(';', amp);
        if (pv == std::string::npos) {
            esito.append(testo, i, std::string::npos);
            break;
        }
        esito.append(testo, i, amp - i);
        const std::string_view nome = std::string_view(testo).substr(amp + 1, pv - amp - 1);
        char32_t cp = 0;
        if (nome == "lt")
            cp = '<';
        else if (nome == "gt")
            cp = '>';
        else if (nome == "amp")
            cp = '&';
        else if (nome == "quot")
            cp = '"';
        else if (nome == "apos")
            cp = '\'';
        else if (nome.size() > 1 && nome[0] == '#') {
            const bool esa = nome[1] == 'x';
            const std::string_view cifre = nome.substr(esa ? 2 : 1);
            bool valido = !cifre.empty() && cifre.size() <= 8;
            for (char c : cifre) {
                const int v = c >= '0' && c <= '9'          ? c - '0'
                              : esa && c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : esa && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1;
                if (v < 0) {
                    valido = false;
                    break;
                }
                cp = cp * (esa ? 16 : 10) + static_cast<char32_t>(v);
            }
            if (!valido || cp > 0x10FFFF)
                cp = 0;
        }
        if (cp == 0)
            esito.append(testo, amp, pv + 1 - amp);
        else
            AppendUtf8(esito, cp);
        i = pv + 1;
    }
    return esito;
}

// The elements of a text, with their positions; C is char (bytes) or char16_t (UTF-16 units).
template <typename C> class Scansione {
public:
    explicit Scansione(std::basic_string_view<C> testo) : m_s(testo) {}

    // False when the text is not well-formed as far as this scanner looks; `errore` says why.
    bool esegui();

    std::vector<Elemento> elementi;
    std::string errore;

    std::string utf8(std::size_t da, std::size_t a) const {
        if constexpr (std::is_same_v<C, char>) {
            return std::string(m_s.substr(da, a - da));
        } else {
            std::string esito;
            for (std::size_t i = da; i < a; ++i) {
                char32_t cp = m_s[i];
                if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < a && m_s[i + 1] >= 0xDC00 &&
                    m_s[i + 1] < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (m_s[i + 1] - 0xDC00);
                    ++i;
                }
                AppendUtf8(esito, cp);
            }
            return esito;
        }
    }

private:
    unsigned u(std::size_t i) const { return static_cast<std::make_unsigned_t<C>>(m_s[i]); }

    bool inizia(std::size_t i, std::string_view ascii) const {
        if (m_s.size() - i < ascii.size())
            return false;
        for (std::size_t k = 0; k < ascii.size(); ++k)
            if (u(i + k) != static_cast<unsigned char>(ascii[k]))
                return false;
        return true;
    }

    std::size_t trova(std::size_t da, std::string_view ascii) const {
        for (std::size_t i = da; i < m_s.size(); ++i)
            if (u(i) == static_cast<unsigned char>(ascii[0]) && inizia(i, ascii))
                return i;
        return std::basic_string_view<C>::npos;
    }

    std::size_t saltaSpazi(std::size_t i) const {
        while (i < m_s.size() && Spazio(u(i)))
            ++i;
        return i;
    }

    std::size_t fineNome(std::size_t i) const {
        while (i < m_s.size()) {
            const unsigned c = u(i);
            if (Spazio(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\'')
                break;
            ++i;
        }
        return i;
    }

    bool sbaglia(std::size_t posizione, std::string perche) {
        const std::size_t riga =
            1 + static_cast<std::size_t>(std::count_if(m_s.begin(), m_s.begin() + posizione,
                                                       [](C c) { return c == C('\n'); }));
        errore = "riga " + std::to_string(riga) + ": " + std::move(perche);
        return false;
    }

    // The end of a declaration "<!...>" starting at i (DOCTYPE with its internal subset, where
    // quoted literals, comments and processing instructions may hold ">" and "]").
    std::size_t fineDichiarazione(std::size_t i) const {
        int parentesi = 0;
        for (i += 2; i < m_s.size(); ++i) {
            const unsigned c = u(i);
            if (c == '"' || c == '\'') {
                std::size_t j = i + 1;
                while (j < m_s.size() && u(j) != c)
                    ++j;
                i = j;
            } else if (inizia(i, "<!--")) {
                const auto e = trova(i + 4, "-->");
                if (e == std::basic_string_view<C>::npos)
                    return e;
                i = e + 2;
            } else if (inizia(i, "<?")) {
                const auto e = trova(i + 2, "?>");
                if (e == std::basic_string_view<C>::npos)
                    return e;
                i = e + 1;
            } else if (c == '[') {
                ++parentesi;
            } else if (c == ']') {
                --parentesi;
            } else if (c == '>' && parentesi <= 0) {
                return i + 1;
            }
        }
        return std::basic_string_view<C>::npos;
    }

    // The namespace bound to `prefisso` where the scan stands: the declarations of the open
    // elements are kept as a stack per name, so a lookup costs the same at any depth.
    std::string risolviNs(std::string_view prefisso) const {
        if (prefisso == "xml")
            return std::string(kNsXml);
        const std::string dichiarazione =
            prefisso.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefisso);
        const auto legame = m_ambito.find(dichiarazione);
        return legame == m_ambito.end() || legame->second.empty() ? std::string()
                                                                  : legame->second.back();
    }

    static bool dichiarazione(const Attributo& a) {
        return a.nome == "xmlns" || a.nome.rfind("xmlns:", 0) == 0;
    }

    // An element opened or closed: its declarations come into scope or leave it.
    void apriAmbito(const Elemento& e) {
        for (const auto& a : e.attributi)
            if (dichiarazione(a))
                m_ambito[a.nome].push_back(a.valore);
    }
    void chiudiAmbito(const Elemento& e) {
        for (const auto& a : e.attributi)
            if (dichiarazione(a))
                m_ambito[a.nome].pop_back();
    }

    std::basic_string_view<C> m_s;
    std::map<std::string, std::vector<std::string>> m_ambito;
};

template <typename C> bool Scansione<C>::esegui() {
    constexpr auto npos = std::basic_string_view<C>::npos;
    std::vector<int> aperti;
    std::size_t i = 0;
    const std::size_t n = m_s.size();
    while (i < n) {
        i = m_s.find(C('<'), i);
        if (i == npos)
            break;
        const std::size_t lt = i;
        if (inizia(i, "<!--")) {
            const auto e = trova(i + 4, "-->");
            if (e == npos)
                return sbaglia(lt, "commento non chiuso");
            i = e + 3;
        } else if (inizia(i, "<![CDATA[")) {
            const auto e = trova(i + 9, "]]>");
            if (e == npos)
                return sbaglia(lt, "sezione CDATA non chiusa");
            i = e + 3;
        } else if (inizia(i, "<?")) {
            const auto e = trova(i + 2, "?>");
            if (e == npos)
                return sbaglia(lt, "istruzione di elaborazione non chiusa");
            i = e + 2;
        } else if (inizia(i, "<!")) {
            const auto e = fineDichiarazione(i);
            if (e == npos)
                return sbaglia(lt, "dichiarazione non chiusa");
            i = e;
        } else if (inizia(i, "</")) {
            const std::size_t fn = fineNome(i + 2);
            const std::string nome = utf8(i + 2, fn);
            i = saltaSpazi(fn);
            if (i >= n || u(i) != '>')
                return sbaglia(lt, "tag di chiusura </" + nome + " non terminato");
            if (aperti.empty())
                return sbaglia(lt, "tag di chiusura </" + nome + "> senza apertura");
            Elemento& e = elementi[static_cast<std::size_t>(aperti.back())];
            if (e.nome != nome)
                return sbaglia(lt, "</" + nome + "> chiude <" + e.nome + ">");
            e.fineContenuto = lt;
            e.fine = i + 1;
            chiudiAmbito(e);
            aperti.pop_back();
            ++i;
        } else {
            const std::size_t fn = fineNome(i + 1);
            if (fn == i + 1)
                return sbaglia(lt, "\"<\" fuori da un tag");
            Elemento e;
            e.nome = utf8(i + 1, fn);
            e.inizio = lt;
            e.genitore = aperti.empty() ? -1 : aperti.back();
            i = fn;
            bool vuoto = false;
            for (;;) {
                i = saltaSpazi(i);
                if (i >= n)
                    return sbaglia(lt, "tag <" + e.nome + " non terminato");
                if (u(i) == '>') {
                    ++i;
                    break;
                }
                if (inizia(i, "/>")) {
                    i += 2;
                    vuoto = true;
                    break;
                }
                const std::size_t fa = fineNome(i);
                if (fa == i)
                    return sbaglia(i, "attributo senza nome nel tag <" + e.nome + ">");
                Attributo a;
                a.nome = utf8(i, fa);
                i = saltaSpazi(fa);
                if (i >= n || u(i) != '=')
                    return sbaglia(i, "attributo " + a.nome + " senza valore");
                i = saltaSpazi(i + 1);
                if (i >= n || (u(i) != '"' && u(i) != '\''))
                    return sbaglia(i, "valore dell'attributo " + a.nome + " senza virgolette");
                const unsigned virgolette = u(i);
                std::size_t fv = i + 1;
                while (fv < n && u(fv) != virgolette)
                    ++fv;
                if (fv >= n)
                    return sbaglia(i, "valore dell'attributo " + a.nome + " non chiuso");
                a.valore = RisolviRiferimenti(utf8(i + 1, fv));
                e.attributi.push_back(std::move(a));
                i = fv + 1;
            }
            e.inizioContenuto = e.fineContenuto = i;
            const int indice = static_cast<int>(elementi.size());
            if (e.genitore >= 0)
                elementi[static_cast<std::size_t>(e.genitore)].figli.push_back(indice);
            if (vuoto)
                e.fine = i;
            elementi.push_back(std::move(e));
            // The namespace is known once the element's own declarations are in place.
            Elemento& nuovo = elementi.back();
            apriAmbito(nuovo);
            const auto dp = nuovo.nome.find(':');
            nuovo.ns =
                risolviNs(dp == std::string::npos ? std::string_view()
                                                  : std::string_view(nuovo.nome).substr(0, dp));
            if (vuoto)
                chiudiAmbito(nuovo);
            else
                aperti.push_back(indice);
        }
    }
    if (!aperti.empty())
        return sbaglia(n, "elemento <" + elementi[static_cast<std::size_t>(aperti.back())].nome +
                              "> non chiuso");
    if (elementi.empty())
        return sbaglia(n, "nessun elemento");
    return true;
}

std::vector<IntervalloByte> Sottrai(std::vector<IntervalloByte> da, const IntervalloByte& via) {
    std::vector<IntervalloByte> esito;
    for (const auto& r : da) {
        if (via.fine <= r.inizio || via.inizio >= r.fine) {
            esito.push_back(r);
            continue;
        }
        if (r.inizio < via.inizio)
            esito.push_back({r.inizio, via.inizio});
        if (via.fine < r.fine)
            esito.push_back({via.fine, r.fine});
    }
    return esito;
}

std::string SenzaSpazi(std::string testo) {
    std::erase_if(testo, [](unsigned char c) { return Spazio(c); });
    return testo;
}

// What a signature's references cover, over the elements found by the scanner.
template <typename C> class Analisi {
public:
    Analisi(const Scansione<C>& scansione, std::size_t dimensione, std::size_t primoByte,
            std::size_t larghezza)
        : m_sc(scansione), m_el(scansione.elementi), m_dimensione(dimensione),
          m_primoByte(primoByte), m_larghezza(larghezza) {
        for (std::size_t k = 0; k < m_el.size(); ++k) {
            const Elemento& e = m_el[k];
            if (e.locale() == "Signature" && e.ns == kNsFirma) {
                m_firme.push_back(static_cast<int>(k));
                bool annidata = false;
                for (int g = e.genitore; g >= 0 && !annidata;
                     g = m_el[static_cast<std::size_t>(g)].genitore)
                    annidata = firma(g);
                if (!annidata)
                    m_firmeEsterne.push_back(static_cast<int>(k));
            }
            // An element with two of these attributes holding the same value counts once.
            std::vector<std::string> visti;
            for (const auto& a : e.attributi)
                if ((a.nome == "Id" || a.nome == "ID" || a.nome == "id" || a.nome == "xml:id") &&
                    std::find(visti.begin(), visti.end(), a.valore) == visti.end()) {
                    visti.push_back(a.valore);
                    m_id[a.valore].push_back(static_cast<int>(k));
                }
        }
    }

    PartiFirmate esito() const {
        PartiFirmate parti;
        for (int f : m_firme) {
            const Elemento& e = m_el[static_cast<std::size_t>(f)];
            FirmaNelTesto firmaTesto;
            firmaTesto.elemento = intervallo(e);
            if (const Attributo* id = e.attributo("Id"))
                firmaTesto.id = id->valore;
            if (const Elemento* info = figlio(e, "SignedInfo", kNsFirma))
                for (const Elemento* r : figli(*info, "Reference", kNsFirma))
                    firmaTesto.riferimenti.push_back(riferimento(e, *r));
            parti.firme.push_back(std::move(firmaTesto));
        }
        return parti;
    }

private:
    bool firma(int k) const {
        const Elemento& e = m_el[static_cast<std::size_t>(k)];
        return e.locale() == "Signature" && e.ns == kNsFirma;
    }

    IntervalloByte intervallo(const Elemento& e) const {
        return {m_primoByte + e.inizio * m_larghezza, m_primoByte + e.fine * m_larghezza};
    }

    std::vector<const Elemento*> figli(const Elemento& padre, std::string_view nome,
                                       std::string_view ns) const {
        std::vector<const Elemento*> esito;
        for (int f : padre.figli) {
            const Elemento& e = m_el[static_cast<std::size_t>(f)];
            if (e.locale() == nome && e.ns == ns)
                esito.push_back(&e);
        }
        return esito;
    }

    const Elemento* figlio(const Elemento& padre, std::string_view nome,
                           std::string_view ns) const {
        const auto tutti = figli(padre, nome, ns);
        return tutti.empty() ? nullptr : tutti.front();
    }

    std::string testo(const Elemento& e) const {
        return RisolviRiferimenti(m_sc.utf8(e.inizioContenuto, e.fineContenuto));
    }

    std::string nsDelPrefisso(const Elemento& e, std::string_view prefisso) const {
        const std::string dichiarazione = "xmlns:" + std::string(prefisso);
        for (const Elemento* p = &e; p;
             p = p->genitore >= 0 ? &m_el[static_cast<std::size_t>(p->genitore)] : nullptr)
            if (const Attributo* a = p->attributo(dichiarazione))
                return a->valore;
        return {};
    }

    // The expression names the signatures "P:Signature" with P bound to the XML signature
    // namespace where the expression stands.
    bool nominaLeFirme(const Elemento& dove, std::string_view espressione, std::string_view prima,
                       std::string_view dopo) const {
        if (!espressione.starts_with(prima) || !espressione.ends_with(dopo) ||
            espressione.size() <= prima.size() + dopo.size())
            return false;
        const std::string_view prefisso =
            espressione.substr(prima.size(), espressione.size() - prima.size() - dopo.size());
        if (prefisso.find_first_of(":/()[]*@'\"") != std::string_view::npos)
            return false;
        return nsDelPrefisso(dove, prefisso) == kNsFirma;
    }

    // The transform takes every ds:Signature out, in one of the two ways signing programs
    // write it; any other XPath is beyond this reader.
    bool toglieLeFirme(const Elemento& trasformazione, std::string_view algoritmo) const {
        if (algoritmo == kNsFiltro2) {
            const auto filtri = figli(trasformazione, "XPath", kNsFiltro2);
            if (filtri.size() != 1)
                return false;
            const Attributo* filtro = filtri[0]->attributo("Filter");
            return filtro && filtro->valore == "subtract" &&
                   nominaLeFirme(*filtri[0], SenzaSpazi(testo(*filtri[0])),
                                 "/descendant::", ":Signature");
        }
        const Elemento* xpath = figlio(trasformazione, "XPath", kNsFirma);
        return xpath && nominaLeFirme(*xpath, SenzaSpazi(testo(*xpath)),
                                      "not(ancestor-or-self::", ":Signature)");
    }

    RiferimentoFirmato riferimento(const Elemento& firma, const Elemento& rif) const {
        RiferimentoFirmato r;
        const Attributo* uri = rif.attributo("URI");
        if (!uri) {
            r.senzaUri = true;
            r.motivo = "il riferimento non ha URI: ciò che copre lo stabilisce il programma che "
                       "ha firmato";
            return r;
        }
        r.uri = Utf8Sostituito(uri->valore);
        std::vector<IntervalloByte> coperto;
        const std::string_view u = uri->valore;
        if (u.empty() || u == "#xpointer(/)") {
            coperto.push_back({0, m_dimensione});
        } else if (u.starts_with('#')) {
            std::string id(u.substr(1));
            if (id.starts_with("xpointer(")) {
                const std::string_view interno = std::string_view(id).substr(9);
                if ((interno.starts_with("id('") && interno.ends_with("'))")) ||
                    (interno.starts_with("id(\"") && interno.ends_with("\"))")))
                    id = std::string(interno.substr(4, interno.size() - 7));
                else {
                    r.motivo = "il riferimento " + r.uri +
                               " usa un'espressione XPointer che "
                               "questa vista non interpreta";
                    return r;
                }
            }
            const auto trovati = m_id.find(id);
            if (trovati == m_id.end()) {
                r.motivo = "nessun elemento ha Id \"" + Utf8Sostituito(id) + "\"";
                return r;
            }
            if (trovati->second.size() > 1) {
                r.motivo = std::to_string(trovati->second.size()) + " elementi hanno Id \"" +
                           Utf8Sostituito(id) + "\": non si può dire quale sia firmato";
                return r;
            }
            const Elemento& e = m_el[static_cast<std::size_t>(trovati->second.front())];
            coperto.push_back(intervallo(e));
            for (int f : m_firme) {
                const IntervalloByte s = intervallo(m_el[static_cast<std::size_t>(f)]);
                if (s.inizio <= coperto[0].inizio && coperto[0].fine <= s.fine)
                    r.dentroLaFirma = true;
            }
        } else {
            r.motivo = "il riferimento punta a " + r.uri + ", fuori da questo testo";
            return r;
        }

        if (const Elemento* trasformazioni = figlio(rif, "Transforms", kNsFirma)) {
            for (const Elemento* t : figli(*trasformazioni, "Transform", kNsFirma)) {
                const Attributo* a = t->attributo("Algorithm");
                const std::string algoritmo = a ? a->valore : std::string();
                if (algoritmo == kAvvolta) {
                    coperto = Sottrai(std::move(coperto), intervallo(firma));
                } else if (std::find(std::begin(kCanoniche), std::end(kCanoniche), algoritmo) !=
                           std::end(kCanoniche)) {
                    continue;
                } else if ((algoritmo == kNsFiltro2 || algoritmo == kXPath) &&
                           toglieLeFirme(*t, algoritmo)) {
                    for (int f : m_firmeEsterne)
                        coperto = Sottrai(std::move(coperto),
                                          intervallo(m_el[static_cast<std::size_t>(f)]));
                } else {
                    r.dentroLaFirma = false;
                    r.motivo = "il riferimento " + (r.uri.empty() ? std::string("\"\"") : r.uri) +
                               " passa per la trasformazione " + Utf8Sostituito(algoritmo) +
                               ", che questa vista non interpreta";
                    return r;
                }
            }
        }
        if (coperto.empty()) {
            r.dentroLaFirma = false;
            r.motivo = "tolte le parti che le trasformazioni escludono, non resta nulla";
            return r;
        }
        r.coperto = std::move(coperto);
        return r;
    }

    const Scansione<C>& m_sc;
    const std::vector<Elemento>& m_el;
    std::size_t m_dimensione;
    std::size_t m_primoByte;
    std::size_t m_larghezza;
    std::vector<int> m_firme;
    std::vector<int> m_firmeEsterne;
    std::map<std::string, std::vector<int>, std::less<>> m_id;
};

template <typename C>
PartiFirmate Trova(std::basic_string_view<C> unita, std::size_t dimensione, std::size_t primoByte,
                   std::size_t larghezza) {
    Scansione<C> scansione(unita);
    if (!scansione.esegui()) {
        PartiFirmate parti;
        parti.motivo = "il testo non è XML ben formato (" + scansione.errore + ")";
        return parti;
    }
    return Analisi<C>(scansione, dimensione, primoByte, larghezza).esito();
}

} // namespace

PartiFirmate TrovaPartiFirmate(std::string_view xml) {
    const auto b = [&](std::size_t i) {
        return i < xml.size() ? static_cast<unsigned char>(xml[i]) : 0x100u;
    };
    // UTF-16: a byte order mark, or a text starting with "<" in either order.
    const bool le = (b(0) == 0xFF && b(1) == 0xFE) || (b(0) == '<' && b(1) == 0);
    const bool be = (b(0) == 0xFE && b(1) == 0xFF) || (b(0) == 0 && b(1) == '<');
    if (!le && !be)
        return Trova<char>(xml, xml.size(), 0, 1);
    const std::size_t primo = (b(0) == 0xFF || b(0) == 0xFE) ? 2 : 0;
    std::u16string unita((xml.size() - primo) / 2, u'\0');
    for (std::size_t k = 0; k < unita.size(); ++k) {
        const unsigned alto = b(primo + 2 * k + (le ? 1 : 0));
        const unsigned basso = b(primo + 2 * k + (le ? 0 : 1));
        unita[k] = static_cast<char16_t>((alto << 8) | basso);
    }
    return Trova<char16_t>(unita, xml.size(), primo, 2);
}

} // namespace ondivo
