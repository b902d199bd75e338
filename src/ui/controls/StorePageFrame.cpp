#include "controls/StorePageFrame.h"

#include "controls/StoreWebView.h"
#include "core/TickSource.h"
#include "style/FormStyle.h"
#include "style/StockWidgets.h"

#include <QLabel>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

namespace klv::ui {

StorePageFrame::StorePageFrame(TickSource &beat, QWidget *parent)
    : QWidget(parent)
    , m_beat(beat)
    , m_view(new StoreWebView(this))
    , m_notice(new QWidget(this))
    , m_stack(new QStackedLayout(this)) {
    auto *title = makeLabel(tr("The store cannot be reached"), NamedColor::textPrimary, m_notice);
    title->setAlignment(Qt::AlignCenter);
    setLook(*title, "placeholderTitle");
    auto *subtitle = makeLabel(tr("Check the connection to the internet. This page loads by itself once the store "
                                  "answers again."),
                               NamedColor::textSecondary, m_notice);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setWordWrap(true);
    auto *layout = new QVBoxLayout(m_notice);
    layout->setContentsMargins(80, 0, 80, 60);
    layout->addStretch();
    layout->addWidget(title);
    layout->addSpacing(6);
    layout->addWidget(subtitle);
    layout->addStretch();
    m_notice->setObjectName(QStringLiteral("storeUnreachableNotice"));
    m_notice->setAccessibleName(title->text());

    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_notice);
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this, &StorePageFrame::loadingChanged);
    connect(&m_beat, &TickSource::ticked, this, &StorePageFrame::beat);
}

void StorePageFrame::load(const QUrl &url) {
    m_url = url;
    m_beatsWaited = 0;
    m_view->load(url);
}

bool StorePageFrame::isUnreachable() const {
    return m_stack->currentWidget() == m_notice;
}

QString StorePageFrame::noticeText() const {
    if (!isUnreachable())
        return {};
    QStringList texts;
    for (const QLabel *label : m_notice->findChildren<QLabel *>())
        texts.append(label->text());
    return texts.join(u'\n');
}

void StorePageFrame::loadingChanged(const QWebEngineLoadingInfo &loading) {
    // A load given up for the next one (net::ERR_ABORTED) says nothing of the store.
    constexpr int aborted = -3;
    if (loading.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
        showNotice(false);
    else if (loading.status() == QWebEngineLoadingInfo::LoadFailedStatus &&
             loading.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain && loading.errorCode() != aborted)
        showNotice(true);
}

void StorePageFrame::showNotice(bool shown) {
    if (shown == isUnreachable())
        return;
    m_beatsWaited = 0;
    m_stack->setCurrentWidget(shown ? m_notice : static_cast<QWidget *>(m_view));
    // The beat runs only once something counts down; the notice waiting for the store needs it too.
    if (shown)
        m_beat.start();
    Q_EMIT unreachableChanged(shown);
}

void StorePageFrame::beat() {
    if (!isUnreachable() || m_url.isEmpty() || ++m_beatsWaited < retryBeats)
        return;
    m_beatsWaited = 0;
    m_view->load(m_url);
}

} // namespace klv::ui
