#include "attachmententry.h"

#include "ansicodec.h"
#include "safename.h"

#include <QStringDecoder>

namespace ondivo {

QString TestoDaByte(const std::string& byte) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString testo = utf8(QByteArrayView(byte.data(), static_cast<qsizetype>(byte.size())));
    if (!utf8.hasError())
        return testo;
    return QString::fromStdString(AnsiToUtf8(byte));
}

VoceAllegato::VoceAllegato(const TAllegatoItem* allegato)
    : QListWidgetItem(QString::fromStdString(NomeVisibile(allegato->NomeFile))),
      m_allegato(allegato) {}

bool VoceAllegato::operator<(const QListWidgetItem& altra) const {
    return text().compare(altra.text(), Qt::CaseInsensitive) < 0;
}

} // namespace ondivo
