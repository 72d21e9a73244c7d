// Qt comes from the distribution, built without sanitizers: its own locks, thread joins and
// reference counts are invisible to ThreadSanitizer (so the hand-over of a queued signal's
// event looks like a race), and its offscreen platform keeps a few objects until exit.
// These entries silence only what happens inside Qt; a race or leak between accesses in
// code built here still shows.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QMetaType::create\n"
           "race:QCoreApplicationPrivate::sendPostedEvents\n"
           "race:QThreadPoolPrivate::reset\n"
           "race:QWaitCondition::~QWaitCondition\n"
           "race:QObjectPrivate::ConnectionData::deleteOrphaned\n";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:QPlatformScreen::QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n"
           "leak:ExternalRefCountData::getAndRef\n"
           "leak:QObject::QObject\n";
}

// Allocations and frees that Qt makes count as synchronisation-neutral, not as accesses:
// a queued signal's event is made on the sending thread and read on the receiving one
// behind Qt's own lock.
extern "C" const char *__tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
