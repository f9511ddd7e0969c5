#include "records/local_log_page.h"

#include "records/setting_table.h"
#include "ui/field_binding.h"

#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace ordan {

LocalLogPage::LocalLogPage(LocalLogView &view, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet5"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *panel = new QFrame;
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setObjectName(view.Panel6.objectName());
    BindState(panel, view.Panel6);
    auto *h = new QHBoxLayout(panel);
    h->setContentsMargins(6, 4, 6, 4);
    auto *number = new QSpinBox;
    Bind(number, view.SpinFilter);
    number->setMinimumWidth(90);
    auto dateEdit = [](Field<QDate> &field) {
        auto *edit = new QDateEdit;
        edit->setCalendarPopup(true);
        Bind(edit, field);
        return edit;
    };
    h->addWidget(new QLabel(QStringLiteral("Номер:")));
    h->addWidget(number);
    h->addSpacing(12);
    h->addWidget(new QLabel(QStringLiteral("c")));
    h->addWidget(dateEdit(view.DTP1));
    h->addWidget(new QLabel(QStringLiteral("по")));
    h->addWidget(dateEdit(view.DTP2));
    h->addStretch(1);
    auto *exportButton = new QPushButton;
    Bind(exportButton, view.BtnExport);
    h->addWidget(exportButton);
    outer->addWidget(panel);

    auto *count = new QLabel;
    count->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Bind(count, view.StatusBar2);
    // One line whether or not it shows a count.
    count->setMinimumHeight(count->fontMetrics().height() + 6);
    outer->addWidget(count);

    grid_ = new QTableView;
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setModel(new LocalLogTableModel(view, grid_));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < static_cast<int>(kSettingViewColumns.size()); ++c) {
        const int width = kSettingViewColumns[static_cast<size_t>(c)].width;
        grid_->setColumnWidth(c, width > 0 ? width : 72);
    }
    outer->addWidget(grid_, 1);
}

} // namespace ordan
