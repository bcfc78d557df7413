#include "qtprompts.h"

#include "messages.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace ondivo {

namespace {

void box(QMessageBox::Icon icona, const std::string& testo) {
    // No parent: the box is centred on the screen rather than on the window.
    QMessageBox box(icona, QString::fromUtf8(TitoloApplicazione), QString::fromStdString(testo),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace

QStringList FiltriQt(const std::string& filtro) {
    const QStringList parti = QString::fromStdString(filtro).split(QLatin1Char('|'));
    QStringList filtri;
    for (qsizetype i = 0; i + 1 < parti.size(); i += 2) {
        QString modelli = parti[i + 1];
        modelli.replace(QLatin1Char(';'), QLatin1Char(' '));
        filtri << parti[i] + QStringLiteral(" (") + modelli + QLatin1Char(')');
    }
    return filtri;
}

bool CaricaTraduzioniQt(QTranslator& traduttore) {
    return traduttore.load(QStringLiteral("qtbase_it"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QtPrompts::QtPrompts() = default;
QtPrompts::~QtPrompts() = default;

void QtPrompts::ShowMessage(const std::string& testo) {
    box(QMessageBox::NoIcon, testo);
}

void QtPrompts::ShowError(const std::string& testo) {
    box(QMessageBox::Critical, testo);
}

std::optional<std::string> QtPrompts::ScegliFile(const ConfigurazioneDialogo& c) {
    if (!OpenDialog1) {
        OpenDialog1 = std::make_unique<QFileDialog>();
        OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
        OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        OpenDialog1->setFileMode(QFileDialog::AnyFile); // a typed missing name is accepted
    }
    QFileDialog& d = *OpenDialog1;
    d.setWindowTitle(QString::fromStdString(c.titolo));
    d.setDirectory(QString::fromStdString(c.cartellaIniziale));
    QString suffisso = QString::fromStdString(c.estensionePredefinita);
    if (suffisso.startsWith(QLatin1String("*.")))
        suffisso.remove(0, 2);
    d.setDefaultSuffix(suffisso.contains(QLatin1Char('*')) ? QString() : suffisso);
    const QStringList filtri = FiltriQt(c.filtro);
    d.setNameFilters(filtri);
    if (m_indiceFiltro < filtri.size())
        d.selectNameFilter(filtri[m_indiceFiltro]);
    if (!m_nomeFile.isEmpty())
        d.selectFile(m_nomeFile);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return std::nullopt;
    const QString scelto = d.selectedFiles().first();
    m_indiceFiltro = static_cast<int>(filtri.indexOf(d.selectedNameFilter()));
    if (m_indiceFiltro < 0)
        m_indiceFiltro = 0;
    m_nomeFile = QFileInfo(scelto).fileName();
    return scelto.toStdString();
}

} // namespace ondivo
