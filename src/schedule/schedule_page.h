#pragma once

#include <QList>
#include <QWidget>

class QComboBox;
class QLayout;
class QPushButton;
class QTableWidget;
class QTreeWidget;

namespace ordan {

class FieldBase;
class ScheduleModel;

// The page "Тарифное расписание": the zone table with its tariffs and start times, the
// day-type grid, the holiday and transfer lists, and the read and write buttons. It shows
// the model and passes the operator's edits on; it keeps no state of its own.
class SchedulePage final : public QWidget {
    Q_OBJECT
public:
    explicit SchedulePage(ScheduleModel &model, QWidget *parent = nullptr);

private:
    QWidget *buildTariffGroup();
    // The group's three columns: each zone's tariff, its start time and its day-type mask.
    QWidget *buildZoneTariffs(QWidget *group);
    QLayout *buildZoneStarts(QWidget *group);
    QWidget *buildZoneMasks(QWidget *group);
    QWidget *buildHolidayGroup();
    QWidget *buildTransferGroup();
    // The model's selection of one entry list: its change signal, its rows and its setter.
    struct EntrySelection {
        void (ScheduleModel::*changed)();
        const QList<int> &(ScheduleModel::*get)() const;
        void (ScheduleModel::*set)(const QList<int> &rows);
    };
    // The holiday or transfer list drawn again whenever the model's list changes, its
    // selection kept in step with the model's both ways.
    void FollowEntryList(QTreeWidget *view, FieldBase &list, void (SchedulePage::*render)(),
                         const EntrySelection &selection);
    // The group's layout: the input panel over the list.
    static void StackPanelOverList(QWidget *group, QWidget *panel, QTreeWidget *view);
    void renderTariffs();
    void renderMasks();
    void renderHolidays();
    void renderTransfers();

    ScheduleModel &model_;
    QTableWidget *tariffs_ = nullptr;
    QTableWidget *masks_ = nullptr;
    QTreeWidget *holidays_ = nullptr;
    QTreeWidget *transfers_ = nullptr;
};

} // namespace ordan
