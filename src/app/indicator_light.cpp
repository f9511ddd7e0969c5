#include "app/indicator_light.h"

#include <QPainter>

namespace ordan {

IndicatorLight::IndicatorLight(QWidget *parent) : QWidget(parent) { setFixedSize(19, 22); }

void IndicatorLight::setColor(const QColor &color)
{
    color_ = color;
    update();
}

void IndicatorLight::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(color_);
    p.drawEllipse(QRectF(1.5, 2.5, 16, 16));
}

} // namespace ordan
