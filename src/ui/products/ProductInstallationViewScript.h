#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace klv {
class InstallationEngine;
}

namespace klv::ui {

class KLVApp_ProgressInstallation;

// The installation strip above the library: what is installing (job i of n and the current step), the
// percentage, a bar, the button that pauses and resumes the package download, and the cancel button, all taken
// from the installation engine. It also says when the installation queue is busy in another program.
class ProductInstallationViewScript final : public QWidget {
    Q_OBJECT
public:
    explicit ProductInstallationViewScript(InstallationEngine &engine, QWidget *parent = nullptr);

    void showWaiting(const QString &text);
    void stopWaiting();

    QString titleText() const;
    QString percentText() const;
    QToolButton &cancelButton() const { return *m_cancelButton; }
    QToolButton &pauseButton() const { return *m_pauseButton; }

Q_SIGNALS:
    // The strip appeared or went; the library area gives it room.
    void shownChanged(bool shown);
    // The cancel button was pressed while the strip waited for another program.
    void waitingCancelled();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    // The title in the room it has: a long product name is cut with "…", the counts and the step stay.
    void fitTitle();
    void cancel();
    void togglePause();

    InstallationEngine &m_engine;
    QLabel *m_productInstallingName;
    QLabel *m_installProgressMsg;
    KLVApp_ProgressInstallation *m_progressBarIndicator;
    QToolButton *m_pauseButton;
    QToolButton *m_cancelButton;
    QString m_waitingText;
    QString m_title;
    // The part of the title that may be cut: the running job's product name.
    QString m_titleName;
};

} // namespace klv::ui
