#pragma once

#include "allegati.h"

#include <QListWidgetItem>

namespace ondivo {

// An entry of the attachment list: shows a record's file name and stays linked to that record.
// Entries sort by name without regard to letter case.
class VoceAllegato : public QListWidgetItem {
public:
    explicit VoceAllegato(const TAllegatoItem* allegato);

    // The linked record; the window empties the list before it releases the records.
    const TAllegatoItem* allegato() const { return m_allegato; }

    bool operator<(const QListWidgetItem& altra) const override;

private:
    const TAllegatoItem* m_allegato;
};

// The text of an invoice's bytes for display: UTF-8 when they are valid UTF-8, else
// Windows-1252.
QString TestoDaByte(const std::string& byte);

} // namespace ondivo
