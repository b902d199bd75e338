#include "shell/StatusBarItem.h"

#include "marketing/MarketingCenter.h"
#include "store/Reporter.h"
#include "style/IconLibrary.h"

#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace klv::ui {

StatusBarItem::StatusBarItem(const Reporter &reporter, QObject *parent)
    : QObject(parent) {
    m_menu.setTitle(QString());
    connect(m_menu.addAction(u"Open"_s), &QAction::triggered, this, &StatusBarItem::openRequested);
    connect(m_menu.addAction(u"Quit"_s), &QAction::triggered, this, &StatusBarItem::quitRequested);
    m_menu.addSeparator();
    m_saleLine = m_menu.addAction(QString());
    m_saleLine->setEnabled(false);
    m_saleLine->setVisible(false);
    connect(m_menu.addAction(tr("Check for Updates")), &QAction::triggered, this,
            &StatusBarItem::checkForUpdatesRequested);
    // Made and shown whatever the desktop has now: a status area that appears later (a panel started after the
    // app) takes the item in as soon as it is there.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        reporter.appendLog(u"The desktop has no status area yet: the KLV App's status item appears once it has one."_s);
    m_statusBarItem = new QSystemTrayIcon(IconLibrary::icon(u"menuBarLogo"_s), this);
    m_statusBarItem->setToolTip(u"KLV App"_s);
    m_statusBarItem->setContextMenu(&m_menu);
    connect(m_statusBarItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT openRequested();
    });
    m_statusBarItem->show();
}

void StatusBarItem::followSale(MarketingCenter &marketing) {
    const auto show = [this, &marketing](const QString &countdown) {
        const bool running = !marketing.saleOfTheDayPList().isEmpty() && !countdown.isEmpty();
        setSaleLine(running ? marketing.saleTitle() + u" · "_s + countdown : QString());
    };
    connect(&marketing, &MarketingCenter::countdownChanged, this, show);
    connect(&marketing, &MarketingCenter::saleListChanged, this,
            [&marketing, show] { show(marketing.countDownDate()); });
}

void StatusBarItem::setSaleLine(const QString &text) {
    m_saleLine->setText(text);
    m_saleLine->setVisible(!text.isEmpty());
}

} // namespace klv::ui
