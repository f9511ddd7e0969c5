#include "meter/readings_page.h"

#include "meter/settings_page.h"
#include "ui/field_binding.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ordan {

void BindReadingsGrid(QTableWidget *table, Field<ReadingsGrid> &field)
{
    BindState(table, field);
    const int rows = static_cast<int>(std::tuple_size_v<ReadingsGrid>);
    table->setRowCount(rows);
    table->setColumnCount(2);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->horizontalHeader()->setMinimumSectionSize(16);
    table->verticalHeader()->setMinimumSectionSize(16);
    table->horizontalHeader()->setDefaultSectionSize(130);
    table->verticalHeader()->setDefaultSectionSize(16);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setFixedSize(table->horizontalHeader()->length() + 2 * table->frameWidth(),
                        table->verticalHeader()->length() + 2 * table->frameWidth());
    const QBrush fixed = table->palette().button();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 2; ++c) {
            auto *item = new QTableWidgetItem;
            if (r == 0 || c == 0) {
                item->setBackground(fixed);
                item->setFlags(Qt::ItemIsEnabled);
            } else {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            table->setItem(r, c, item);
        }
    }
    auto render = [table, &field] {
        const QSignalBlocker block(table);
        const ReadingsGrid &g = field.value();
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < 2; ++c)
                table->item(r, c)->setText(g[static_cast<size_t>(r)][static_cast<size_t>(c)]);
        table->setStyleSheet(field.isGreyText() ? QStringLiteral("color: rgb(128,128,128)") : QString());
    };
    render();
    QObject::connect(&field, &FieldBase::valueChanged, table, render);
    QObject::connect(&field, &FieldBase::stateChanged, table, render);
}

ReadingsPage::ReadingsPage(MeterParameters &model, QWidget *parent) : QWidget(parent)
{
    setObjectName(model.TabSheet3.objectName());
    // Rows of 16 px want the 8-point text the window was laid out for.
    QFont compact = font();
    compact.setPointSizeF(qMin<qreal>(compact.pointSizeF(), 8));
    setFont(compact);
    auto *outer = new QVBoxLayout(this);
    auto *readings = new QGroupBox(QStringLiteral(" Показания "));
    auto *h = new QHBoxLayout(readings);
    auto grid = [h](const QString &title, Field<ReadingsGrid> &field) {
        auto *box = new QGroupBox(title);
        auto *v = new QVBoxLayout(box);
        auto *table = new QTableWidget;
        BindReadingsGrid(table, field);
        v->addWidget(table);
        h->addWidget(box);
    };
    grid(QStringLiteral(" Текущие "), model.GridValue);
    grid(QStringLiteral(" На расчетный день  "), model.GridValue_1);
    h->addStretch();
    outer->addWidget(readings);

    auto *row = new QHBoxLayout;
    auto *reset = new QPushButton;
    Bind(reset, model.BitBtn5);
    row->addWidget(reset);
    row->addStretch();
    outer->addLayout(row);
    outer->addStretch();
}

} // namespace ordan
