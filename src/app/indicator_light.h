#pragma once

#include <QColor>
#include <QWidget>

namespace ordan {

// The write indicator: a filled circle, green for a finished write, red for a failed one.
class IndicatorLight final : public QWidget {
    Q_OBJECT
public:
    explicit IndicatorLight(QWidget *parent = nullptr);
    void setColor(const QColor &color);
    QColor color() const { return color_; }
    QSize sizeHint() const override { return {19, 22}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color_ = Qt::green;
};

} // namespace ordan
