#include "esportazionepdf.h"
#include "htmlview.h"
#include "qtprompts.h"
#include "scaricamentoelenco.h"
#include "segnali.h"
#include "tfondivo.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    // "--aggiorna-fiducia [INDIRIZZO]": the trusted list of ondivo-cli fiducia, downloaded
    // without a window, so without a display and without the page engine.
    if (argc > 1 && std::string_view(argv[1]) == "--aggiorna-fiducia") {
        if (argc > 3) {
            std::cerr << "uso: ondivo --aggiorna-fiducia [INDIRIZZO]" << std::endl;
            return 2;
        }
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("ondivo"));
        return ondivo::AggiornaFiduciaSenzaFinestra(argc == 3 ? std::optional<std::string>(argv[2])
                                                              : std::nullopt);
    }
    const bool soloPdf = argc > 1 && std::string_view(argv[1]) == "--pdf";
    if (soloPdf)
        ondivo::TaciMessaggiQt();
    ondivo::PreparaWebEngine();
    QApplication app(argc, argv);
    // The application title is the caption of every message box; the technical name keeps
    // Qt's per-application folders free of spaces and slashes.
    QApplication::setApplicationName(QStringLiteral("ondivo"));
    // The program speaks Italian whatever the system's language, Qt's own dialogs included.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    QTranslator traduzioniQt;
    if (ondivo::CaricaTraduzioniQt(traduzioniQt))
        QApplication::installTranslator(&traduzioniQt);
    // "--pdf [--foglio=FOGLIO] [--sovrascrivi] FATTURA PDF [FATTURA PDF…]": the PDFs of
    // ondivo-cli pdf, made without a window, with the user's stylesheet when given.
    // Paths as the bytes given, whatever their encoding; Qt has taken its own options out.
    if (soloPdf) {
        int primo = 2;
        constexpr std::string_view opzioneFoglio = "--foglio=";
        std::string foglio;
        if (argc > primo && std::string_view(argv[primo]).starts_with(opzioneFoglio)) {
            foglio = std::string_view(argv[primo++]).substr(opzioneFoglio.size());
            if (foglio.empty())
                return 2;
        }
        // "--sovrascrivi" lets the PDFs replace files already there.
        const bool sovrascrivi = argc > primo && std::string_view(argv[primo]) == "--sovrascrivi";
        if (sovrascrivi)
            ++primo;
        if ((argc - primo) % 2 != 0)
            return 2;
        std::vector<ondivo::LavoroPdf> lavori;
        for (int i = primo; i + 1 < argc; i += 2)
            lavori.push_back({argv[i], argv[i + 1], {}, sovrascrivi});
        return ondivo::EsportaPdfSenzaFinestra(lavori, foglio);
    }
    const QStringList argomenti = QApplication::arguments();
    // Ended by the user or the system (Ctrl+C, SIGTERM, the session closing), the program
    // leaves as when its window is closed: the list's private copies go with it.
    const ondivo::platform::Interruzione interruzione;
    ondivo::QtPrompts prompts;
    ondivo::TFONDIVO finestra(prompts);
    finestra.showMaximized();
    QTimer sorveglianza;
    QObject::connect(&sorveglianza, &QTimer::timeout, &app, [&interruzione] {
        if (interruzione.richiesta()->load())
            QApplication::quit();
    });
    sorveglianza.start(200);
    // A file named on the command line opens as if chosen in the dialog; several files, a
    // folder or an archive open the list.
    std::vector<std::string> percorsi;
    for (qsizetype i = 1; i < argomenti.size(); ++i)
        percorsi.push_back(QFileInfo(argomenti.at(i)).absoluteFilePath().toStdString());
    if (!percorsi.empty())
        QTimer::singleShot(0, &finestra,
                           [&finestra, percorsi] { finestra.apriPercorsi(percorsi); });
    const int codice = app.exec();
    return interruzione.richiesta()->load() ? interruzione.codiceUscita() : codice;
}
