#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <mutex>

namespace klv::ui {

// Decodes stored product pictures on a thread of its own, cropped as the rows show them, scaled to a square and
// given rounded corners, so that painting never waits for the disk or a decoder and draws no clip path. The newest
// requests go first and only the latest few wait: while the outline scrolls, pictures of rows already gone by are not
// decoded.
class PictureLoader final : public QObject {
    Q_OBJECT
public:
    explicit PictureLoader(QObject *parent = nullptr);
    ~PictureLoader() override;

    // Asks for the picture at path, side pixels square with corners of that radius in pixels; loaded follows
    // unless a newer request pushed it out. Asking again for a product already waiting or being decoded changes
    // nothing.
    void request(qint64 productId, const QString &path, int side, qreal cornerRadius);

    // The middle square of a picture scaled to cover side pixels, outside its rounded corners transparent.
    static QImage roundedSquare(const QImage &picture, int side, qreal cornerRadius);

Q_SIGNALS:
    // On the loader's thread of creation; the picture is null when the file holds none.
    void loaded(qint64 productId, const QImage &picture);

private:
    struct Request {
        qint64 productId = 0;
        QString path;
        int side = 0;
        qreal cornerRadius = 0;
    };

    void decodePending();

    static constexpr qsizetype maxWaiting = 64;
    std::mutex m_mutex;
    QList<Request> m_waiting;
    qint64 m_decoding = -1;
    bool m_running = false;
    QThreadPool m_pool;
};

} // namespace klv::ui
