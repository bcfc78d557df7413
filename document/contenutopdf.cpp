#include "contenutopdf.h"
#include "errors.h"

#include "ansicodec.h"
#include "base64.h"
#include "datiallegato.h"
#include "envelopepath.h"
#include "files.h"
#include "fileutil.h"
#include "safename.h"
#include "text.h"

#include <cctype>

namespace ondivo {

namespace {

// The first of a header value's lines (values found more than once are joined by line
// breaks), in UTF-8; empty when there is none.
std::string primo(const std::optional<std::string>& ansi) {
    if (!ansi)
        return {};
    const std::string utf8 = AnsiToUtf8(*ansi);
    return std::string(Trim(utf8.substr(0, utf8.find_first_of("\r\n"))));
}

// "2024-04-02" as "02/04/2024"; any other text as it is.
std::string dataItaliana(const std::string& data) {
    const auto cifre = [&](std::size_t da, std::size_t quante) {
        for (std::size_t i = da; i < da + quante; ++i)
            if (!std::isdigit(static_cast<unsigned char>(data[i])))
                return false;
        return true;
    };
    if (data.size() < 10 || !cifre(0, 4) || data[4] != '-' || !cifre(5, 2) || data[7] != '-' ||
        !cifre(8, 2))
        return data;
    return data.substr(8, 2) + "/" + data.substr(5, 2) + "/" + data.substr(0, 4);
}

// "TD01 fattura" gives "Fattura"; a type without its word gives "Documento".
std::string parolaTipo(const std::string& tipo) {
    const auto spazio = tipo.find(' ');
    std::string parola =
        spazio == std::string::npos ? std::string() : std::string(Trim(tipo.substr(spazio + 1)));
    if (parola.empty())
        return "Documento";
    parola[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(parola[0])));
    return parola;
}

std::string titolo(const DocumentoAperto& documento) {
    std::string t = parolaTipo(primo(documento.tipoDocumento));
    if (const std::string numero = primo(documento.numero); !numero.empty())
        t += " n. " + numero;
    if (const std::string data = primo(documento.data); !data.empty())
        t += " del " + dataItaliana(data);
    return t;
}

FileIncorporato allegato(const TAllegatoItem& voce) {
    FileIncorporato f;
    f.nome = NomeFileSicuro(voce.NomeFile);
    std::string copia;
    const std::string_view base64 = DatiDaDecodificare(voce.DatiBase64, copia);
    if (base64.size() % 4 == 0) {
        const TDecodificatoreMIME decodificatore;
        decodificatore.DecodeToStream(base64, f.dati);
        f.descrizione = "Allegato della fattura";
    } else {
        f.nome += ".base64";
        f.dati = voce.DatiBase64;
        f.tipo = "text/plain";
        f.descrizione = "Allegato non decodificabile: il suo testo com'è nella fattura";
    }
    return f;
}

// A character a file name may not hold on some system the PDF may be copied to.
} // namespace

ContenutoPdf PreparaContenutoPdf(const DocumentoAperto& documento, const std::string& scelto) {
    ContenutoPdf contenuto;
    contenuto.metadati.titolo = titolo(documento);
    contenuto.metadati.autore = primo(documento.fornitore);
    contenuto.metadati.soggetto = primo(documento.tipoDocumento);

    // The bytes the page was made from, not the files read again.
    const bool busta = IsEnvelope(scelto) && (documento.dati ? documento.dati != documento.xml
                                                             : documento.fileXml != scelto);
    const auto leggi = [](const std::shared_ptr<const std::string>& dati, const std::string& file) {
        return dati ? *dati : platform::LeggiFile(file);
    };
    contenuto.file.push_back({NomeFileSicuro(NomeFile(busta ? PercorsoXmlDaP7m(scelto) : scelto)),
                              leggi(documento.xml, documento.fileXml), "application/xml",
                              "La fattura elettronica"});
    if (busta)
        contenuto.file.push_back({NomeFileSicuro(NomeFile(scelto)), leggi(documento.dati, scelto),
                                  "application/pkcs7-mime",
                                  "La fattura elettronica nella sua busta firmata"});
    for (const auto& voce : documento.allegati)
        contenuto.file.push_back(allegato(*voce));
    contenuto.origini = {scelto};
    if (!documento.fileXml.empty() && documento.fileXml != scelto)
        contenuto.origini.push_back(documento.fileXml);
    return contenuto;
}

std::string NomePdfProposto(const DocumentoAperto& documento, const std::string& scelto) {
    std::string nome =
        NomeDaParti({primo(documento.data), primo(documento.fornitore), primo(documento.numero)});
    if (nome.empty()) {
        nome = NomeFile(IsEnvelope(scelto) ? PercorsoXmlDaP7m(scelto) : scelto);
        if (const auto punto = nome.rfind('.'); punto != std::string::npos && punto > 0)
            nome.erase(punto);
    }
    return NomeFileSicuro(nome + ".pdf");
}

void ScriviPdf(const std::string& stampato, const ContenutoPdf& contenuto,
               const std::string& destinazione, const std::vector<int>& pagine) {
    for (const std::string& origine : contenuto.origini)
        if (!origine.empty() &&
            (origine == destinazione || platform::StessoFile(origine, destinazione)))
            throw OndivoError("Il PDF non pu\xC3\xB2 sostituire il file della fattura " + origine +
                              ": scegliere un altro nome");
    platform::ScriviFile(destinazione,
                         CompletaPdf(stampato, contenuto.metadati, contenuto.file, pagine));
}

} // namespace ondivo
