#pragma once

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>

namespace ondivo {

// The printed page: A4 portrait with the margins the page's print style is drawn for (the
// engine takes the printer's margins, not the style's).
inline QPageLayout LayoutStampa() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 12, 12, 14),
                       QPageLayout::Millimeter);
}

} // namespace ondivo
