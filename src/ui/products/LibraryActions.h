#pragma once

#include <QObject>
#include <QPoint>
#include <QStringList>

class QModelIndex;
class QWidget;

namespace klv {
class AppContext;
struct OutlineViewItem;
struct UninstallReport;
} // namespace klv

namespace klv::ui {

class LibraryModel;

// What a library row's buttons do: the product button installs, the option menu offers what the product's state
// allows. Every change to what is installed waits for this home's installation queue, which a `klv` in a
// terminal may hold; the window says so and goes on once it is free.
class LibraryActions final : public QObject {
    Q_OBJECT
public:
    LibraryActions(AppContext &context, LibraryModel &model, QWidget &menuParent, QObject *parent = nullptr);

    void pressProductButton(const QModelIndex &index);
    // The menu opens below the button, its right edge at the button's: rows end at the window's edge.
    void showOptionMenu(const QModelIndex &index, const QRect &globalButton);
    // Runs one item of the option menu, by its whole title.
    void runMenuItem(const OutlineViewItem &record, const QString &title);
    // Gives up waiting for another program's installation: what was asked for meanwhile is not done.
    void stopWaitingForQueue();

Q_SIGNALS:
    // Another program holds the installation queue; the text says which and what waits for it.
    void waitingForQueue(const QString &text);
    // Nothing waits for the queue any more: it became ours, or the wait was given up.
    void queueTaken();

private:
    void install(const OutlineViewItem &record);
    void update(const OutlineViewItem &record);
    void uninstall(const OutlineViewItem &record);
    void tellUninstalled(const OutlineViewItem &record, const UninstallReport &report);
    // Installs or updates once the queue is ours; until then the row shows the request waiting.
    void requestWhenQueueIsOurs(const OutlineViewItem &record, bool isNewInstall);
    QString waitingText() const;

    AppContext &m_context;
    LibraryModel &m_model;
    QWidget &m_menuParent;
};

} // namespace klv::ui
