#include "pdfcompleto.h"

#include "errors.h"
#include "numeripagina.h"
#include "safename.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <exception>
#include <set>

namespace ondivo {

namespace {

// The older, one-byte file name of an embedded file's entry, for readers that know no other:
// anything beyond ASCII, and what PDF names treat specially, becomes "_".
std::string nomeAscii(const std::string& nome) {
    std::string ascii;
    for (const char c : nome) {
        const auto b = static_cast<unsigned char>(c);
        ascii += (b >= 0x20 && b < 0x7F && c != '\\') ? c : '_';
    }
    return ascii;
}

// The first of "nome", "nome (2)", "nome (3)"… not yet in `usati`, which then holds it.
std::string nomeLibero(const std::string& nome, std::set<std::string>& usati) {
    std::string candidato = nome;
    for (int n = 2; usati.count(candidato); ++n)
        candidato = NomeNumerato(nome, n);
    usati.insert(candidato);
    return candidato;
}

void impostaInformazioni(QPDF& pdf, const MetadatiPdf& metadati) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    if (!info.isDictionary()) {
        info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        trailer.replaceKey("/Info", info);
    }
    const std::pair<const char*, const std::string*> voci[] = {{"/Title", &metadati.titolo},
                                                               {"/Author", &metadati.autore},
                                                               {"/Subject", &metadati.soggetto}};
    for (const auto& [chiave, valore] : voci) {
        if (valore->empty())
            info.removeKey(chiave);
        else
            info.replaceKey(chiave, QPDFObjectHandle::newUnicodeString(*valore));
    }
    // The engine's XMP copy of the title would contradict the new one: readers that prefer
    // it would show the page's title instead.
    QPDFObjectHandle radice = pdf.getRoot();
    if (radice.hasKey("/Metadata"))
        radice.removeKey("/Metadata");
}

void incorpora(QPDF& pdf, const std::vector<FileIncorporato>& file) {
    QPDFEmbeddedFileDocumentHelper allegati(pdf);
    std::set<std::string> usati;
    for (const auto& f : file) {
        const std::string nome = nomeLibero(f.nome, usati);
        auto flusso = QPDFEFStreamObjectHelper::createEFStream(pdf, f.dati);
        if (!f.tipo.empty())
            flusso.setSubtype(f.tipo);
        auto voce = QPDFFileSpecObjectHelper::createFileSpec(pdf, nome, flusso);
        voce.setFilename(nome, nomeAscii(nome));
        if (!f.descrizione.empty())
            voce.setDescription(f.descrizione);
        allegati.replaceEmbeddedFile(nome, voce);
    }
}

// Removes every page whose number (1-based) `pagine` does not hold.
void tieniPagine(QPDF& pdf, const std::vector<int>& pagine) {
    QPDFPageDocumentHelper documento(pdf);
    const std::vector<QPDFPageObjectHelper> tutte = documento.getAllPages();
    const auto tenuta = [&](std::size_t i) {
        return std::find(pagine.begin(), pagine.end(), static_cast<int>(i + 1)) != pagine.end();
    };
    std::size_t tenute = 0;
    for (std::size_t i = 0; i < tutte.size(); ++i)
        tenute += tenuta(i) ? 1 : 0;
    if (tenute == 0)
        throw OndivoError("nessuna delle pagine scelte esiste (il documento ne ha " +
                          std::to_string(tutte.size()) + ")");
    for (std::size_t i = 0; i < tutte.size(); ++i)
        if (!tenuta(i))
            documento.removePage(tutte[i]);
}

} // namespace

std::string CompletaPdf(const std::string& stampato, const MetadatiPdf& metadati,
                        const std::vector<FileIncorporato>& file, const std::vector<int>& pagine) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("pagina stampata", stampato.data(), stampato.size());
        impostaInformazioni(pdf, metadati);
        NumeraPagine(pdf);
        if (!pagine.empty())
            tieniPagine(pdf, pagine);
        incorpora(pdf, file);
        QPDFWriter scrittore(pdf);
        scrittore.setOutputMemory();
        // Same bytes for the same input: no random document identifier.
        scrittore.setDeterministicID(true);
        scrittore.write();
        const auto buffer = scrittore.getBufferSharedPointer();
        return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
    } catch (const std::exception& e) {
        throw OndivoError(std::string("Impossibile preparare il PDF: ") + e.what());
    }
}

} // namespace ondivo
