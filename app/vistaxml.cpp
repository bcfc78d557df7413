#include "vistaxml.h"

#include "ansicodec.h"
#include "campiricerca.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace ondivo {

using Tratto = std::pair<qsizetype, qsizetype>; // [first, second)

// The original text and how the document shows it: the folded runs, each replaced by its
// placeholder, and the line ends, CR LF being one paragraph break in a QTextDocument.
struct TestoMostrato {
    struct Piega {
        qsizetype inizio = 0; // in the original text, white space around the run left out
        qsizetype fine = 0;
        qsizetype crlf = 0;  // CR LF pairs inside
        qsizetype righe = 0; // line ends inside
        QString segnaposto;
        bool chiusa = true;

        qsizetype lunghezzaAperta() const { return fine - inizio - crlf; }
        qsizetype lunghezzaDoc() const { return chiusa ? segnaposto.size() : lunghezzaAperta(); }
    };

    QString originale;
    std::vector<Piega> pieghe;   // ascending, disjoint
    std::vector<qsizetype> crlf; // where the CR of each CR LF stands
    // The same, less one for each CR LF before it: where it stands once they are one character.
    std::vector<qsizetype> crlfUniti;
    qsizetype righe = 1;
    std::vector<Tratto> firma; // signed parts in original positions, ascending and disjoint
    std::vector<Tratto> coperto;

    // Derived from the above whenever a run is folded or expanded.
    std::vector<qsizetype> riduzione;     // [k]: characters the folded runs before run k save
    std::vector<qsizetype> righeNascoste; // [k]: line ends in the folded runs before run k
    std::vector<qsizetype> inizioDoc;     // [k]: document position of run k
    std::vector<Tratto> firmaDoc;         // the signed parts in document positions
    std::vector<Tratto> copertoDoc;

    qsizetype crlfPrima(qsizetype o) const {
        return std::lower_bound(crlf.begin(), crlf.end(), o) - crlf.begin();
    }
    qsizetype fineDoc(std::size_t k) const { return inizioDoc[k] + pieghe[k].lunghezzaDoc(); }

    void ricalcola() {
        const std::size_t n = pieghe.size();
        riduzione.assign(n + 1, 0);
        righeNascoste.assign(n + 1, 0);
        inizioDoc.assign(n, 0);
        for (std::size_t k = 0; k < n; ++k) {
            const Piega& p = pieghe[k];
            riduzione[k + 1] =
                riduzione[k] + (p.chiusa ? p.lunghezzaAperta() - p.segnaposto.size() : 0);
            righeNascoste[k + 1] = righeNascoste[k] + (p.chiusa ? p.righe : 0);
            inizioDoc[k] = p.inizio - crlfPrima(p.inizio) - riduzione[k];
        }
        const auto inDoc = [this](const std::vector<Tratto>& tratti) {
            std::vector<Tratto> esito;
            for (const auto& [a, b] : tratti)
                esito.emplace_back(docDa(a, false), docDa(b, true));
            return esito;
        };
        firmaDoc = inDoc(firma);
        copertoDoc = inDoc(coperto);
    }

    // The document position of original position `o`; inside a folded run, the start of its
    // placeholder, or its end when `fine`.
    qsizetype docDa(qsizetype o, bool fine) const {
        const std::size_t k = std::partition_point(pieghe.begin(), pieghe.end(),
                                                   [o](const Piega& p) { return p.fine <= o; }) -
                              pieghe.begin();
        if (k < pieghe.size() && pieghe[k].chiusa && pieghe[k].inizio < o)
            return inizioDoc[k] + (fine ? pieghe[k].segnaposto.size() : 0);
        return o - crlfPrima(o) - riduzione[k];
    }

    // The original position of document position `d`; inside a placeholder, the start of its
    // run, or its end when `fine`.
    qsizetype originaleDa(qsizetype d, bool fine) const {
        std::size_t k = 0;
        for (std::size_t passo = pieghe.size(); passo > 0;) {
            const std::size_t meta = passo / 2;
            if (fineDoc(k + meta) <= d) {
                k += meta + 1;
                passo -= meta + 1;
            } else {
                passo = meta;
            }
        }
        if (k < pieghe.size() && pieghe[k].chiusa && inizioDoc[k] < d)
            return fine ? pieghe[k].fine : pieghe[k].inizio;
        const qsizetype x = d + riduzione[k];
        return x + (std::lower_bound(crlfUniti.begin(), crlfUniti.end(), x) - crlfUniti.begin());
    }

    // The run whose document range holds `d`, its ends included; -1 when none does.
    int piegaA(qsizetype d) const {
        for (std::size_t k = 0; k < pieghe.size(); ++k)
            if (inizioDoc[k] <= d && d <= fineDoc(k))
                return static_cast<int>(k);
        return -1;
    }

    // Line ends hidden by the folded runs that start before document position `d`.
    qsizetype righeNascostePrima(qsizetype d) const {
        const auto k = std::lower_bound(inizioDoc.begin(), inizioDoc.end(), d) - inizioDoc.begin();
        return righeNascoste[static_cast<std::size_t>(k)];
    }

    QString testoDocumento() const {
        QString testo;
        qsizetype prima = 0;
        for (const Piega& p : pieghe) {
            testo += QStringView(originale).sliced(prima, p.inizio - prima);
            testo += p.chiusa ? QStringView(p.segnaposto)
                              : QStringView(originale).sliced(p.inizio, p.fine - p.inizio);
            prima = p.fine;
        }
        testo += QStringView(originale).sliced(prima);
        return ComeNelDocumento(std::move(testo));
    }

    // A QTextDocument takes the paragraph separator and its frame marks as block breaks: they
    // show as U+FFFD, one for one, so that the blocks stay the original lines.
    static QString ComeNelDocumento(QString testo) {
        for (QChar& c : testo)
            if (c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1)
                c = QChar::ReplacementCharacter;
        return testo;
    }
};

namespace {

// ---- Decoding

enum class Codifica { Utf8, Latin1, Latin9, Windows1252, Utf16Le, Utf16Be };

struct Decodificato {
    QString testo;
    QString nome; // of the encoding, for the note
    bool nonValidi = false;
    QString avviso; // the encoding declared is not one this view reads
};

// The value of the encoding pseudo-attribute of the XML declaration; empty when none.
std::string_view CodificaDichiarata(std::string_view xml) {
    if (!xml.starts_with("<?xml"))
        return {};
    const std::string_view dichiarazione = xml.substr(0, xml.find("?>", 0));
    auto p = dichiarazione.find("encoding");
    if (p == std::string_view::npos)
        return {};
    p = dichiarazione.find_first_not_of(" \t\r\n", p + 8);
    if (p == std::string_view::npos || dichiarazione[p] != '=')
        return {};
    p = dichiarazione.find_first_not_of(" \t\r\n", p + 1);
    if (p == std::string_view::npos || (dichiarazione[p] != '"' && dichiarazione[p] != '\''))
        return {};
    const auto fine = dichiarazione.find(dichiarazione[p], p + 1);
    return fine == std::string_view::npos ? std::string_view()
                                          : dichiarazione.substr(p + 1, fine - p - 1);
}

// UTF-8 with each maximal ill-formed subsequence replaced by one U+FFFD, as browsers do.
// posizioni[k] receives the character index of byte offset offset[k] (ascending).
QString DaUtf8(std::string_view b, std::size_t inizio, const std::vector<std::size_t>& offset,
               std::vector<qsizetype>& posizioni, bool& nonValidi) {
    QString testo(static_cast<qsizetype>(b.size() - inizio), Qt::Uninitialized);
    QChar* const base = testo.data();
    QChar* o = base;
    const auto* s = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t n = b.size();
    std::size_t k = 0;
    std::size_t i = inizio;
    while (i < n) {
        while (k < offset.size() && offset[k] <= i)
            posizioni[k++] = o - base;
        const std::size_t limite = k < offset.size() ? std::min(n, offset[k]) : n;
        while (i < limite && s[i] < 0x80)
            *o++ = QChar(static_cast<char16_t>(s[i++]));
        if (i >= limite)
            continue;
        const unsigned c = s[i];
        unsigned seguono = 0;
        unsigned basso = 0x80;
        unsigned alto = 0xBF;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            seguono = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            seguono = 2;
            cp = c & 0x0F;
            basso = c == 0xE0 ? 0xA0 : 0x80;
            alto = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            seguono = 3;
            cp = c & 0x07;
            basso = c == 0xF0 ? 0x90 : 0x80;
            alto = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            *o++ = QChar::ReplacementCharacter;
            nonValidi = true;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool buono = true;
        for (unsigned t = 0; t < seguono; ++t, ++j) {
            if (j >= n || s[j] < basso || s[j] > alto) {
                buono = false;
                break;
            }
            cp = (cp << 6) | (s[j] & 0x3F);
            basso = 0x80;
            alto = 0xBF;
        }
        i = j;
        if (!buono) {
            *o++ = QChar::ReplacementCharacter;
            nonValidi = true;
        } else if (cp >= 0x10000) {
            *o++ = QChar::highSurrogate(cp);
            *o++ = QChar::lowSurrogate(cp);
        } else {
            *o++ = QChar(static_cast<char16_t>(cp));
        }
    }
    while (k < offset.size())
        posizioni[k++] = o - base;
    testo.truncate(o - base);
    return testo;
}

QString DaUtf16(std::string_view b, std::size_t inizio, bool le, bool& nonValidi) {
    const auto* s = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t unita = (b.size() - inizio) / 2;
    QString testo(static_cast<qsizetype>(unita), Qt::Uninitialized);
    QChar* o = testo.data();
    for (std::size_t k = 0; k < unita; ++k) {
        const std::size_t p = inizio + 2 * k;
        o[k] = QChar(static_cast<char16_t>(le ? s[p] | (s[p + 1] << 8) : (s[p] << 8) | s[p + 1]));
    }
    // Unpaired surrogates would show as nothing at all.
    for (qsizetype k = 0; k < testo.size(); ++k) {
        if (o[k].isHighSurrogate() && k + 1 < testo.size() && o[k + 1].isLowSurrogate()) {
            ++k;
        } else if (o[k].isSurrogate()) {
            o[k] = QChar::ReplacementCharacter;
            nonValidi = true;
        }
    }
    if ((b.size() - inizio) % 2 != 0) {
        testo += QChar::ReplacementCharacter;
        nonValidi = true;
    }
    return testo;
}

Decodificato Decodifica(std::string_view b, const std::vector<std::size_t>& offset,
                        std::vector<qsizetype>& posizioni) {
    posizioni.assign(offset.size(), 0);
    const auto byte = [&](std::size_t i) {
        return i < b.size() ? static_cast<unsigned char>(b[i]) : 0x100u;
    };
    Decodificato d;
    Codifica codifica = Codifica::Utf8;
    std::size_t inizio = 0;
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        inizio = 3;
    } else if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == '<' && byte(1) == 0)) {
        codifica = Codifica::Utf16Le;
        inizio = byte(0) == 0xFF ? 2 : 0;
    } else if ((byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0 && byte(1) == '<')) {
        codifica = Codifica::Utf16Be;
        inizio = byte(0) == 0xFE ? 2 : 0;
    } else if (const std::string_view dichiarata = CodificaDichiarata(b); !dichiarata.empty()) {
        const QString nome = QString::fromLatin1(dichiarata).toLower();
        if (nome == u"utf-8" || nome == u"utf8" || nome == u"us-ascii" || nome == u"ascii") {
            codifica = Codifica::Utf8;
        } else if (nome == u"iso-8859-1" || nome == u"iso_8859-1" || nome == u"iso8859-1" ||
                   nome == u"latin1" || nome == u"latin-1" || nome == u"l1") {
            codifica = Codifica::Latin1;
        } else if (nome == u"iso-8859-15" || nome == u"iso_8859-15" || nome == u"latin-9" ||
                   nome == u"latin9") {
            codifica = Codifica::Latin9;
        } else if (nome == u"windows-1252" || nome == u"cp1252") {
            codifica = Codifica::Windows1252;
        } else {
            d.avviso = QStringLiteral("La codifica dichiarata (%1) non è tra quelle che questa "
                                      "vista legge: il testo è mostrato come UTF-8.")
                           .arg(QString::fromLatin1(dichiarata));
        }
    }

    switch (codifica) {
    case Codifica::Utf8:
        d.nome = QStringLiteral("UTF-8");
        d.testo = DaUtf8(b, inizio, offset, posizioni, d.nonValidi);
        return d;
    case Codifica::Utf16Le:
    case Codifica::Utf16Be:
        d.nome = QStringLiteral("UTF-16");
        d.testo = DaUtf16(b, inizio, codifica == Codifica::Utf16Le, d.nonValidi);
        for (std::size_t k = 0; k < offset.size(); ++k)
            posizioni[k] = offset[k] <= inizio ? 0 : static_cast<qsizetype>(offset[k] - inizio) / 2;
        return d;
    case Codifica::Latin1:
    case Codifica::Latin9:
    case Codifica::Windows1252:
        break;
    }
    // One byte, one character.
    d.testo = QString::fromLatin1(b.data(), static_cast<qsizetype>(b.size()));
    for (std::size_t k = 0; k < offset.size(); ++k)
        posizioni[k] = static_cast<qsizetype>(offset[k]);
    if (codifica == Codifica::Latin1) {
        d.nome = QStringLiteral("ISO-8859-1");
    } else if (codifica == Codifica::Latin9) {
        d.nome = QStringLiteral("ISO-8859-15");
        static constexpr std::array<std::pair<char16_t, char16_t>, 8> diversi = {{{0xA4, 0x20AC},
                                                                                  {0xA6, 0x160},
                                                                                  {0xA8, 0x161},
                                                                                  {0xB4, 0x17D},
                                                                                  {0xB8, 0x17E},
                                                                                  {0xBC, 0x152},
                                                                                  {0xBD, 0x153},
                                                                                  {0xBE, 0x178}}};
        for (QChar& c : d.testo)
            for (const auto& [da, a] : diversi)
                if (c.unicode() == da)
                    c = QChar(a);
    } else {
        d.nome = QStringLiteral("windows-1252");
        for (QChar& c : d.testo)
            if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
                c = QChar(
                    static_cast<char16_t>(AnsiCodePoint(static_cast<unsigned char>(c.unicode()))));
    }
    return d;
}

// ---- Folding

bool SpazioXml(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// What a character is to a Base64 run: 1 one of its characters, 2 white space, 0 neither. A
// table, since a run can be a hundred million characters long.
constexpr unsigned char Estraneo = 0;
constexpr unsigned char DiBase64 = 1;
constexpr unsigned char Spazio = 2;
constexpr std::array<unsigned char, 128> kBase64 = [] {
    std::array<unsigned char, 128> t{};
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = t[c + 'a' - 'A'] = DiBase64;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = DiBase64;
    t['+'] = t['/'] = t['='] = DiBase64;
    t[' '] = t['\t'] = t['\r'] = t['\n'] = Spazio;
    return t;
}();

QString Migliaia(qsizetype n) {
    QString cifre = QString::number(n);
    for (qsizetype p = cifre.size() - 3; p > 0; p -= 3)
        cifre.insert(p, QChar::Nbsp);
    return cifre;
}

// The text node s[da, a) as a run to fold: long, Base64 characters and white space only, and
// no word shorter than a Base64 line but the last (a long description of plain words is no
// attachment).
std::optional<TestoMostrato::Piega> Candidata(QStringView s, qsizetype da, qsizetype a) {
    while (da < a && SpazioXml(s[da].unicode()))
        ++da;
    while (a > da && SpazioXml(s[a - 1].unicode()))
        --a;
    if (a - da <= VistaXml::SogliaPiega)
        return std::nullopt;
    TestoMostrato::Piega p;
    p.inizio = da;
    p.fine = a;
    qsizetype parola = 0;
    const char16_t* testo = s.utf16();
    for (qsizetype i = da; i < a; ++i) {
        const char16_t c = testo[i];
        const unsigned char tipo = c < 128 ? kBase64[c] : Estraneo;
        if (tipo == DiBase64) {
            ++parola;
            continue;
        }
        if (tipo == Estraneo)
            return std::nullopt;
        if (parola > 0 && parola < 16)
            return std::nullopt;
        parola = 0;
        if (c == '\n') {
            ++p.righe;
        } else if (c == '\r') {
            ++p.righe;
            if (i + 1 < a && testo[i + 1] == u'\n') {
                ++p.crlf;
                ++i;
            }
        }
    }
    const QString quanti = Migliaia(a - da);
    p.segnaposto =
        a - da > VistaXml::LimiteEspansione
            ? QStringLiteral("[Base64: %1 caratteri — troppo lungo da mostrare]").arg(quanti)
            : QStringLiteral("[Base64: %1 caratteri — doppio clic per espandere]").arg(quanti);
    return p;
}

// The runs to fold: text nodes only, markup skipped as XML does (comments, CDATA, processing
// instructions, declarations, quoted attribute values). Stops at markup left open.
std::vector<TestoMostrato::Piega> TrovaPieghe(QStringView s) {
    std::vector<TestoMostrato::Piega> pieghe;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype lt = s.indexOf(u'<', i);
        if (lt < 0)
            lt = n;
        if (lt - i > VistaXml::SogliaPiega)
            if (auto p = Candidata(s, i, lt))
                pieghe.push_back(std::move(*p));
        if (lt >= n)
            break;
        const QStringView resto = s.sliced(lt);
        qsizetype fine = -1;
        if (resto.startsWith(u"<!--")) {
            fine = s.indexOf(u"-->", lt + 4);
            fine = fine < 0 ? -1 : fine + 3;
        } else if (resto.startsWith(u"<![CDATA[")) {
            fine = s.indexOf(u"]]>", lt + 9);
            fine = fine < 0 ? -1 : fine + 3;
        } else if (resto.startsWith(u"<?")) {
            fine = s.indexOf(u"?>", lt + 2);
            fine = fine < 0 ? -1 : fine + 2;
        } else {
            // A tag, or a declaration with its internal subset in brackets.
            int parentesi = 0;
            for (qsizetype j = lt + 1; j < n && fine < 0; ++j) {
                const char16_t c = s[j].unicode();
                if (c == '"' || c == '\'') {
                    const qsizetype chiusa = s.indexOf(QChar(c), j + 1);
                    if (chiusa < 0)
                        break;
                    j = chiusa;
                } else if (c == '[') {
                    ++parentesi;
                } else if (c == ']') {
                    --parentesi;
                } else if (c == '>' && parentesi <= 0) {
                    fine = j + 1;
                }
            }
        }
        if (fine < 0)
            break;
        i = fine;
    }
    return pieghe;
}

// Sorted and merged.
std::vector<Tratto> Unisci(std::vector<Tratto> tratti) {
    std::sort(tratti.begin(), tratti.end());
    std::vector<Tratto> esito;
    for (const auto& t : tratti) {
        if (t.second <= t.first)
            continue;
        if (!esito.empty() && t.first <= esito.back().second)
            esito.back().second = std::max(esito.back().second, t.second);
        else
            esito.push_back(t);
    }
    return esito;
}

std::vector<Tratto> Togli(const std::vector<Tratto>& da, const std::vector<Tratto>& via) {
    std::vector<Tratto> esito;
    for (Tratto t : da) {
        for (const auto& v : via) {
            if (v.second <= t.first || v.first >= t.second)
                continue;
            if (t.first < v.first)
                esito.emplace_back(t.first, v.first);
            t.first = std::max(t.first, v.second);
        }
        if (t.first < t.second)
            esito.push_back(t);
    }
    return esito;
}

// ---- Colours

class ColoriXml : public QSyntaxHighlighter {
public:
    ColoriXml(QTextDocument* documento, const TestoMostrato& mostrato)
        : QSyntaxHighlighter(documento), m_mostrato(mostrato) {
        const auto colore = [this](Tipo t, const char* nome) {
            m_formati[t].setForeground(QColor(QLatin1String(nome)));
        };
        colore(Punteggiatura, "#4d4d4d");
        colore(NomeElemento, "#0b4fa6");
        colore(NomeAttributo, "#7a3e9d");
        colore(Valore, "#a3330e");
        colore(Commento, "#6a737d");
        m_formati[Commento].setFontItalic(true);
        colore(CData, "#6b5300");
        colore(Istruzione, "#0f7272");
        colore(Entita, "#b3006b");
        m_formati[Entita].setFontWeight(QFont::Bold);
    }

protected:
    void highlightBlock(const QString& testo) override;

private:
    enum Tipo {
        Semplice,
        Punteggiatura,
        NomeElemento,
        NomeAttributo,
        Valore,
        Commento,
        CData,
        Istruzione,
        Entita,
        NumeroTipi
    };
    // Where a block ends, kept as the block state.
    enum Stato {
        InTesto,
        InCommento,
        InCData,
        InIstruzione,
        InDichiarazione,
        InSottoinsieme,
        InTag,
        InValoreDoppio,
        InValoreSingolo
    };
    struct Parte {
        int inizio;
        int fine;
        Tipo tipo;
    };

    void applica(const std::vector<Parte>& parti, int lunghezza);

    const TestoMostrato& m_mostrato;
    std::array<QTextCharFormat, NumeroTipi> m_formati;
};

bool FineNome(QChar c) {
    const char16_t u = c.unicode();
    return SpazioXml(u) || u == '=' || u == '>' || u == '/' || u == '"' || u == '\'' || u == '<';
}

// The length of the entity or character reference at `i`, 0 when there is none.
int Riferimento(const QString& testo, int i) {
    for (int j = i + 1; j < testo.size() && j - i <= 40; ++j) {
        const QChar c = testo[j];
        if (c == u';')
            return j > i + 1 ? j - i + 1 : 0;
        if (!c.isLetterOrNumber() && c != u'#' && c != u'_' && c != u'-' && c != u'.' && c != u':')
            return 0;
    }
    return 0;
}

void ColoriXml::highlightBlock(const QString& testo) {
    int stato = previousBlockState() < 0 ? InTesto : previousBlockState();
    std::vector<Parte> parti;
    const int n = static_cast<int>(testo.size());
    const auto aggiungi = [&parti](int da, int a, Tipo tipo) {
        if (a > da)
            parti.push_back({da, a, tipo});
    };
    // Up to the end of `chiusura` (then `dopo`), or to the end of the block.
    const auto finoA = [&](int& i, QLatin1String chiusura, Tipo tipo, int dopo) {
        const int e = static_cast<int>(testo.indexOf(chiusura, i));
        const int fine = e < 0 ? n : e + static_cast<int>(chiusura.size());
        aggiungi(i, fine, tipo);
        i = fine;
        if (e >= 0)
            stato = dopo;
    };
    const auto nome = [&](int& i, Tipo tipo) {
        int j = i;
        while (j < n && !FineNome(testo[j]))
            ++j;
        aggiungi(i, j, tipo);
        i = j;
    };
    int i = 0;
    while (i < n) {
        switch (stato) {
        case InCommento:
            finoA(i, QLatin1String("-->"), Commento, InTesto);
            break;
        case InCData:
            finoA(i, QLatin1String("]]>"), CData, InTesto);
            break;
        case InIstruzione:
            finoA(i, QLatin1String("?>"), Istruzione, InTesto);
            break;
        case InSottoinsieme:
            finoA(i, QLatin1String("]"), Istruzione, InDichiarazione);
            break;
        case InDichiarazione: {
            int j = i;
            while (j < n && testo[j] != u'>' && testo[j] != u'[')
                ++j;
            if (j < n)
                stato = testo[j] == u'>' ? InTesto : InSottoinsieme;
            aggiungi(i, std::min(j + 1, n), Istruzione);
            i = j + 1;
            break;
        }
        case InTag: {
            const QChar c = testo[i];
            if (SpazioXml(c.unicode())) {
                ++i;
            } else if (c == u'>') {
                aggiungi(i, i + 1, Punteggiatura);
                ++i;
                stato = InTesto;
            } else if (c == u'/' || c == u'=' || c == u'?') {
                aggiungi(i, i + 1, Punteggiatura);
                ++i;
            } else if (c == u'"' || c == u'\'') {
                aggiungi(i, i + 1, Valore);
                ++i;
                stato = c == u'"' ? InValoreDoppio : InValoreSingolo;
            } else if (c == u'<') {
                stato = InTesto;
            } else {
                nome(i, NomeAttributo);
            }
            break;
        }
        case InValoreDoppio:
        case InValoreSingolo: {
            const QChar virgolette = stato == InValoreDoppio ? u'"' : u'\'';
            int j = i;
            while (j < n && testo[j] != virgolette && testo[j] != u'&')
                ++j;
            aggiungi(i, j, Valore);
            if (j < n && testo[j] == u'&') {
                const int r = Riferimento(testo, j);
                aggiungi(j, j + std::max(r, 1), r > 0 ? Entita : Valore);
                i = j + std::max(r, 1);
            } else if (j < n) {
                aggiungi(j, j + 1, Valore);
                i = j + 1;
                stato = InTag;
            } else {
                i = n;
            }
            break;
        }
        default: {
            int j = i;
            while (j < n && testo[j] != u'<' && testo[j] != u'&')
                ++j;
            aggiungi(i, j, Semplice);
            i = j;
            if (j >= n)
                break;
            const QStringView resto = QStringView(testo).sliced(j);
            if (testo[j] == u'&') {
                const int r = Riferimento(testo, j);
                aggiungi(j, j + std::max(r, 1), r > 0 ? Entita : Semplice);
                i = j + std::max(r, 1);
            } else if (resto.startsWith(u"<!--")) {
                aggiungi(j, j + 4, Commento);
                i = j + 4;
                stato = InCommento;
            } else if (resto.startsWith(u"<![CDATA[")) {
                aggiungi(j, j + 9, CData);
                i = j + 9;
                stato = InCData;
            } else if (resto.startsWith(u"<?")) {
                aggiungi(j, j + 2, Istruzione);
                i = j + 2;
                stato = InIstruzione;
            } else if (resto.startsWith(u"<!")) {
                aggiungi(j, j + 2, Istruzione);
                i = j + 2;
                stato = InDichiarazione;
            } else {
                const int segno = resto.startsWith(u"</") ? 2 : 1;
                aggiungi(j, j + segno, Punteggiatura);
                i = j + segno;
                nome(i, NomeElemento);
                stato = InTag;
            }
            break;
        }
        }
    }
    setCurrentBlockState(stato);
    applica(parti, n);
}

// The syntax formats with the tints of the signed parts under them and the look of the
// placeholders over them.
void ColoriXml::applica(const std::vector<Parte>& parti, int lunghezza) {
    const qsizetype blocco = currentBlock().position();
    struct Fascia {
        int inizio;
        int fine;
        int tipo; // 0 placeholder, 1 signature, 2 covered
    };
    std::vector<Fascia> fasce;
    const auto raccogli = [&](const std::vector<Tratto>& tratti, int tipo) {
        for (const auto& [a, b] : tratti)
            if (b > blocco && a < blocco + lunghezza)
                fasce.push_back({static_cast<int>(std::max<qsizetype>(a - blocco, 0)),
                                 static_cast<int>(std::min<qsizetype>(b - blocco, lunghezza)),
                                 tipo});
    };
    for (std::size_t k = 0; k < m_mostrato.pieghe.size(); ++k)
        if (m_mostrato.pieghe[k].chiusa)
            raccogli({{m_mostrato.inizioDoc[k], m_mostrato.fineDoc(k)}}, 0);
    raccogli(m_mostrato.firmaDoc, 1);
    raccogli(m_mostrato.copertoDoc, 2);

    std::vector<int> tagli;
    for (const Fascia& f : fasce) {
        tagli.push_back(f.inizio);
        tagli.push_back(f.fine);
    }
    std::sort(tagli.begin(), tagli.end());

    static const QColor tintaFirma(0xe4, 0xe4, 0xe4);
    static const QColor tintaCoperto(0xdc, 0xf0, 0xd6);
    static const QColor fondoSegnaposto(0xe3, 0xeb, 0xf7);
    for (const Parte& parte : parti) {
        int da = parte.inizio;
        while (da < parte.fine) {
            const auto taglio = std::upper_bound(tagli.begin(), tagli.end(), da);
            const int a = taglio == tagli.end() ? parte.fine : std::min(*taglio, parte.fine);
            bool segnaposto = false;
            int tinta = 0;
            for (const Fascia& f : fasce) {
                if (f.inizio > da || f.fine <= da)
                    continue;
                if (f.tipo == 0)
                    segnaposto = true;
                else if (tinta == 0 || f.tipo < tinta)
                    tinta = f.tipo;
            }
            if (parte.tipo != Semplice || segnaposto || tinta != 0) {
                QTextCharFormat formato = m_formati[parte.tipo];
                if (segnaposto) {
                    formato.setForeground(QColor(0x1d, 0x4f, 0x86));
                    formato.setFontItalic(true);
                    formato.setUnderlineStyle(QTextCharFormat::DotLine);
                    formato.setBackground(fondoSegnaposto);
                }
                if (tinta != 0)
                    formato.setBackground(tinta == 1 ? tintaFirma : tintaCoperto);
                setFormat(da, a - da, formato);
            }
            da = a;
        }
    }
}

class MargineRighe : public QWidget {
public:
    MargineRighe(AreaXml* area);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* evento) override;

private:
    AreaXml* m_area;
};

} // namespace

// ---- The text area

class AreaXml : public QPlainTextEdit {
public:
    AreaXml(const TestoMostrato& mostrato, VistaXml* vista)
        : QPlainTextEdit(vista), m_mostrato(mostrato), m_vista(vista) {
        setObjectName(QStringLiteral("testoXml"));
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setUndoRedoEnabled(false);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        // The platform's fixed font, where it names one that is really fixed (not so on every
        // platform plugin), else the font configuration's "monospace".
        QFont carattere = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (!QFontInfo(carattere).fixedPitch()) {
            carattere.setFamily(QStringLiteral("monospace"));
            carattere.setStyleHint(QFont::TypeWriter);
        }
        setFont(carattere);
        setTabStopDistance(4 * fontMetrics().horizontalAdvance(u' '));
        m_margine = new MargineRighe(this);
        connect(this, &QPlainTextEdit::blockCountChanged, this, &AreaXml::aggiornaLarghezza);
        connect(this, &QPlainTextEdit::updateRequest, this, &AreaXml::aggiornaMargine);
        aggiornaLarghezza();
    }

    int larghezzaMargine() const {
        const int cifre = static_cast<int>(QString::number(m_mostrato.righe).size());
        return 14 + fontMetrics().horizontalAdvance(u'9') * std::max(cifre, 3);
    }

    void aggiornaLarghezza() { setViewportMargins(larghezzaMargine(), 0, 0, 0); }

    void disegnaMargine(QPaintEvent* evento) {
        QPainter pittore(m_margine);
        pittore.fillRect(evento->rect(), QColor(0xf3, 0xf3, 0xf3));
        pittore.setPen(QColor(0x8a, 0x8a, 0x8a));
        pittore.setFont(font());
        QTextBlock blocco = firstVisibleBlock();
        int alto = qRound(blockBoundingGeometry(blocco).translated(contentOffset()).top());
        int basso = alto + qRound(blockBoundingRect(blocco).height());
        while (blocco.isValid() && alto <= evento->rect().bottom()) {
            if (blocco.isVisible() && basso >= evento->rect().top()) {
                const qsizetype riga = m_vista->rigaOriginale(blocco.blockNumber());
                pittore.drawText(0, alto, m_margine->width() - 7, fontMetrics().height(),
                                 Qt::AlignRight, QString::number(riga));
            }
            blocco = blocco.next();
            alto = basso;
            basso = alto + qRound(blockBoundingRect(blocco).height());
        }
    }

protected:
    void resizeEvent(QResizeEvent* evento) override {
        QPlainTextEdit::resizeEvent(evento);
        const QRect r = contentsRect();
        m_margine->setGeometry(QRect(r.left(), r.top(), larghezzaMargine(), r.height()));
    }

    // What is copied is the original text, folded runs in full.
    QMimeData* createMimeDataFromSelection() const override {
        const QTextCursor cursore = textCursor();
        auto* dati = new QMimeData;
        dati->setText(m_vista->testoOriginale(cursore.selectionStart(), cursore.selectionEnd()));
        return dati;
    }

    bool canInsertFromMimeData(const QMimeData*) const override { return false; }

    void mouseDoubleClickEvent(QMouseEvent* evento) override {
        if (evento->button() == Qt::LeftButton &&
            m_vista->commutaPiega(cursorForPosition(evento->position().toPoint()).position())) {
            evento->accept();
            return;
        }
        QPlainTextEdit::mouseDoubleClickEvent(evento);
    }

    void keyPressEvent(QKeyEvent* evento) override {
        if ((evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) &&
            evento->modifiers() == Qt::NoModifier &&
            m_vista->commutaPiega(textCursor().position())) {
            evento->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(evento);
    }

    void contextMenuEvent(QContextMenuEvent* evento) override {
        QMenu menu(this);
        QAction* copia = menu.addAction(QStringLiteral("Copia"), this, &QPlainTextEdit::copy);
        copia->setShortcut(QKeySequence::Copy);
        copia->setEnabled(textCursor().hasSelection());
        menu.addAction(QStringLiteral("Seleziona tutto"), this, &QPlainTextEdit::selectAll)
            ->setShortcut(QKeySequence::SelectAll);
        const int posizione = cursorForPosition(evento->pos()).position();
        const int piega = m_mostrato.piegaA(posizione);
        if (piega >= 0) {
            menu.addSeparator();
            menu.addAction(m_mostrato.pieghe[static_cast<std::size_t>(piega)].chiusa
                               ? QStringLiteral("Espandi il Base64")
                               : QStringLiteral("Ripiega il Base64"),
                           this, [this, posizione] { m_vista->commutaPiega(posizione); });
        }
        menu.addSeparator();
        menu.addAction(QStringLiteral("Trova…"), this, [this] { m_vista->apriRicerca(); })
            ->setShortcut(QKeySequence::Find);
        menu.exec(evento->globalPos());
    }

private:
    void aggiornaMargine(const QRect& rettangolo, int dy) {
        if (dy != 0)
            m_margine->scroll(0, dy);
        else
            m_margine->update(0, rettangolo.y(), m_margine->width(), rettangolo.height());
        if (rettangolo.contains(viewport()->rect()))
            aggiornaLarghezza();
    }

    const TestoMostrato& m_mostrato;
    VistaXml* m_vista;
    QWidget* m_margine;
};

namespace {

MargineRighe::MargineRighe(AreaXml* area) : QWidget(area), m_area(area) {}

QSize MargineRighe::sizeHint() const {
    return QSize(m_area->larghezzaMargine(), 0);
}

void MargineRighe::paintEvent(QPaintEvent* evento) {
    m_area->disegnaMargine(evento);
}

} // namespace

// ---- The view

VistaXml::VistaXml(QWidget* genitore)
    : QWidget(genitore), m_mostrato(std::make_unique<TestoMostrato>()) {
    setObjectName(QStringLiteral("vistaXml"));
    m_mostrato->ricalcola();

    m_nota = new QLabel(this);
    m_nota->setObjectName(QStringLiteral("notaXml"));
    m_nota->setTextFormat(Qt::PlainText);
    m_nota->setWordWrap(true);
    m_nota->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_nota->setStyleSheet(QStringLiteral("QLabel { background: #fff8dc; color: #333333; border: "
                                         "1px solid #e6d9a8; padding: 4px; }"));
    m_nota->setVisible(false);

    m_area = new AreaXml(*m_mostrato, this);
    new ColoriXml(m_area->document(), *m_mostrato);

    m_barra = new CampiRicerca(this);
    m_barra->setObjectName(QStringLiteral("barraTrovaXml"));
    m_barra->nota()->setText(QStringLiteral("Le parti Base64 ripiegate non sono cercate."));
    m_barra->setVisible(false);

    auto* colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(0, 0, 0, 0);
    colonna->setSpacing(0);
    colonna->addWidget(m_nota);
    colonna->addWidget(m_area, 1);
    colonna->addWidget(m_barra);

    connect(m_barra, &CampiRicerca::testoCambiato, this, [this] { cerca(true); });
    connect(m_barra, &CampiRicerca::precedenteRichiesto, this, &VistaXml::precedente);
    connect(m_barra, &CampiRicerca::successivoRichiesto, this, &VistaXml::successivo);
    connect(m_barra, &CampiRicerca::chiusuraRichiesta, this, &VistaXml::chiudiRicerca);
    m_barra->campo()->installEventFilter(this);
    const auto scorciatoia = [this](const QKeySequence& tasti, void (VistaXml::*azione)()) {
        new QShortcut(tasti, this, this, azione, Qt::WidgetWithChildrenShortcut);
    };
    scorciatoia(QKeySequence::Find, &VistaXml::apriRicerca);
    scorciatoia(QKeySequence(Qt::Key_F3), &VistaXml::successivo);
    scorciatoia(QKeySequence(Qt::SHIFT | Qt::Key_F3), &VistaXml::precedente);
}

VistaXml::~VistaXml() = default;

void VistaXml::mostra(std::string_view xml, const PartiFirmate& partiFirmate,
                      const QString& notaBusta) {
    const PartiFirmate nessuna;
    const PartiFirmate& parti = notaBusta.isEmpty() ? partiFirmate : nessuna;
    // The byte offsets of the signed parts, to be found among the characters as they decode.
    std::vector<std::size_t> offset;
    for (const FirmaNelTesto& f : parti.firme) {
        offset.push_back(f.elemento.inizio);
        offset.push_back(f.elemento.fine);
        for (const RiferimentoFirmato& r : f.riferimenti)
            for (const IntervalloByte& i : r.coperto) {
                offset.push_back(i.inizio);
                offset.push_back(i.fine);
            }
    }
    std::sort(offset.begin(), offset.end());
    offset.erase(std::unique(offset.begin(), offset.end()), offset.end());
    std::vector<qsizetype> posizioni;
    Decodificato decodificato = Decodifica(xml, offset, posizioni);
    const auto posizione = [&](std::size_t byte) {
        return posizioni[static_cast<std::size_t>(
            std::lower_bound(offset.begin(), offset.end(), byte) - offset.begin())];
    };

    TestoMostrato m;
    m.originale = std::move(decodificato.testo);
    const QStringView testo(m.originale);
    m.pieghe = TrovaPieghe(testo);
    for (qsizetype p = testo.indexOf(u'\r'); p >= 0; p = testo.indexOf(u'\r', p + 1))
        if (p + 1 < testo.size() && testo[p + 1] == u'\n') {
            m.crlfUniti.push_back(p - static_cast<qsizetype>(m.crlf.size()));
            m.crlf.push_back(p);
        }
    // Line ends counted outside the runs, which know their own.
    m.righe = 1 - static_cast<qsizetype>(m.crlf.size());
    qsizetype prima = 0;
    for (const TestoMostrato::Piega& p : m.pieghe) {
        const QStringView fuori = testo.sliced(prima, p.inizio - prima);
        m.righe += fuori.count(u'\n') + fuori.count(u'\r') + p.righe + p.crlf;
        prima = p.fine;
    }
    m.righe += testo.sliced(prima).count(u'\n') + testo.sliced(prima).count(u'\r');

    std::vector<Tratto> firma;
    std::vector<Tratto> coperto;
    for (const FirmaNelTesto& f : parti.firme) {
        firma.emplace_back(posizione(f.elemento.inizio), posizione(f.elemento.fine));
        for (const RiferimentoFirmato& r : f.riferimenti)
            for (const IntervalloByte& i : r.coperto)
                (r.dentroLaFirma ? firma : coperto)
                    .emplace_back(posizione(i.inizio), posizione(i.fine));
    }
    m.firma = Unisci(std::move(firma));
    m.coperto = Togli(Unisci(std::move(coperto)), m.firma);
    m.ricalcola();

    // The area and its colours keep a reference to the shown text: it is replaced in place.
    *m_mostrato = std::move(m);
    m_area->setPlainText(m_mostrato->testoDocumento());
    m_area->aggiornaLarghezza();

    m_notaCodifica.clear();
    if (!decodificato.avviso.isEmpty())
        m_notaCodifica = decodificato.avviso;
    if (decodificato.nonValidi) {
        if (!m_notaCodifica.isEmpty())
            m_notaCodifica += u'\n';
        m_notaCodifica += QStringLiteral("Il file contiene byte non validi per la codifica "
                                         "dichiarata (%1): sono mostrati come \uFFFD.")
                              .arg(decodificato.nome);
    }
    m_notaFirme.clear();
    if (!notaBusta.isEmpty()) {
        m_notaFirme = notaBusta;
    } else if (!parti.motivo.empty()) {
        QString motivo = QString::fromStdString(parti.motivo);
        motivo[0] = motivo[0].toUpper();
        m_notaFirme = motivo + QStringLiteral(": le firme, se ci sono, non vengono indicate.");
    } else if (!parti.firme.empty()) {
        m_notaFirme =
            parti.firme.size() == 1
                ? QStringLiteral("In verde la parte che la firma dichiara di coprire, in grigio "
                                 "la firma stessa: è ciò che la firma indica, non una verifica "
                                 "della sua validità.")
                : QStringLiteral("In verde le parti che le firme dichiarano di coprire, in "
                                 "grigio le firme stesse: è ciò che le firme indicano, non una "
                                 "verifica della loro validità.");
        for (std::size_t k = 0; k < parti.firme.size(); ++k)
            for (const RiferimentoFirmato& r : parti.firme[k].riferimenti)
                if (!r.motivo.empty())
                    m_notaFirme += QStringLiteral("\nFirma %1: %2.")
                                       .arg(parti.firme[k].id.empty()
                                                ? QString::number(k + 1)
                                                : QString::fromStdString(parti.firme[k].id),
                                            QString::fromStdString(r.motivo));
    }
    m_avviso.clear();
    aggiornaNota();
    if (ricercaAperta())
        cerca(true);
}

QString VistaXml::testoOriginale(int inizio, int fine) const {
    if (fine <= inizio)
        return {};
    const qsizetype a = m_mostrato->originaleDa(inizio, false);
    const qsizetype b = m_mostrato->originaleDa(fine, true);
    return m_mostrato->originale.sliced(a, b - a);
}

QString VistaXml::testoOriginale() const {
    return m_mostrato->originale;
}

bool VistaXml::commutaPiega(int posizione) {
    const int k = m_mostrato->piegaA(posizione);
    if (k < 0)
        return false;
    TestoMostrato::Piega& piega = m_mostrato->pieghe[static_cast<std::size_t>(k)];
    if (piega.chiusa && piega.fine - piega.inizio > LimiteEspansione) {
        m_avviso = QStringLiteral("Il Base64 di %1 caratteri è troppo lungo per essere mostrato "
                                  "qui; un allegato si può salvare con \u00ABSalva allegato\u00BB.")
                       .arg(Migliaia(piega.fine - piega.inizio));
        aggiornaNota();
        return false;
    }
    const qsizetype inizio = m_mostrato->inizioDoc[static_cast<std::size_t>(k)];
    const qsizetype prima = piega.lunghezzaDoc();
    piega.chiusa = !piega.chiusa;
    // The new positions are in place before the document changes: the colours of the blocks
    // redone by the change read them.
    m_mostrato->ricalcola();
    QTextCursor cursore(m_area->document());
    cursore.setPosition(static_cast<int>(inizio));
    cursore.setPosition(static_cast<int>(inizio + prima), QTextCursor::KeepAnchor);
    cursore.beginEditBlock();
    cursore.insertText(piega.chiusa ? piega.segnaposto
                                    : TestoMostrato::ComeNelDocumento(m_mostrato->originale.sliced(
                                          piega.inizio, piega.fine - piega.inizio)));
    cursore.endEditBlock();
    cursore.setPosition(static_cast<int>(inizio));
    m_area->setTextCursor(cursore);
    m_area->aggiornaLarghezza();
    m_area->viewport()->update();
    if (!m_avviso.isEmpty()) {
        m_avviso.clear();
        aggiornaNota();
    }
    if (ricercaAperta())
        cerca(true);
    return true;
}

void VistaXml::aggiornaNota() {
    QStringList righe;
    for (const QString* parte : {&m_notaCodifica, &m_notaFirme, &m_avviso})
        if (!parte->isEmpty())
            righe << *parte;
    m_nota->setText(righe.join(u'\n'));
    m_nota->setVisible(!righe.isEmpty());
}

qsizetype VistaXml::rigaOriginale(int blocco) const {
    const QTextBlock b = m_area->document()->findBlockByNumber(blocco);
    return blocco + 1 + (b.isValid() ? m_mostrato->righeNascostePrima(b.position()) : 0);
}

QPlainTextEdit* VistaXml::testo() const {
    return m_area;
}

bool VistaXml::ricercaAperta() const {
    return !m_barra->isHidden();
}

void VistaXml::apriRicerca() {
    if (!ricercaAperta()) {
        m_barra->setVisible(true);
        cerca(true);
    }
    m_barra->campo()->setFocus(Qt::ShortcutFocusReason);
    m_barra->campo()->selectAll();
}

bool VistaXml::chiudiRicerca() {
    if (!ricercaAperta())
        return false;
    m_barra->setVisible(false);
    m_area->setExtraSelections({});
    m_area->setFocus(Qt::OtherFocusReason);
    return true;
}

void VistaXml::successivo() {
    if (!ricercaAperta()) {
        apriRicerca();
        return;
    }
    if (!m_risultati.isEmpty())
        vaiA((m_corrente + 1) % static_cast<int>(m_risultati.size()));
}

void VistaXml::precedente() {
    if (!ricercaAperta()) {
        apriRicerca();
        return;
    }
    const int n = static_cast<int>(m_risultati.size());
    if (n > 0)
        vaiA(m_corrente <= 0 ? n - 1 : m_corrente - 1);
}

// Finds every match in the document, placeholders left out, and goes to the first one at or
// after the selection's start: typing on keeps the match in place while it still matches.
void VistaXml::cerca(bool vaiAlPrimo) {
    m_risultati.clear();
    m_corrente = -1;
    const QString cercato = m_barra->campo()->text();
    const TestoMostrato& m = *m_mostrato;
    bool ripiegate = false;
    for (const auto& p : m.pieghe)
        ripiegate = ripiegate || p.chiusa;
    m_barra->nota()->setVisible(ripiegate);
    if (!cercato.isEmpty()) {
        const QString testo = m_area->document()->toPlainText();
        std::size_t k = 0;
        for (qsizetype p = testo.indexOf(cercato, 0, Qt::CaseInsensitive); p >= 0;
             p = testo.indexOf(cercato, p + 1, Qt::CaseInsensitive)) {
            while (k < m.pieghe.size() && m.fineDoc(k) <= p)
                ++k;
            bool inSegnaposto = false;
            for (std::size_t j = k; j < m.pieghe.size() && m.inizioDoc[j] < p + cercato.size(); ++j)
                inSegnaposto = inSegnaposto || m.pieghe[j].chiusa;
            if (!inSegnaposto)
                m_risultati.push_back(static_cast<int>(p));
        }
    }
    if (m_risultati.isEmpty()) {
        m_barra->conteggio()->setText(cercato.isEmpty() ? QString()
                                                        : QStringLiteral("Nessun risultato"));
        evidenzia();
        return;
    }
    const int da = m_area->textCursor().selectionStart();
    const auto primo = std::lower_bound(m_risultati.begin(), m_risultati.end(), da);
    const int indice =
        primo == m_risultati.end() ? 0 : static_cast<int>(primo - m_risultati.begin());
    if (vaiAlPrimo) {
        vaiA(indice);
    } else {
        m_corrente = indice;
        evidenzia();
    }
}

void VistaXml::vaiA(int indice) {
    m_corrente = indice;
    const int p = m_risultati[indice];
    QTextCursor cursore(m_area->document());
    cursore.setPosition(p);
    cursore.setPosition(p + static_cast<int>(m_barra->campo()->text().size()),
                        QTextCursor::KeepAnchor);
    m_area->setTextCursor(cursore);
    m_area->centerCursor();
    evidenzia();
}

void VistaXml::evidenzia() {
    if (m_corrente >= 0)
        m_barra->conteggio()->setText(
            QStringLiteral("%1 di %2").arg(m_corrente + 1).arg(m_risultati.size()));
    QList<QTextEdit::ExtraSelection> evidenziati;
    const int lunghezza = static_cast<int>(m_barra->campo()->text().size());
    // Past a few thousand, highlighting every match only slows the view down.
    const int quanti = std::min(static_cast<int>(m_risultati.size()), 5000);
    for (int k = 0; k < quanti; ++k) {
        QTextEdit::ExtraSelection e;
        e.cursor = QTextCursor(m_area->document());
        e.cursor.setPosition(m_risultati[k]);
        e.cursor.setPosition(m_risultati[k] + lunghezza, QTextCursor::KeepAnchor);
        e.format.setBackground(k == m_corrente ? QColor(0xff, 0xb0, 0x4a)
                                               : QColor(0xff, 0xee, 0x8a));
        evidenziati << e;
    }
    m_area->setExtraSelections(evidenziati);
}

bool VistaXml::eventFilter(QObject* oggetto, QEvent* evento) {
    // Esc in the field closes the bar, not the window (Enter is the bar's own).
    if (oggetto == m_barra->campo() && evento->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(evento)->key() == Qt::Key_Escape) {
        chiudiRicerca();
        return true;
    }
    return QWidget::eventFilter(oggetto, evento);
}

} // namespace ondivo
