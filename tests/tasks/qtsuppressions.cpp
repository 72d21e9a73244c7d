// Qt comes from the distribution, built without sanitizers: its own locks, thread joins and
// reference counts are invisible to ThreadSanitizer, and its offscreen platform keeps a few
// objects until exit. These entries silence exactly those places inside Qt; a race or leak
// in code built here still shows, because its own frames are not listed.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QThreadPoolPrivate::reset\n"
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
