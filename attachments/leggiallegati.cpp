#include "allegati.h"

#include "elementpath.h"
#include "files.h"
#include "text.h"
#include "xmldocument.h"

#include <cstring>
#include <system_error>

namespace ondivo {

namespace {

bool chiamato(const xmlNode* nodo, const char* nome) {
    return nodo->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(nodo->name), nome) == 0;
}

const xmlNode* primoFiglio(const xmlNode* elemento, const char* nome) {
    for (const xmlNode* figlio = elemento->children; figlio; figlio = figlio->next)
        if (chiamato(figlio, nome))
            return figlio;
    return nullptr;
}

// The text an element stands for, as XPath's string() and so the page see it: every text and
// CDATA section below it, entity references replaced by their text.
void accodaTesto(const xmlNode* nodo, std::string& testo) {
    for (const xmlNode* figlio = nodo->children; figlio; figlio = figlio->next) {
        switch (figlio->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (figlio->content)
                testo += reinterpret_cast<const char*>(figlio->content);
            break;
        case XML_ELEMENT_NODE:
            accodaTesto(figlio, testo);
            break;
        case XML_ENTITY_REF_NODE:
            // The reference's child is the entity, whose children are its parsed text.
            if (figlio->children)
                accodaTesto(figlio->children, testo);
            break;
        default:
            break;
        }
    }
}

std::string testoElemento(const xmlNode* elemento) {
    if (!elemento)
        return {};
    // The usual element holds one text node: trimmed in place, copied once.
    const xmlNode* unico = elemento->children;
    if (unico && !unico->next &&
        (unico->type == XML_TEXT_NODE || unico->type == XML_CDATA_SECTION_NODE))
        return std::string(
            Trim(unico->content ? reinterpret_cast<const char*>(unico->content) : ""));
    std::string testo;
    accodaTesto(elemento, testo);
    return std::string(Trim(testo));
}

// The next node in document order, without recursion: nesting may be deep.
const xmlNode* successivo(const xmlNode* nodo, const xmlNode* radice) {
    if (nodo->type == XML_ELEMENT_NODE && nodo->children)
        return nodo->children;
    while (nodo && nodo != radice && !nodo->next)
        nodo = nodo->parent;
    return nodo && nodo != radice ? nodo->next : nullptr;
}

// The same rule on a streamed reading: each "Allegati" holds a slot from its start tag on, so
// records come in the order of their start tags, as in the tree walk, also when nested.
class RaccoglitoreAllegati : public AscoltatoreXml {
public:
    // `dimensioneFile` bounds how long a text can grow: a large one is given room for it at
    // once, instead of being copied each time its buffer doubles.
    explicit RaccoglitoreAllegati(std::size_t dimensioneFile = 0)
        : m_dimensioneFile(dimensioneFile) {}

    void InizioElemento(std::string_view nome) override {
        ++m_profondita;
        if (m_catturando)
            return;
        if (!m_aperti.empty() && m_aperti.back().profondita + 1 == m_profondita) {
            Aperto& a = m_aperti.back();
            if (nome == "NomeAttachment" && !a.nomeVisto) {
                a.nomeVisto = true;
                catturaIn(&m_trovati[a.posto].NomeFile);
            } else if (nome == "Attachment" && !a.datiVisti) {
                a.datiVisti = true;
                catturaIn(&m_trovati[a.posto].DatiBase64);
            }
        }
        if (!m_catturando && nome == "Allegati") {
            m_aperti.push_back({m_profondita, m_trovati.size()});
            m_trovati.emplace_back();
        }
    }

    void FineElemento() override {
        if (m_catturando && m_profondita == m_profonditaCattura) {
            // Room taken for a large text and left unused goes back.
            if (m_catturando->capacity() > 2 * m_catturando->size() + kTestoGrande)
                m_catturando->shrink_to_fit();
            m_catturando = nullptr;
        } else if (!m_catturando && !m_aperti.empty() && m_aperti.back().profondita == m_profondita)
            m_aperti.pop_back();
        --m_profondita;
    }

    void Testo(std::string_view testo) override {
        if (!m_catturando)
            return;
        if (m_catturando->size() + testo.size() > kTestoGrande &&
            m_catturando->capacity() < m_dimensioneFile)
            m_catturando->reserve(m_dimensioneFile);
        m_catturando->append(testo);
    }

    void Ricomincia() override { *this = RaccoglitoreAllegati(m_dimensioneFile); }

    int Consegna(ListaAllegati& lista) {
        int conteggio = 0;
        for (TAllegatoItem& voce : m_trovati) {
            voce.NomeFile = std::string(Trim(voce.NomeFile));
            if (voce.NomeFile.empty())
                continue;
            const std::string_view dati = Trim(voce.DatiBase64);
            if (dati.empty())
                continue;
            if (dati.size() != voce.DatiBase64.size())
                voce.DatiBase64 = std::string(dati);
            lista.push_back(std::make_unique<TAllegatoItem>(std::move(voce)));
            ++conteggio;
        }
        return conteggio;
    }

private:
    struct Aperto {
        int profondita;
        std::size_t posto; // in m_trovati
        bool nomeVisto = false;
        bool datiVisti = false;
    };

    void catturaIn(std::string* dove) {
        m_catturando = dove;
        m_profonditaCattura = m_profondita;
    }

    static constexpr std::size_t kTestoGrande = std::size_t{1} << 20;

    std::size_t m_dimensioneFile;
    int m_profondita = 0;
    std::vector<Aperto> m_aperti;
    std::vector<TAllegatoItem> m_trovati;
    std::string* m_catturando = nullptr; // the field whose element is open
    int m_profonditaCattura = 0;
};

} // namespace

int LeggiAllegatiDoc(const xmlDoc* fattura, ListaAllegati& lista) {
    const xmlNode* radice = fattura ? xmlDocGetRootElement(fattura) : nullptr;
    int conteggio = 0;
    for (const xmlNode* nodo = radice; nodo; nodo = successivo(nodo, radice)) {
        if (!chiamato(nodo, "Allegati"))
            continue;
        auto allegato = std::make_unique<TAllegatoItem>();
        allegato->NomeFile = testoElemento(primoFiglio(nodo, "NomeAttachment"));
        if (allegato->NomeFile.empty())
            continue;
        allegato->DatiBase64 = testoElemento(primoFiglio(nodo, "Attachment"));
        if (allegato->DatiBase64.empty())
            continue;
        lista.push_back(std::move(allegato));
        ++conteggio;
    }
    return conteggio;
}

int LeggiAllegati(const std::string& file, ListaAllegati& lista) {
    RaccoglitoreAllegati raccoglitore(static_cast<std::size_t>(platform::DimensioneFile(file)));
    try {
        LeggiXmlInSequenza(file, raccoglitore);
    } catch (const XmlLoadError& e) {
        throw OndivoError(MessaggioCaricamento(file, e));
    }
    return raccoglitore.Consegna(lista);
}

} // namespace ondivo
