#pragma once

#include <QUrl>
#include <QWidget>

class QStackedLayout;
class QWebEngineLoadingInfo;

namespace klv {
class TickSource;
}

namespace klv::ui {

class StoreWebView;

// A store web page inside the window or, while the store cannot be reached, the window's own dark notice saying
// so, in place of the browser's bright error page. Until the page loads, it is asked for again every few beats.
class StorePageFrame final : public QWidget {
    Q_OBJECT
public:
    static constexpr int retryBeats = 10;

    StorePageFrame(TickSource &beat, QWidget *parent = nullptr);

    StoreWebView &view() const { return *m_view; }
    void load(const QUrl &url);
    bool isUnreachable() const;
    QString noticeText() const;

Q_SIGNALS:
    void unreachableChanged(bool unreachable);

private:
    void loadingChanged(const QWebEngineLoadingInfo &loading);
    void showNotice(bool shown);
    void beat();

    TickSource &m_beat;
    StoreWebView *m_view;
    QWidget *m_notice;
    QStackedLayout *m_stack;
    QUrl m_url;
    int m_beatsWaited = 0;
};

} // namespace klv::ui
