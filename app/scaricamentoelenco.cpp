#include "scaricamentoelenco.h"

#include "documentoaperto.h"
#include "elencofiducia.h"
#include "errors.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <iostream>
#include <memory>

namespace ondivo {

namespace {

// A list is some megabytes; anything far larger is not a list and is not read whole.
constexpr qint64 kDimensioneMassima = qint64{64} << 20;
// No answer for this long ends the download.
constexpr int kAttesaMassimaMs = 120000;

// Why the download failed and what to try, in words a user can act on.
std::string motivo(QNetworkReply& risposta, bool troppoGrande) {
    if (troppoGrande)
        return "il file è troppo grande per essere un elenco di fiducia: controllare l'indirizzo";
    const QVariant stato = risposta.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (stato.isValid() && stato.toInt() >= 500)
        return "il server ha risposto con l'errore HTTP " + std::to_string(stato.toInt()) +
               " (un suo guasto): riprovare più tardi";
    if (stato.isValid() && stato.toInt() >= 400)
        return "il server ha risposto con l'errore HTTP " + std::to_string(stato.toInt()) +
               ": l'elenco non è a questo indirizzo, che può essere cambiato; controllarlo sul "
               "sito dell'AgID";
    switch (risposta.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return "connessione rifiutata: il server non accetta collegamenti ora; riprovare più "
               "tardi e controllare l'indirizzo";
    case QNetworkReply::HostNotFoundError:
        return "server non trovato: il computer non è collegato a internet, oppure il nome del "
               "server nell'indirizzo è sbagliato";
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return "il server non ha risposto in tempo: riprovare più tardi";
    case QNetworkReply::RemoteHostClosedError:
        return "il server ha chiuso la connessione: riprovare più tardi";
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
        return "il certificato del server non è stato accettato, quindi non si può essere certi "
               "di parlare con il server vero: controllare che data e ora del computer siano "
               "giuste, e se un proxy o un antivirus della rete intercetta le connessioni sicure";
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return "il proxy della rete non ha lasciato passare la richiesta: controllare le "
               "impostazioni del proxy o chiedere a chi gestisce la rete";
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return "rete non disponibile: controllare il collegamento a internet";
    default:
        return risposta.errorString().toStdString();
    }
}

// The failure, with the way round it when this computer cannot reach the address.
std::string erroreScaricamento(const std::string& indirizzo, const std::string& perche) {
    return "Impossibile scaricare l'elenco di fiducia da " + indirizzo + ": " + perche +
           ".\nIn alternativa, scaricare il file da quell'indirizzo con il browser, anche da un "
           "altro computer, e prenderlo con \"Importa elenco di fiducia…\".";
}

// Calls `fine` with the error of `messaggio`, from the event loop: never before the caller of
// AggiornaElencoFiducia has returned.
void fallisci(QObject* contesto, std::function<void(EsitoAggiornamentoElenco)> fine,
              const std::string& messaggio) {
    QMetaObject::invokeMethod(
        contesto,
        [fine = std::move(fine), messaggio] {
            fine({{}, std::make_exception_ptr(OndivoError(messaggio))});
        },
        Qt::QueuedConnection);
}

} // namespace

void AggiornaElencoFiducia(QNetworkAccessManager& rete, const std::string& indirizzo,
                           QObject* contesto, std::function<void(EsitoAggiornamentoElenco)> fine,
                           std::chrono::milliseconds durataMassima) {
    const QUrl url(QString::fromStdString(indirizzo).trimmed(), QUrl::StrictMode);
    const QString schema = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (schema != QLatin1String("http") && schema != QLatin1String("https"))) {
        fallisci(contesto, std::move(fine),
                 erroreScaricamento(indirizzo, "l'indirizzo non è un indirizzo http o https"));
        return;
    }
    QNetworkRequest richiesta(url);
    richiesta.setTransferTimeout(kAttesaMassimaMs);
    // Redirects are followed, except from https to http.
    richiesta.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           QNetworkRequest::NoLessSafeRedirectPolicy);
    richiesta.setHeader(QNetworkRequest::UserAgentHeader,
                        QStringLiteral("Ondivo/%1").arg(QStringLiteral("1.0")));
    QNetworkReply* risposta = rete.get(richiesta);
    auto troppoGrande = std::make_shared<bool>(false);
    QObject::connect(risposta, &QNetworkReply::downloadProgress, risposta,
                     [risposta, troppoGrande](qint64 ricevuti, qint64 totale) {
                         if (ricevuti > kDimensioneMassima || totale > kDimensioneMassima) {
                             *troppoGrande = true;
                             risposta->abort();
                         }
                     });
    // A server that sends a byte now and then would hold the download forever: it has a
    // deadline as a whole.
    auto scaduta = std::make_shared<bool>(false);
    QTimer::singleShot(durataMassima, risposta, [risposta, scaduta] {
        *scaduta = true;
        risposta->abort();
    });
    const auto secondi = std::chrono::duration_cast<std::chrono::seconds>(durataMassima).count();
    QObject::connect(risposta, &QNetworkReply::finished, contesto,
                     [risposta, indirizzo, troppoGrande, scaduta, secondi, fine = std::move(fine)] {
                         risposta->deleteLater();
                         EsitoAggiornamentoElenco esito;
                         try {
                             if (*scaduta)
                                 throw OndivoError(erroreScaricamento(
                                     indirizzo, "il server non ha completato l'invio in " +
                                                    std::to_string(secondi) + " secondi"));
                             if (*troppoGrande || risposta->error() != QNetworkReply::NoError)
                                 throw OndivoError(erroreScaricamento(
                                     indirizzo, motivo(*risposta, *troppoGrande)));
                             const QByteArray dati = risposta->readAll();
                             try {
                                 esito.elenco = AccettaElencoFiducia(dati.toStdString());
                             } catch (const OndivoError& e) {
                                 throw OndivoError(MessaggioConFile(e.what(), indirizzo));
                             }
                         } catch (...) {
                             esito.errore = std::current_exception();
                         }
                         fine(std::move(esito));
                     });
}

int AggiornaFiduciaSenzaFinestra(const std::optional<std::string>& indirizzo) {
    QNetworkAccessManager rete;
    QEventLoop ciclo;
    int codice = 1;
    AggiornaElencoFiducia(
        rete, indirizzo.value_or(IndirizzoElencoFiducia()), &ciclo,
        [&](EsitoAggiornamentoElenco esito) {
            try {
                if (esito.errore)
                    std::rethrow_exception(esito.errore);
                std::cout
                    << "Elenco di fiducia aggiornato: "
                    << SintesiElenco(esito.elenco, esito.elenco.certificati.size()).toStdString()
                    << std::endl;
                codice = 0;
            } catch (const std::exception& e) {
                std::cerr << e.what() << std::endl;
            }
            ciclo.quit();
        });
    ciclo.exec();
    return codice;
}

} // namespace ondivo
