#include "qtprompts.h"

#include "messages.h"

#include <QMessageBox>

namespace ondivo {

namespace {
void box(QMessageBox::Icon icona, const std::string& testo) {
    // No parent: the box is centred on the screen rather than on the window.
    QMessageBox box(icona, QString::fromUtf8(TitoloApplicazione), QString::fromStdString(testo),
                    QMessageBox::Ok);
    box.exec();
}
} // namespace

void QtPrompts::ShowMessage(const std::string& testo) {
    box(QMessageBox::NoIcon, testo);
}

void QtPrompts::ShowError(const std::string& testo) {
    box(QMessageBox::Critical, testo);
}

} // namespace ondivo
