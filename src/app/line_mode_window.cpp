#include "app/line_mode_window.h"

#include "app/line_mode.h"
#include "app/station.h"
#include "ui/field_binding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ordan {

namespace {
constexpr int kResultPointSize = 36;
constexpr int kCountersPointSize = 16;
const QColor kDoneColour(0, 160, 0);
const QColor kFailedColour(200, 0, 0);
} // namespace

LineModeWindow::LineModeWindow(Station &station, LineMode &line, QWidget *parent)
    : QWidget(parent, Qt::Window), station_(station), line_(line)
{
    setObjectName(QStringLiteral("TFormLine"));
    setWindowTitle(QStringLiteral("Режим линии"));
    auto *column = new QVBoxLayout(this);

    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("LineResult"));
    result_->setAlignment(Qt::AlignCenter);
    result_->setWordWrap(true);
    result_->setMinimumSize(640, 200);
    result_->setAutoFillBackground(true);
    QFont big = result_->font();
    big.setPointSize(kResultPointSize);
    big.setBold(true);
    result_->setFont(big);
    column->addWidget(result_, 1);

    counters_ = new QLabel(this);
    counters_->setObjectName(QStringLiteral("LineCounters"));
    QFont mid = counters_->font();
    mid.setPointSize(kCountersPointSize);
    counters_->setFont(mid);
    column->addWidget(counters_);

    auto *row = new QHBoxLayout;
    // The database gives the numbers in its mode; then the number is not shown.
    auto *nextLabel = new QLabel(QStringLiteral("Номер следующего прибора без номера:"), this);
    auto *next = new QSpinBox(this);
    next->setObjectName(QStringLiteral("LineNextNumber"));
    Bind(next, line_.LineNextNumber);
    nextLabel->setVisible(line_.LineNextNumber.isVisible());
    row->addWidget(nextLabel);
    row->addWidget(next);
    row->addStretch(1);
    auto *report = new QPushButton(this);
    report->setObjectName(QStringLiteral("BtnShiftReport"));
    Bind(report, station_.ActionShiftReport);
    row->addWidget(report);
    auto *arm = new QPushButton(this);
    arm->setObjectName(QStringLiteral("BtnLineMode"));
    Bind(arm, station_.ActionLineMode);
    row->addWidget(arm);
    column->addLayout(row);

    auto armText = [this, arm] {
        arm->setText(station_.LineModeArmed.value() ? QStringLiteral("Остановить линию")
                                                    : QStringLiteral("Запустить линию"));
        renderResult();
    };
    armText();
    connect(&station_.LineModeArmed, &FieldBase::valueChanged, this, armText);
    connect(&line_.LineResult, &FieldBase::valueChanged, this, &LineModeWindow::renderResult);
    connect(&line_.LineResultKind, &FieldBase::valueChanged, this, &LineModeWindow::renderResult);
    connect(&line_, &LineMode::meterFinished, this, &LineModeWindow::renderCounters);
    renderCounters();
}

void LineModeWindow::renderResult()
{
    QString text = line_.LineResult.value();
    if (text.isEmpty())
        text =
            station_.LineModeArmed.value() ? QStringLiteral("Ожидание прибора") : QStringLiteral("Линия остановлена");
    result_->setText(text);
    QPalette pal = result_->palette();
    switch (line_.LineResultKind.value()) {
    case LineOutcome::Done:
        pal.setColor(QPalette::Window, kDoneColour);
        pal.setColor(QPalette::WindowText, Qt::white);
        break;
    case LineOutcome::Failed:
    case LineOutcome::Refused:
        pal.setColor(QPalette::Window, kFailedColour);
        pal.setColor(QPalette::WindowText, Qt::white);
        break;
    case LineOutcome::None: pal = palette(); break;
    }
    result_->setPalette(pal);
}

void LineModeWindow::renderCounters()
{
    const LineCounters &c = line_.counters();
    counters_->setText(QStringLiteral("Смена %1:  запрограммировано %2,  ошибок %3,  отказов %4,  брак %5")
                           .arg(QLocale::system().toString(c.shift, QLocale::ShortFormat))
                           .arg(c.programmed)
                           .arg(c.failed)
                           .arg(c.refused)
                           .arg(c.defects));
}

} // namespace ordan
