#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QModelIndex;
class QWidget;

namespace klv {
class AppContext;
struct OutlineViewItem;
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

Q_SIGNALS:
    // Another program holds the installation queue; the text says which.
    void waitingForQueue(const QString &text);
    void queueTaken();

private:
    void install(const OutlineViewItem &record);
    void update(const OutlineViewItem &record);
    void requestInstallation(const OutlineViewItem &record, bool isNewInstall);
    void uninstall(const OutlineViewItem &record);
    void whenQueueIsOurs(std::function<void()> work);
    void runWaitingWork();
    void releaseQueueWhenIdle();

    AppContext &m_context;
    LibraryModel &m_model;
    QWidget &m_menuParent;
    QList<std::function<void()>> m_waitingWork;
    // Work that may still change what is installed: the queue stays ours until all of it has ended.
    int m_uninstallsRunning = 0;
    int m_requestsRunning = 0;
};

} // namespace klv::ui
