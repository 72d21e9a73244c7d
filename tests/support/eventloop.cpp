#include "support/eventloop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace vxtest {

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::usleep(200);
    }
    return true;
}

void spinFor(int ms)
{
    waitUntil([] { return false; }, ms);
}

} // namespace vxtest
