#include "qtprompts.h"

#include "messages.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace ondivo {

std::unique_ptr<QMessageBox> CreaBox(QMessageBox::Icon icona, const std::string& testo) {
    auto box = std::make_unique<QMessageBox>(icona, QString::fromUtf8(TitoloApplicazione),
                                             QString(), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(testo));
    return box;
}

bool CaricaTraduzioniQt(QTranslator& traduttore) {
    return traduttore.load(QStringLiteral("qtbase_it"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

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

QtPrompts::QtPrompts() = default;
QtPrompts::~QtPrompts() = default;

void QtPrompts::ShowMessage(const std::string& testo) {
    CreaBox(QMessageBox::NoIcon, testo)->exec();
}

void QtPrompts::ShowError(const std::string& testo) {
    CreaBox(QMessageBox::Critical, testo)->exec();
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

std::optional<std::string> QtPrompts::ScegliFileDaSalvare(const ConfigurazioneDialogo& c,
                                                          const std::string& nomeProposto) {
    QFileDialog d;
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setWindowTitle(QString::fromStdString(c.titolo));
    d.setDirectory(QString::fromStdString(c.cartellaIniziale));
    QString suffisso = QString::fromStdString(c.estensionePredefinita);
    if (suffisso.startsWith(QLatin1String("*.")))
        suffisso.remove(0, 2);
    d.setDefaultSuffix(suffisso);
    d.setNameFilters(FiltriQt(c.filtro));
    d.selectFile(QString::fromStdString(nomeProposto));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return std::nullopt;
    return d.selectedFiles().first().toStdString();
}

std::optional<std::string> QtPrompts::ScegliFileDaImportare(const ConfigurazioneDialogo& c) {
    QFileDialog d;
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setWindowTitle(QString::fromStdString(c.titolo));
    d.setDirectory(QString::fromStdString(c.cartellaIniziale));
    d.setNameFilters(FiltriQt(c.filtro));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return std::nullopt;
    return d.selectedFiles().first().toStdString();
}

} // namespace ondivo
