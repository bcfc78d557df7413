#include "certificato.h"
#include "dataora.h"
#include "errors.h"
#include "marcatemporale.h"
#include "text.h"
#include "verificadsig.h"
#include "verificafirma.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <set>

namespace ondivo {

namespace {

std::string valoreFirma(const xmlNode* firma) {
    std::string valore = TestoXml(FiglioXml(firma, "SignatureValue", NsFirmaXml));
    std::erase_if(valore, [](unsigned char c) { return std::isspace(c); });
    return valore;
}

} // namespace

VerificaFirme VerificaFirmeXml(std::string_view xml, const Fiducia& fiducia,
                               const OpzioniVerifica& opzioni) {
    std::string motivo;
    const XmlDocPtr documento = LeggiXmlInMemoria(xml, motivo);
    if (!documento)
        throw OndivoError("Impossibile leggere l'XML: " + motivo);

    // A copy of a signature verifies as the original does, wherever it stands, and its unsigned
    // parts could carry text into the invoice: a signature found twice is not taken at all.
    const std::vector<xmlNode*> firme = FirmeDelDocumento(documento.get());
    std::multiset<std::string> valori;
    for (xmlNode* firma : firme)
        valori.insert(valoreFirma(firma));

    VerificaFirme verifica;
    const xmlNode* radice = xmlDocGetRootElement(documento.get());
    for (xmlNode* firma : firme) {
        FirmaXmlVerificata esito = VerificaFirmaDsig(documento.get(), firma);
        if (valori.count(valoreFirma(firma)) > 1) {
            esito.integra = false;
            esito.motivo = "la stessa firma compare più volte nel documento";
            esito.sottoindicazione = sotto::FormatFailure;
        }
        // A signature belongs beside the invoice's data, not inside it: whatever it carries is
        // no part of the invoice, and none of the invoice's readers takes it as such.
        if (firma != radice && firma->parent != radice)
            verifica.contenutoNonFirmato = true;
        if (esito.integra && esito.oggettiNonFirmati)
            verifica.contenutoNonFirmato = true;

        Firmatario firmatario;
        firmatario.tipo = "XAdES";
        firmatario.livello = 1;
        firmatario.integra = esito.integra;
        if (esito.nidDigest != 0)
            firmatario.algoritmo = NomeAlgoritmo(esito.nidDigest);
        if (esito.oraFirma)
            firmatario.dataFirma = OraUtc(*esito.oraFirma);
        if (!esito.integra) {
            const char* s = esito.sottoindicazione ? esito.sottoindicazione : sotto::FormatFailure;
            const bool indeterminata = std::string_view(s) == sotto::NoSigningCertificateFound ||
                                       std::string_view(s) == sotto::CryptoConstraintsFailure;
            Segnala(firmatario,
                    indeterminata ? Indicazione::Indeterminate : Indicazione::TotalFailed, s,
                    esito.motivo);
        }
        if (esito.certificato) {
            CampiCertificato(esito.certificato.get(), firmatario);
            ProveFirma prove;
            prove.certificati = esito.altriCertificati.get();
            prove.revoche = esito.revoche.dati();
            prove.nidDigest = esito.nidDigest;
            prove.ora = opzioni.ora;
            if (opzioni.rete)
                prove.rete = opzioni.scadenzaRete;
            if (esito.integra) {
                std::vector<std::pair<std::string_view, std::string_view>> marche;
                for (const auto& marca : esito.marche)
                    marche.emplace_back(marca.token, marca.dati);
                prove.provaTempo = ProvaDiTempo(marche, fiducia, opzioni.ora, firmatario);
            }
            ValutaFirmatario(esito.certificato.get(), prove, fiducia, firmatario);
        } else {
            ConcludiFirmatario(firmatario);
        }
        AggiungiFirmatario(verifica, std::move(firmatario));
    }
    AvvisiFiducia(fiducia, opzioni.ora, verifica);
    return verifica;
}

} // namespace ondivo
