#include "htmlview.h"
#include "qtprompts.h"
#include "tfondivo.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

int main(int argc, char** argv) {
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
    ondivo::QtPrompts prompts;
    ondivo::TFONDIVO finestra(prompts);
    finestra.showMaximized();
    // A file named on the command line opens as if chosen in the dialog.
    const QStringList argomenti = QApplication::arguments();
    if (argomenti.size() > 1) {
        const std::string file = QFileInfo(argomenti.at(1)).absoluteFilePath().toStdString();
        QTimer::singleShot(0, &finestra, [&finestra, file] { finestra.apriFile(file); });
    }
    return app.exec();
}
