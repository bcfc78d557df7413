#include "qtprompts.h"

#include "messages.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QPushButton>
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

namespace {

// A dialog of ours (not the system's), with the configuration's title and starting folder.
void preparaDialogo(QFileDialog& d, const ConfigurazioneDialogo& c) {
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setWindowTitle(QString::fromStdString(c.titolo));
    d.setDirectory(QString::fromStdString(c.cartellaIniziale));
}

// Runs the dialog; the path chosen, or nothing when it was closed without one.
std::optional<std::string> primaScelta(QFileDialog& d) {
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return std::nullopt;
    return d.selectedFiles().first().toStdString();
}

// Keeps a completion list of the file dialog from showing while the dialog is not on screen:
// the list of a folder still being read comes when the folder is, which can be after Enter
// has closed the dialog; it then stayed over the window and took the next click.
class SoloConDialogo : public QObject {
public:
    SoloConDialogo(QWidget* dialogo, QObject* genitore) : QObject(genitore), m_dialogo(dialogo) {}

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override {
        if (evento->type() == QEvent::Show && !m_dialogo->isVisible())
            if (auto* lista = qobject_cast<QWidget*>(oggetto))
                QMetaObject::invokeMethod(lista, &QWidget::hide, Qt::QueuedConnection);
        return false;
    }

private:
    QWidget* m_dialogo;
};

} // namespace

QtPrompts::QtPrompts() = default;
QtPrompts::~QtPrompts() = default;

void QtPrompts::ShowMessage(const std::string& testo) {
    CreaBox(QMessageBox::NoIcon, testo)->exec();
}

void QtPrompts::ShowError(const std::string& testo) {
    CreaBox(QMessageBox::Critical, testo)->exec();
}

QFileDialog& QtPrompts::dialogo() {
    if (!OpenDialog1) {
        OpenDialog1 = std::make_unique<QFileDialog>();
        OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
        OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        // Under the dialog's own buttons: the folder selected, or else the one shown, is
        // taken whole. The dialog's accept() would step into a selected folder instead.
        m_cartellaIntera =
            new QPushButton(QStringLiteral("Apri tutta la cartella"), OpenDialog1.get());
        m_cartellaIntera->setObjectName(QStringLiteral("apriCartellaIntera"));
        m_cartellaIntera->setAutoDefault(false);
        if (auto* griglia = qobject_cast<QGridLayout*>(OpenDialog1->layout()))
            griglia->addWidget(m_cartellaIntera, griglia->rowCount(), 0, 1, griglia->columnCount(),
                               Qt::AlignRight);
        QFileDialog* dialogo = OpenDialog1.get();
        for (QCompleter* completamento : dialogo->findChildren<QCompleter*>())
            completamento->popup()->installEventFilter(new SoloConDialogo(dialogo, dialogo));
        QObject::connect(m_cartellaIntera, &QPushButton::clicked, dialogo, [this, dialogo] {
            m_sceltaCartella = true;
            static_cast<QDialog*>(dialogo)->done(QDialog::Accepted); // past accept()'s checks
        });
    }
    return *OpenDialog1;
}

QStringList QtPrompts::apriDialogo(const ConfigurazioneDialogo& c) {
    QFileDialog& d = dialogo();
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
    m_sceltaCartella = false;
    const int esito = d.exec();
    // The dialog stays for the next command, and so would its completion list if open when
    // Enter took the typed name (SoloConDialogo keeps it from coming back).
    for (QCompleter* completamento : d.findChildren<QCompleter*>())
        if (completamento->popup())
            completamento->popup()->hide();
    if (esito != QDialog::Accepted)
        return {};
    m_indiceFiltro = static_cast<int>(filtri.indexOf(d.selectedNameFilter()));
    if (m_indiceFiltro < 0)
        m_indiceFiltro = 0;
    if (m_sceltaCartella) {
        for (const QString& scelto : d.selectedFiles())
            if (QFileInfo(scelto).isDir())
                return {scelto};
        return {d.directory().absolutePath()};
    }
    const QStringList scelti = d.selectedFiles();
    if (!scelti.isEmpty())
        m_nomeFile = QFileInfo(scelti.first()).fileName();
    return scelti;
}

std::optional<std::string> QtPrompts::ScegliFile(const ConfigurazioneDialogo& c) {
    dialogo().setFileMode(QFileDialog::AnyFile); // a typed missing name is accepted
    m_cartellaIntera->setVisible(false);
    const QStringList scelti = apriDialogo(c);
    if (scelti.isEmpty())
        return std::nullopt;
    return scelti.first().toStdString();
}

std::optional<SceltaFatture> QtPrompts::ScegliFatture(const ConfigurazioneDialogo& c) {
    dialogo().setFileMode(QFileDialog::ExistingFiles);
    m_cartellaIntera->setVisible(true);
    const QStringList scelti = apriDialogo(c);
    if (scelti.isEmpty())
        return std::nullopt;
    SceltaFatture scelta;
    if (m_sceltaCartella)
        scelta.cartella = scelti.first().toStdString();
    else
        for (const QString& s : scelti)
            scelta.file.push_back(s.toStdString());
    return scelta;
}

std::optional<std::string> QtPrompts::ScegliCartella(const ConfigurazioneDialogo& c) {
    QFileDialog d;
    preparaDialogo(d, c);
    d.setFileMode(QFileDialog::Directory);
    d.setOption(QFileDialog::ShowDirsOnly);
    return primaScelta(d);
}

bool QtPrompts::Chiedi(const std::string& testo, const std::string& procedi) {
    const auto box = CreaBox(QMessageBox::Warning, testo);
    box->setStandardButtons(QMessageBox::NoButton);
    QPushButton* avanti = box->addButton(QString::fromStdString(procedi), QMessageBox::AcceptRole);
    QPushButton* annulla = box->addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole);
    box->setDefaultButton(annulla);
    box->setEscapeButton(annulla);
    box->exec();
    return box->clickedButton() == avanti;
}

void QtPrompts::ShowRiepilogo(const std::string& testo, const std::vector<std::string>& motivi) {
    const auto box =
        CreaBox(motivi.empty() ? QMessageBox::Information : QMessageBox::Warning, testo);
    std::string dettagli;
    for (const auto& m : motivi)
        dettagli += m + "\n";
    // The details are a plain text box: nothing in them is read as markup.
    if (!dettagli.empty())
        box->setDetailedText(QString::fromStdString(dettagli));
    box->exec();
}

std::optional<std::string> QtPrompts::ScegliFileDaSalvare(const ConfigurazioneDialogo& c,
                                                          const std::string& nomeProposto) {
    QFileDialog d;
    preparaDialogo(d, c);
    d.setAcceptMode(QFileDialog::AcceptSave);
    QString suffisso = QString::fromStdString(c.estensionePredefinita);
    if (suffisso.startsWith(QLatin1String("*.")))
        suffisso.remove(0, 2);
    d.setDefaultSuffix(suffisso);
    d.setNameFilters(FiltriQt(c.filtro));
    d.selectFile(QString::fromStdString(nomeProposto));
    return primaScelta(d);
}

std::optional<std::string> QtPrompts::ScegliFileDaImportare(const ConfigurazioneDialogo& c) {
    QFileDialog d;
    preparaDialogo(d, c);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setNameFilters(FiltriQt(c.filtro));
    return primaScelta(d);
}

} // namespace ondivo
