#pragma once

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>

namespace ondivo {

// The sheet an invoice page is printed or exported on: A4 portrait, margins in millimetres.
// The page's print style is drawn for these margins; Qt's page layout overrides any @page
// margin of the page, so they are set here and only here.
inline QPageLayout LayoutStampa() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 12, 12, 14),
                       QPageLayout::Millimeter);
}

} // namespace ondivo
