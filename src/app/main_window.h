#pragma once

#include "core/main_pages.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QTabWidget;
class QToolButton;

namespace ordan {

class Action;
class IndicatorLight;
class Station;

// The station's main window: menus, tool bar, the connection panel, six pages and the
// status bar, all bound to the Station. It holds no state of its own.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 633;
    static constexpr int kClientHeight = 496;

    explicit MainWindow(Station &station, QWidget *parent = nullptr);

    // Puts a part's page in place of its placeholder.
    void setPage(MainPage which, QWidget *page);
    QTabWidget *pages() const { return pages_; }

    // Menu items handled outside the station model: "&Расшифровка статуса", "&Справка",
    // "&О программе".
    std::function<void()> onStatusDecoding;
    std::function<void()> onHelp;
    std::function<void()> onAbout;
    // Runs when the window is activated (database mode identifies the workstation).
    std::function<void()> onActivated;
    // Asked before closing; false skips the close steps (the program was ended by the
    // identification of database mode).
    bool runCloseSteps = true;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildActions();
    void buildMenus();
    void buildLinkMenu(QMenuBar *bar);
    void buildPortAndBaudMenus(QMenu *link);
    void buildDatabaseMenu(QMenuBar *bar);
    void buildHelpMenu(QMenuBar *bar);
    void buildToolBar();
    void buildConnectionPanel();
    void buildPages();
    void buildStatusBar();
    void fillPortMenu();
    void applyTabVisibility();
    QAction *action(const Action &model) const;

    Station &station_;
    QTabWidget *pages_ = nullptr;
    QMenu *portMenu_ = nullptr;
    QMenu *baudMenu_ = nullptr;
    QComboBox *comboPort_ = nullptr;
    IndicatorLight *shape1_ = nullptr;
    QAction *shape1Action_ = nullptr;
    QLabel *panels_[3] = {};
    std::vector<QWidget *> pageWidgets_;
    // The window's action of each station action.
    QHash<const Action *, QAction *> actions_;
};

} // namespace ordan
