#pragma once

#include <QMenu>
#include <QObject>

class QSystemTrayIcon;

namespace klv {
class MarketingCenter;
class Reporter;
} // namespace klv

namespace klv::ui {

// The application's item in the desktop's status area: "Open" and "Quit", then the running sale's countdown (a
// line that cannot be chosen) and "Check for Updates". On a desktop without a status area the item waits for one,
// with one log line.
class StatusBarItem final : public QObject {
    Q_OBJECT
public:
    explicit StatusBarItem(const Reporter &reporter, QObject *parent = nullptr);

    QMenu &menu() { return m_menu; }
    // The sale line's text; empty hides it.
    void setSaleLine(const QString &text);
    // Keeps the sale line on the store's sale: its title and countdown while it runs, hidden otherwise.
    void followSale(MarketingCenter &marketing);

Q_SIGNALS:
    void openRequested();
    void quitRequested();
    void checkForUpdatesRequested();

private:
    QMenu m_menu;
    QAction *m_saleLine;
    QSystemTrayIcon *m_statusBarItem;
};

} // namespace klv::ui
