#include "products/ProductInstallationViewScript.h"

#include "controls/KLVApp_ProgressInstallation.h"
#include "install/InstallationEngine.h"
#include "style/FormStyle.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace klv::ui {

ProductInstallationViewScript::ProductInstallationViewScript(InstallationEngine &engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_productInstallingName(new QLabel(this))
    , m_installProgressMsg(new QLabel(this))
    , m_progressBarIndicator(new KLVApp_ProgressInstallation(this))
    , m_pauseButton(new QToolButton(this))
    , m_cancelButton(new QToolButton(this)) {
    setObjectName(u"productInstalltionView"_s);
    setFixedHeight(70);
    m_productInstallingName->setObjectName(u"productInstallingName"_s);
    m_productInstallingName->setTextFormat(Qt::PlainText);
    setLook(*m_productInstallingName, "strong");
    m_installProgressMsg->setObjectName(u"installProgressMsg"_s);
    m_installProgressMsg->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_installProgressMsg->setMinimumWidth(64);
    m_progressBarIndicator->setObjectName(u"progressBarIndicator"_s);
    m_progressBarIndicator->setMaxValue(100);
    m_progressBarIndicator->setFixedHeight(6);
    // Drawn and reached like the cancel button beside it.
    m_pauseButton->setObjectName(u"pauseButton"_s);
    m_pauseButton->setIconSize({14, 14});
    m_pauseButton->setAutoRaise(true);
    m_pauseButton->setFocusPolicy(Qt::StrongFocus);
    connect(m_pauseButton, &QToolButton::clicked, this, &ProductInstallationViewScript::togglePause);
    m_cancelButton->setObjectName(u"cancelButton"_s);
    m_cancelButton->setIcon(IconLibrary::icon(u"close"_s));
    m_cancelButton->setIconSize({14, 14});
    m_cancelButton->setAccessibleName(tr("Cancel the installation"));
    m_cancelButton->setToolTip(tr("Cancel the installation"));
    m_cancelButton->setAutoRaise(true);
    m_cancelButton->setFocusPolicy(Qt::StrongFocus);
    connect(m_cancelButton, &QToolButton::clicked, this, &ProductInstallationViewScript::cancel);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(24, 12, 18, 14);
    layout->setHorizontalSpacing(14);
    layout->setVerticalSpacing(10);
    layout->addWidget(m_productInstallingName, 0, 0);
    layout->addWidget(m_installProgressMsg, 0, 1);
    layout->addWidget(m_progressBarIndicator, 1, 0, 1, 2);
    layout->addWidget(m_pauseButton, 0, 2, 2, 1, Qt::AlignVCenter);
    layout->addWidget(m_cancelButton, 0, 3, 2, 1, Qt::AlignVCenter);
    layout->setColumnStretch(0, 1);

    connect(&m_engine, &InstallationEngine::stripChanged, this, &ProductInstallationViewScript::refresh);
    setVisible(false);
}

QString ProductInstallationViewScript::titleText() const {
    return m_productInstallingName->text();
}

QString ProductInstallationViewScript::percentText() const {
    return m_installProgressMsg->text();
}

void ProductInstallationViewScript::showWaiting(const QString &text) {
    m_waitingText = text;
    refresh();
}

void ProductInstallationViewScript::stopWaiting() {
    m_waitingText.clear();
    refresh();
}

void ProductInstallationViewScript::cancel() {
    if (m_engine.stripVisible())
        m_engine.cancelInstallation();
    else if (!m_waitingText.isEmpty())
        Q_EMIT waitingCancelled();
}

void ProductInstallationViewScript::togglePause() {
    if (m_engine.downloadState() == InstallationEngine::DownloadState::paused)
        m_engine.resumeDownload();
    else
        m_engine.pauseDownload();
}

void ProductInstallationViewScript::refresh() {
    const bool running = m_engine.stripVisible();
    const bool waiting = !running && !m_waitingText.isEmpty();
    if (running) {
        m_productInstallingName->setText(m_engine.stripTitle());
        m_installProgressMsg->setText(m_engine.stripPercentText());
        m_progressBarIndicator->setCurrentValue(m_engine.stripValue());
        m_progressBarIndicator->setAccessibleDescription(m_engine.stripPercentText());
    } else if (waiting) {
        m_productInstallingName->setText(m_waitingText);
        m_installProgressMsg->clear();
    }
    m_progressBarIndicator->setVisible(running);
    const InstallationEngine::DownloadState download =
        running ? m_engine.downloadState() : InstallationEngine::DownloadState::none;
    const bool paused = download == InstallationEngine::DownloadState::paused;
    m_pauseButton->setVisible(download != InstallationEngine::DownloadState::none);
    m_pauseButton->setIcon(IconLibrary::icon(paused ? u"resume"_s : u"pause"_s));
    m_pauseButton->setAccessibleName(paused ? tr("Resume download") : tr("Pause download"));
    m_pauseButton->setToolTip(m_pauseButton->accessibleName());
    m_cancelButton->setVisible(running || waiting);
    m_cancelButton->setAccessibleName(running ? tr("Cancel the installation") : tr("Stop waiting"));
    m_cancelButton->setToolTip(m_cancelButton->accessibleName());
    const bool shown = running || waiting;
    // Whether it is shown, not whether it is visible: while another section is up nothing of the library is.
    if (shown == isHidden()) {
        setVisible(shown);
        Q_EMIT shownChanged(shown);
    }
}

void ProductInstallationViewScript::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::color(NamedColor::accountSettingSectionBG));
    painter.setPen(theme::color(NamedColor::separator));
    painter.drawLine(rect().bottomLeft(), rect().bottomRight());
}

} // namespace klv::ui
