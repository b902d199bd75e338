#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

namespace klv {

// Hands a call from any thread to the main thread, where it runs only if the context object (a main-thread
// object) still exists. The application object carries the call, so nothing dangles when the context goes.
template <typename T, typename Call> void postToMainThread(QPointer<T> guard, Call call) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [guard, call = std::move(call)]() mutable {
            if (guard)
                call();
        },
        Qt::QueuedConnection);
}

// Runs blocking work on the thread pool and hands its result to `done` on the main thread (see above).
template <typename Work, typename Done> void runOnWorker(QObject *context, Work work, Done done) {
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        postToMainThread(guard,
                         [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); });
    });
}

} // namespace klv
