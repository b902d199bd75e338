#include "StatusBarItem.h"

#include "IconLibrary.h"
#include "store/Reporter.h"

#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace klv::ui {

StatusBarItem::StatusBarItem(const Reporter &reporter, QObject *parent)
    : QObject(parent) {
    m_menu.setTitle(QString());
    connect(m_menu.addAction(u"Open"_s), &QAction::triggered, this, &StatusBarItem::openRequested);
    connect(m_menu.addAction(u"Quit"_s), &QAction::triggered, this, &StatusBarItem::quitRequested);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        reporter.appendLog(u"The desktop has no status area: the KLV App shows no status item."_s);
        return;
    }
    m_statusBarItem = new QSystemTrayIcon(IconLibrary::icon(u"menuBarLogo"_s), this);
    m_statusBarItem->setToolTip(u"KLV App"_s);
    m_statusBarItem->setContextMenu(&m_menu);
    connect(m_statusBarItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT openRequested();
    });
    m_statusBarItem->show();
}

} // namespace klv::ui
