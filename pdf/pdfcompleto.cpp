#include "pdfcompleto.h"

#include "errors.h"
#include "numeripagina.h"
#include "safename.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

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
    const std::pair<const char*, const std::string*> voci[] = {
        {"/Title", &metadati.titolo}, {"/Author", &metadati.autore}, {"/Subject", &metadati.soggetto}};
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

} // namespace

std::string CompletaPdf(const std::string& stampato, const MetadatiPdf& metadati,
                        const std::vector<FileIncorporato>& file) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("pagina stampata", stampato.data(), stampato.size());
        impostaInformazioni(pdf, metadati);
        NumeraPagine(pdf);
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
