#pragma once

#include <QMenu>
#include <QObject>

class QSystemTrayIcon;

namespace klv {
class Reporter;
}

namespace klv::ui {

// The application's item in the desktop's status area, with "Open" and "Quit". A desktop without a status area
// gets one log line and no item.
class StatusBarItem final : public QObject {
    Q_OBJECT
public:
    explicit StatusBarItem(const Reporter &reporter, QObject *parent = nullptr);

    bool isShown() const { return m_statusBarItem != nullptr; }
    QMenu &menu() { return m_menu; }

Q_SIGNALS:
    void openRequested();
    void quitRequested();

private:
    QMenu m_menu;
    QSystemTrayIcon *m_statusBarItem = nullptr;
};

} // namespace klv::ui
