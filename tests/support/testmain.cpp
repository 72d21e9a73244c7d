// The one main() of every test program: GoogleTest inside a QApplication, so that tests of
// widgets, timers, sockets and queued signals have the event loop they expect.
#include <QApplication>
#include <gmock/gmock.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
