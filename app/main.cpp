#include "htmlview.h"
#include "qtprompts.h"
#include "tfondivo.h"

#include <QApplication>

int main(int argc, char** argv) {
    ondivo::PreparaWebEngine();
    QApplication app(argc, argv);
    // The application title is the caption of every message box; the technical name keeps
    // Qt's per-application folders free of spaces and slashes.
    QApplication::setApplicationName(QStringLiteral("ondivo"));
    ondivo::QtPrompts prompts;
    ondivo::TFONDIVO finestra(prompts);
    finestra.showMaximized();
    return app.exec();
}
