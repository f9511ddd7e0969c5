#include "app/main_window.h"

#include "app/indicator_light.h"
#include "app/station.h"
#include "app/tint_color.h"
#include "core/timings.h"
#include "journals/journal_page.h"
#include "link/exchange_log_page.h"
#include "meter/meter_panel.h"
#include "meter/readings_page.h"
#include "meter/settings_page.h"
#include "schedule/schedule_model.h"
#include "schedule/schedule_page.h"
#include "ui/field_binding.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace ordan {

namespace {

QIcon ActionIcon(int index) { return QIcon(QStringLiteral(":/icons/action%1.png").arg(index)); }

// The label's font, or a smaller one, so that its text fits inside the frame and indent.
void FitText(QLabel *label)
{
    QFont font = label->parentWidget()->font();
    const int room = label->contentsRect().width() - 2 * label->indent();
    const bool points = font.pointSizeF() > 0;
    while (QFontMetrics(font).horizontalAdvance(label->text()) > room) {
        if (points && font.pointSizeF() > 5)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        else if (!points && font.pixelSize() > 7)
            font.setPixelSize(font.pixelSize() - 1);
        else
            break;
    }
    label->setFont(font);
}

} // namespace

MainWindow::MainWindow(Station &station, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      station_(station)
{
    setObjectName(QStringLiteral("TFormMain"));
    setWindowTitle(WindowTitle());
    setWindowIcon(QIcon(QStringLiteral(":/icons/ordan.png")));
    buildActions();
    buildMenus();
    buildToolBar();

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);
    buildConnectionPanel();
    buildPages();
    buildStatusBar();

    // The client area is the window below its menu bar.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    // The DDM shortcuts must reach their actions past a focused edit that takes the keys.
    qApp->installEventFilter(this);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::buildActions()
{
    const struct {
        Action *model;
        int image;
    } list[] = {
        {&station_.ActionConnect, 0},    {&station_.ActionDisconnect, 1},  {&station_.ActionSetting(), 2},
        {&station_.ActionReset, 3},      {&station_.ActionOpen, 4},        {&station_.ActionClose, 5},
        {&station_.ActionSpoilage, 6},   {&station_.ActionFindAddress, 8}, {&station_.ActionFixDb, 9},
        {&station_.ActionPlusDDM(), -1}, {&station_.ActionMinusDDM(), -1}, {&station_.ActionLineMode, -1},
    };
    for (const auto &entry : list) {
        auto *action = new QAction(this);
        if (entry.image >= 0)
            action->setIcon(ActionIcon(entry.image));
        Bind(action, *entry.model);
        addAction(action); // shortcuts work without a menu item too
        actions_.insert(entry.model, action);
    }
}

QAction *MainWindow::action(const Action &model) const { return actions_.value(&model); }

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    buildLinkMenu(bar);

    QMenu *settings = bar->addMenu(QStringLiteral("&Установки"));
    settings->setToolTipsVisible(true);
    settings->addAction(action(station_.ActionSetting()));
    settings->addAction(action(station_.ActionFixDb));
    settings->addAction(action(station_.ActionSpoilage));
    settings->addAction(action(station_.ActionReset));
    QAction *line = action(station_.ActionLineMode);
    line->setCheckable(true);
    auto armed = [this, line] { line->setChecked(station_.LineModeArmed.value()); };
    armed();
    connect(&station_.LineModeArmed, &FieldBase::valueChanged, line, armed);
    // The item shows the state; the action's handler changes it.
    connect(line, &QAction::triggered, line, armed);
    settings->addAction(line);

    buildDatabaseMenu(bar);
    buildHelpMenu(bar);
}

void MainWindow::buildLinkMenu(QMenuBar *bar)
{
    QMenu *link = bar->addMenu(QStringLiteral("&Связь"));
    link->setToolTipsVisible(true);
    link->setObjectName(QStringLiteral("N1"));
    buildPortAndBaudMenus(link);

    link->addSeparator();
    link->addAction(action(station_.ActionConnect));
    link->addAction(action(station_.ActionDisconnect));
    link->addSeparator();
    link->addAction(action(station_.ActionFindAddress));
    link->addSeparator();
    QAction *exit = link->addAction(QStringLiteral("В&ыход"));
    exit->setObjectName(QStringLiteral("NExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::buildPortAndBaudMenus(QMenu *link)
{
    portMenu_ = link->addMenu(QStringLiteral("&Порт"));
    portMenu_->setObjectName(QStringLiteral("NPort"));
    baudMenu_ = link->addMenu(QStringLiteral("&Скорость"));
    baudMenu_->setObjectName(QStringLiteral("NBaud"));
    auto *baudGroup = new QActionGroup(baudMenu_);
    for (int tag = 0; tag < int(kBaudRates.size()); ++tag) {
        QAction *item = baudMenu_->addAction(QString::number(kBaudRates[size_t(tag)]));
        item->setCheckable(true);
        item->setData(tag);
        baudGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, tag] { station_.panel().N12001Click(tag); });
    }
    auto markBaud = [this] {
        const auto items = baudMenu_->actions();
        for (QAction *item : items)
            item->setChecked(item->data().toInt() == station_.panel().ComboBaud.value());
    };
    markBaud();
    connect(&station_.panel().ComboBaud, &FieldBase::valueChanged, baudMenu_, markBaud);
    auto menuState = [this] {
        portMenu_->setEnabled(station_.panel().NPortMenu.isEnabled());
        baudMenu_->setEnabled(station_.panel().NBaudMenu.isEnabled());
    };
    connect(&station_.panel().NPortMenu, &FieldBase::stateChanged, this, menuState);
    connect(&station_.panel().NBaudMenu, &FieldBase::stateChanged, this, menuState);
    fillPortMenu();
    connect(&station_.panel(), &ConnectionPanel::portsChanged, this, &MainWindow::fillPortMenu);
    connect(&station_.panel().NPort, &FieldBase::valueChanged, this, [this] {
        const auto items = portMenu_->actions();
        for (QAction *item : items)
            item->setChecked(item->data().toInt() == station_.panel().NPort.value());
    });
}

void MainWindow::buildDatabaseMenu(QMenuBar *bar)
{
    QMenu *db = bar->addMenu(QStringLiteral("&База данных"));
    db->setToolTipsVisible(true);
    db->addAction(action(station_.ActionOpen));
    db->addAction(action(station_.ActionClose));
    QAction *status = db->addAction(QStringLiteral("&Расшифровка статуса"));
    status->setObjectName(QStringLiteral("N17"));
    connect(status, &QAction::triggered, this, [this] {
        if (onStatusDecoding)
            onStatusDecoding();
    });
}

void MainWindow::buildHelpMenu(QMenuBar *bar)
{
    QMenu *help = bar->addMenu(QStringLiteral("&?"));
    QAction *helpItem = help->addAction(QStringLiteral("&Справка"));
    helpItem->setObjectName(QStringLiteral("N20"));
    connect(helpItem, &QAction::triggered, this, [this] {
        if (onHelp)
            onHelp();
    });
    help->addSeparator();
    QAction *about = help->addAction(QStringLiteral("&О программе"));
    about->setObjectName(QStringLiteral("N15"));
    connect(about, &QAction::triggered, this, [this] {
        if (onAbout)
            onAbout();
    });
}

void MainWindow::fillPortMenu()
{
    portMenu_->clear();
    auto *group = new QActionGroup(portMenu_);
    for (const PortItem &port : station_.panel().ports()) {
        if (port.number == 0)
            continue; // a name without a readable number has no menu item
        QAction *item = portMenu_->addAction(port.name);
        item->setCheckable(true);
        item->setData(port.number);
        item->setChecked(port.number == station_.panel().NPort.value());
        group->addAction(item);
        const int tag = port.number;
        connect(item, &QAction::triggered, this, [this, tag] { station_.panel().PortMenuClick(tag); });
    }
    if (comboPort_) {
        const QSignalBlocker block(comboPort_);
        comboPort_->clear();
        for (const PortItem &port : station_.panel().ports())
            comboPort_->addItem(port.name);
        comboPort_->setCurrentIndex(station_.panel().ComboPort.value());
    }
}

void MainWindow::buildToolBar()
{
    QToolBar *bar = addToolBar(QStringLiteral("ToolBar1"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto add = [&](const Action &model) { bar->addAction(action(model)); };
    add(station_.ActionConnect);
    add(station_.ActionDisconnect);
    add(station_.ActionFindAddress);
    bar->addSeparator();
    add(station_.ActionSetting());
    add(station_.ActionFixDb);
    add(station_.ActionSpoilage);
    add(station_.ActionReset);
    bar->addSeparator();
    add(station_.ActionOpen);
    add(station_.ActionClose);
    bar->addSeparator();
    if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action(station_.ActionFixDb))))
        button->setObjectName(QStringLiteral("ToolButtonFixDb"));
    if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action(station_.ActionSpoilage))))
        button->setObjectName(QStringLiteral("ToolButton11"));
    if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action(station_.ActionOpen)))) {
        auto hint = [button] { button->setToolTip(QStringLiteral("Открыть таблицу")); };
        hint();
        // The button takes the action's hint again at every change of the action.
        connect(action(station_.ActionOpen), &QAction::changed, button, hint);
    }

    shape1_ = new IndicatorLight(bar);
    shape1_->setObjectName(QStringLiteral("Shape1"));
    shape1Action_ = bar->addWidget(shape1_);
    auto render = [this] {
        const Indicator state = station_.panel().Shape1.value();
        shape1_->setColor(state == Indicator::Red ? QColor(255, 0, 0) : QColor(0, 255, 0));
        shape1Action_->setVisible(state != Indicator::Hidden);
    };
    render();
    connect(&station_.panel().Shape1, &FieldBase::valueChanged, this, render);
}

void MainWindow::buildConnectionPanel()
{
    auto *panel = new QWidget(centralWidget());
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    const QColor face = pal.color(QPalette::Button);
    const Rgb tinted = TintColor({face.red(), face.green(), face.blue()}, 2, 2, 0);
    pal.setColor(QPalette::Window, QColor(tinted.r, tinted.g, tinted.b));
    panel->setPalette(pal);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(4);

    row->addWidget(new QLabel(QStringLiteral("Порт:"), panel));
    comboPort_ = new QComboBox(panel);
    comboPort_->setMinimumContentsLength(8);
    comboPort_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    row->addWidget(comboPort_);
    Bind(comboPort_, station_.panel().ComboPort);

    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("Скорость :"), panel));
    auto *comboBaud = new QComboBox(panel);
    for (int baud : kBaudRates)
        comboBaud->addItem(QString::number(baud));
    row->addWidget(comboBaud);
    Bind(comboBaud, station_.panel().ComboBaud);

    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("Адрес :"), panel));
    auto *spinAddr = new QSpinBox(panel);
    spinAddr->findChild<QLineEdit *>()->setMaxLength(6);
    row->addWidget(spinAddr);
    Bind(spinAddr, station_.panel().SpinAddr);

    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("Таймаут :"), panel));
    auto *spinTimer = new QSpinBox(panel);
    spinTimer->setSingleStep(timing::Ms(timing::kReplyTimeoutStep));
    spinTimer->findChild<QLineEdit *>()->setReadOnly(true); // changed by its arrows only
    row->addWidget(spinTimer);
    Bind(spinTimer, station_.panel().SpinTimer);
    row->addWidget(new QLabel(QStringLiteral("мсек"), panel));
    row->addStretch(1);

    static_cast<QVBoxLayout *>(centralWidget()->layout())->addWidget(panel);
}

void MainWindow::buildPages()
{
    pages_ = new QTabWidget(centralWidget());
    pages_->setObjectName(QStringLiteral("PageControl1"));
    const char *names[kMainPageCount] = {"TabSheet1", "TabSchedule", "TabSheet3",
                                         "TabSheet2", "TabSheet4",   "TabSheet5"};
    const QString captions[kMainPageCount] = {QStringLiteral("Установка"),       QStringLiteral("Тарифное расписание"),
                                              QStringLiteral("Показания"),       QStringLiteral("Журнал"),
                                              station_.TabSheet4Caption.value(), QStringLiteral("База данных")};
    for (int i = 0; i < kMainPageCount; ++i) {
        QWidget *page = nullptr;
        switch (static_cast<MainPage>(i)) {
        case MainPage::Settings: page = new SettingsPage(station_.meter().parameters()); break;
        case MainPage::Schedule: page = new SchedulePage(station_.schedule()); break;
        case MainPage::Readings: page = new ReadingsPage(station_.meter().parameters()); break;
        case MainPage::Journal: page = new JournalPage(station_.journals()); break;
        case MainPage::ExchangeLog: page = new ExchangeLogPage(station_.engine().log()); break;
        case MainPage::Database: page = new QWidget; break; // the local log's page replaces it
        }
        page->setObjectName(QString::fromLatin1(names[i]));
        pages_->addTab(page, captions[i]);
        pageWidgets_.push_back(page);
    }
    connect(&station_.TabSheet4Caption, &FieldBase::valueChanged, this,
            [this] { pages_->setTabText(PageIndex(MainPage::ExchangeLog), station_.TabSheet4Caption.value()); });
    connect(&station_.TabScheduleVisible, &FieldBase::valueChanged, this, &MainWindow::applyTabVisibility);
    connect(&station_.TabSheet5Visible, &FieldBase::valueChanged, this, &MainWindow::applyTabVisibility);
    applyTabVisibility();
    static_cast<QVBoxLayout *>(centralWidget()->layout())->addWidget(pages_, 1);
}

void MainWindow::setPage(MainPage which, QWidget *page)
{
    const int index = PageIndex(which);
    QWidget *old = pageWidgets_[static_cast<size_t>(index)];
    page->setObjectName(old->objectName());
    const QString caption = pages_->tabText(index);
    pages_->removeTab(index);
    pages_->insertTab(index, page, caption);
    pageWidgets_[static_cast<size_t>(index)] = page;
    old->deleteLater();
    applyTabVisibility();
    pages_->setCurrentIndex(0);
}

void MainWindow::applyTabVisibility()
{
    pages_->setTabVisible(PageIndex(MainPage::Schedule), station_.TabScheduleVisible.value());
    pages_->setTabVisible(PageIndex(MainPage::Database), station_.TabSheet5Visible.value());
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setAutoFillBackground(true);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, QColor(192, 220, 192));
    bar->setPalette(pal);
    // The three panels sit in one strip of their own, with the narrow gaps of the panels the
    // station was drawn with; the status bar's own spacing would not leave panel 2 its room.
    auto *strip = new QWidget(bar);
    strip->setObjectName(QStringLiteral("StatusPanels"));

    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 2, 0);
    row->setSpacing(2);
    const int widths[] = {250, 320, 50};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(strip);
        panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panels_[i]->setFrameShape(QFrame::StyledPanel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        panels_[i]->setIndent(3);
        // Panel 0 counts every exchange: a panel of fixed size takes a new text without
        // laying out the status bar again.
        const int height = panels_[i]->fontMetrics().height() + 2 * panels_[i]->frameWidth();
        if (i < 2)
            panels_[i]->setFixedSize(widths[i], height);
        else
            panels_[i]->setMinimumSize(widths[i], height);
        row->addWidget(panels_[i], i == 2 ? 1 : 0);
    }
    bar->addWidget(strip, 1);
    panels_[2]->setText(QStringLiteral("ОРДАН-КЛВ"));
    // Panel 2 has the rest of the width, about 50 px: its text gets a font small enough to
    // fit there with its indent, whatever the system font is.
    panels_[2]->installEventFilter(this);
    Bind(panels_[0], station_.panel().StatusPanel0);
    Bind(panels_[1], station_.panel().StatusPanel1);
}

bool MainWindow::event(QEvent *event)
{
    // Hints show as tooltips; the status bar keeps its panels.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panels_[2] && event->type() == QEvent::Resize)
        FitText(panels_[2]);
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        for (const Action *model : {&station_.ActionPlusDDM(), &station_.ActionMinusDDM()}) {
            const QAction *action = this->action(*model);
            if (action && action->isEnabled() && action->shortcut() == pressed) {
                // Not taken by the focused control, so the shortcut goes to the action.
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (runCloseSteps)
        station_.FormClose();
    event->accept();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && onActivated)
        onActivated();
}

} // namespace ordan
