#pragma once

#include <QLabel>

namespace ondivo {

// A label that reports a left click: the link field and the banner.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace ondivo
