#include "products/ProductInstallationViewScript.h"

#include "controls/KLVApp_ProgressInstallation.h"
#include "install/InstallationEngine.h"
#include "style/FormStyle.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"

#include <QEvent>
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
    // The layout gives the title its room; the title is fitted to it, never the other way round.
    m_productInstallingName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_productInstallingName->installEventFilter(this);
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
    return m_title;
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
        m_title = m_engine.stripTitle();
        const qsizetype job = m_engine.installingIndexInQueue();
        m_titleName = job >= 0 && job < m_engine.installingQueue().size()
                          ? m_engine.installingQueue().at(job).product_name
                          : QString();
        m_installProgressMsg->setText(m_engine.stripPercentText());
        m_progressBarIndicator->setCurrentValue(m_engine.stripValue());
        m_progressBarIndicator->setAccessibleDescription(m_engine.stripPercentText());
    } else if (waiting) {
        m_title = m_waitingText;
        m_titleName.clear();
        m_installProgressMsg->clear();
    }
    fitTitle();
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

void ProductInstallationViewScript::fitTitle() {
    const QFontMetrics metrics(m_productInstallingName->font());
    const int room = m_productInstallingName->contentsRect().width();
    QString shown = metrics.elidedText(m_title, Qt::ElideRight, room);
    const qsizetype name = m_titleName.isEmpty() ? -1 : m_title.indexOf(m_titleName);
    if (shown != m_title && name >= 0) {
        const QString before = m_title.left(name);
        const QString after = m_title.mid(name + m_titleName.size());
        const int nameRoom = room - metrics.horizontalAdvance(before) - metrics.horizontalAdvance(after);
        shown = before + metrics.elidedText(m_titleName, Qt::ElideRight, qMax(0, nameRoom)) + after;
    }
    m_productInstallingName->setText(shown);
    m_productInstallingName->setToolTip(shown == m_title ? QString() : m_title);
    m_productInstallingName->setAccessibleName(m_title);
}

bool ProductInstallationViewScript::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_productInstallingName && event->type() == QEvent::Resize)
        fitTitle();
    return QWidget::eventFilter(watched, event);
}

void ProductInstallationViewScript::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::color(NamedColor::accountSettingSectionBG));
    painter.setPen(theme::color(NamedColor::separator));
    // It sits below the list, like a download shelf.
    painter.drawLine(rect().topLeft(), rect().topRight());
}

} // namespace klv::ui
