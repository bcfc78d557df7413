#include "revoca.h"
#include "dataora.h"
#include "der.h"
#include "opensslptr.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace ondivo {

namespace {

// A list or response is fresh for the reference time when issued no earlier than this before
// it: the clocks of the responder and of this machine need not agree to the second.
constexpr std::time_t kTolleranza = 10 * 60;

using CertIdPtr = std::unique_ptr<OCSP_CERTID, LiberaCon<OCSP_CERTID_free>>;

// Fresh for the reference time: with a next update, when that is not before it (a list past
// its next update has been replaced, however recently it was issued); without one, when
// issued at it or after. Never when issued after the validation time.
bool fresco(const ASN1_TIME* emissione, const ASN1_TIME* prossimo, std::time_t riferimento,
            std::time_t ora) {
    const auto da = Secondi(emissione);
    if (!da || *da > ora + kTolleranza)
        return false;
    if (prossimo) {
        const auto a = Secondi(prossimo);
        return a && *a >= riferimento;
    }
    return da && *da + kTolleranza >= riferimento;
}

bool puoFirmareListe(X509* emittente) {
    return !(X509_get_extension_flags(emittente) & EXFLAG_KUSAGE) ||
           (X509_get_key_usage(emittente) & KU_CRL_SIGN);
}

// The CRL is the issuer's own: named by it and signed with its key.
bool crlDi(X509_CRL* crl, X509* emittente) {
    if (X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(emittente)) != 0 ||
        !puoFirmareListe(emittente))
        return false;
    EVP_PKEY* chiave = X509_get0_pubkey(emittente);
    const bool firmata = chiave && X509_CRL_verify(crl, chiave) == 1;
    ERR_clear_error();
    return firmata;
}

// The response is signed by the issuer itself, or by a responder the issuer certified for
// OCSP signing.
bool rispostaDi(OCSP_BASICRESP* risposta, X509* emittente) {
    X509* firmatario = nullptr;
    PilaX509Ptr con(sk_X509_new_null());
    if (!con || !sk_X509_push(con.get(), emittente))
        return false;
    X509_up_ref(emittente);
    if (OCSP_resp_get0_signer(risposta, &firmatario, con.get()) != 1 || !firmatario) {
        ERR_clear_error();
        return false;
    }
    bool autorizzato = X509_cmp(firmatario, emittente) == 0;
    if (!autorizzato && X509_check_issued(emittente, firmatario) == X509_V_OK) {
        const uint32_t uso = X509_get_extended_key_usage(firmatario);
        autorizzato = (X509_get_extension_flags(firmatario) & EXFLAG_XKUSAGE) &&
                      (uso & XKU_OCSP_SIGN) &&
                      X509_verify(firmatario, X509_get0_pubkey(emittente)) == 1;
    }
    EVP_PKEY* chiave = X509_get0_pubkey(firmatario);
    const bool firmata =
        autorizzato && chiave &&
        OCSP_basic_verify(risposta, con.get(), nullptr, OCSP_NOVERIFY | OCSP_NOCHECKS) == 1;
    ERR_clear_error();
    return firmata;
}

template <class T, auto Leggi> T daDer(std::string_view der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return T(Leggi(nullptr, &p, static_cast<long>(der.size())));
}

using OcspRispostaPtr = std::unique_ptr<OCSP_RESPONSE, LiberaCon<OCSP_RESPONSE_free>>;

} // namespace

void RevochePossedute::aggiungiCrl(std::string_view der) {
    if (auto crl = daDer<CrlPtr, d2i_X509_CRL>(der))
        this->crl.push_back(std::move(crl));
    ERR_clear_error();
}

void RevochePossedute::aggiungiOcsp(std::string_view der) {
    if (auto intera = daDer<OcspRispostaPtr, d2i_OCSP_RESPONSE>(der)) {
        if (OCSP_response_status(intera.get()) == OCSP_RESPONSE_STATUS_SUCCESSFUL)
            if (OcspBasePtr base{OCSP_response_get1_basic(intera.get())})
                ocsp.push_back(std::move(base));
    } else if (auto base = daDer<OcspBasePtr, d2i_OCSP_BASICRESP>(der)) {
        ocsp.push_back(std::move(base));
    }
    ERR_clear_error();
}

void RevochePossedute::aggiungiValori(std::string_view der) {
    auto valori = LeggiElementoDer(der);
    auto parti = valori ? FigliDer(valori->contenuto) : std::nullopt;
    if (!parti)
        return;
    for (const auto& parte : *parti) {
        auto interno = FigliDer(parte.contenuto); // the explicit tag's SEQUENCE OF
        if (!interno || interno->size() != 1)
            continue;
        auto elementi = FigliDer((*interno)[0].contenuto);
        if (!elementi)
            continue;
        for (const auto& elemento : *elementi) {
            if (parte.tag == 0xA0)
                aggiungiCrl(elemento.intero);
            else if (parte.tag == 0xA1)
                aggiungiOcsp(elemento.intero);
        }
    }
}

void RevochePossedute::aggiungiDaCms(CMS_ContentInfo* cms) {
    STACK_OF(X509_CRL)* liste = CMS_get1_crls(cms);
    for (int i = 0; i < sk_X509_CRL_num(liste); ++i)
        crl.emplace_back(sk_X509_CRL_value(liste, i));
    sk_X509_CRL_free(liste); // the lists themselves are now ours
    ERR_clear_error();
}

DatiRevoca RevochePossedute::dati() const {
    DatiRevoca d;
    for (const auto& c : crl)
        d.crl.push_back(c.get());
    for (const auto& o : ocsp)
        d.ocsp.push_back(o.get());
    return d;
}

StatoRevoca StatoRevocaDi(X509* certificato, X509* emittente, const DatiRevoca& dati,
                          std::time_t riferimento, std::time_t ora) {
    StatoRevoca esito;
    const auto revocato = [&](const ASN1_TIME* quando, const std::string& fonte) {
        const auto t = Secondi(quando);
        if (esito.stato == StatoRevoca::Stato::Revocato && esito.quando && t && *t >= *esito.quando)
            return;
        esito.stato = StatoRevoca::Stato::Revocato;
        esito.quando = t;
        esito.fonte = fonte;
    };
    const auto valido = [&](const std::string& fonte) {
        if (esito.stato == StatoRevoca::Stato::Sconosciuto) {
            esito.stato = StatoRevoca::Stato::Valido;
            esito.fonte = fonte;
        }
    };

    for (X509_CRL* crl : dati.crl) {
        if (!crlDi(crl, emittente))
            continue;
        const auto emessa = Secondi(X509_CRL_get0_lastUpdate(crl));
        const std::string fonte =
            "CRL del " + (emessa ? GiornoItaliano(*emessa) : std::string("?"));
        X509_REVOKED* voce = nullptr;
        // 1: listed; 2: listed as removed from hold, so no longer revoked.
        if (X509_CRL_get0_by_cert(crl, &voce, certificato) == 1 && voce)
            revocato(X509_REVOKED_get0_revocationDate(voce), fonte);
        else if (fresco(X509_CRL_get0_lastUpdate(crl), X509_CRL_get0_nextUpdate(crl), riferimento,
                        ora))
            valido(fonte);
    }

    for (OCSP_BASICRESP* risposta : dati.ocsp) {
        if (!rispostaDi(risposta, emittente))
            continue;
        for (int i = 0; i < OCSP_resp_count(risposta); ++i) {
            OCSP_SINGLERESP* singola = OCSP_resp_get0(risposta, i);
            const OCSP_CERTID* id = OCSP_SINGLERESP_get0_id(singola);
            ASN1_OBJECT* algoritmo = nullptr;
            if (!id || OCSP_id_get0_info(nullptr, &algoritmo, nullptr, nullptr,
                                         const_cast<OCSP_CERTID*>(id)) != 1)
                continue;
            const EVP_MD* md = EVP_get_digestbyobj(algoritmo);
            CertIdPtr atteso(md ? OCSP_cert_to_id(md, certificato, emittente) : nullptr);
            if (!atteso || OCSP_id_cmp(atteso.get(), id) != 0)
                continue;
            int motivo = 0;
            ASN1_GENERALIZEDTIME *revoca = nullptr, *emessa = nullptr, *prossima = nullptr;
            const int stato =
                OCSP_single_get0_status(singola, &motivo, &revoca, &emessa, &prossima);
            const auto t = Secondi(emessa);
            const std::string fonte = "OCSP del " + (t ? GiornoItaliano(*t) : std::string("?"));
            if (stato == V_OCSP_CERTSTATUS_REVOKED)
                revocato(revoca, fonte);
            else if (stato == V_OCSP_CERTSTATUS_GOOD && fresco(emessa, prossima, riferimento, ora))
                valido(fonte);
        }
    }
    ERR_clear_error();
    return esito;
}

} // namespace ondivo
