// Entry of the update program: tidy what earlier releases left, set up the run log and the
// translations, settle the configuration and run the event loop. The order matters: the log
// must exist before the first diagnostic line, and leftovers go before anything is loaded.
#include "configuration.h"
#include "runlog.h"
#include "updateengine.h"
#include "updateversions.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

#include <google/protobuf/stubs/common.h>
#include <google/protobuf/stubs/logging.h>

namespace {

const char kUsage[] =
    "Usage: update [TYPE NUMBER]\n"
    "       update --clientupdate|--nouser [TYPE NUMBER [TEXT|#]]\n"
    "\n"
    "Brings the Voxtrel client around this update.app to the version its release channel offers.\n"
    "Without arguments the version is asked from the version server, unless the temp folder\n"
    "holds the argument file vx3clientupdateargs. --clientupdate updates the client itself\n"
    "(the second step); --nouser updates the updater first. TYPE is the product type, NUMBER\n"
    "the version number, TEXT the version text shown.\n"
    "\n"
    "Exit codes: 0 done, 1 command line or configuration error, 2 update error.\n";

// Asking for help must not tidy, log or update anything.
bool isHelpRequest(int argc, char **argv)
{
    return argc == 2 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0);
}

void removeLeftovers(const QString &base)
{
    UpdateEngine::removeQt4Files(base);
    UpdateEngine::removeOldFiles(base);
    for (const char *sub : {"/old", "/imageformats", "/accessible", "/sqldrivers"})
        UpdateEngine::removeOldFiles(base + QLatin1String(sub));
    QDir().rmdir(base + QStringLiteral("/old"));
    qDebug() << "Removing old files done";
}

// Until the window exists, a configuration error is only logged, and the program ends as soon
// as the configuration has settled: the target version is known, or the configuration failed.
void endOnFatalError(Configuration &configuration)
{
    QObject::connect(&configuration, &Configuration::fatalError, [](const QString &text) {
        qWarning() << "Configuration error:" << text;
        QCoreApplication::exit(1);
    });
}

void endWhenReady(Configuration &configuration)
{
    auto report = [&configuration] {
        qDebug() << "Configuration ready: type" << configuration.m_UpdateType << "channel"
                 << configuration.m_Channel << "client" << configuration.m_ClientType << "version"
                 << configuration.m_VersionNr << configuration.m_Version << "URL" << Configuration::updateUrl();
        QCoreApplication::exit(0);
    };
    QObject::connect(&configuration, &Configuration::ready, report);
    if (configuration.m_Ready)
        QMetaObject::invokeMethod(&configuration, report, Qt::QueuedConnection);
}

} // namespace

int main(int argc, char **argv)
{
    if (isHelpRequest(argc, argv)) {
        fputs(kUsage, stdout);
        return 0;
    }
    GOOGLE_PROTOBUF_VERIFY_VERSION;
    // The library would print its parse complaints to the console; the program prints nothing.
    google::protobuf::SetLogHandler(nullptr);
    qRegisterMetaType<UpdateVersions>("UpdateVersions");
    RunLog::instance();
    qInstallMessageHandler(messageHandler);

    QApplication app(argc, argv);
    const QString base = Configuration::updaterBaseDir();
    qDebug() << "Voxtrel updater started";
    removeLeftovers(base);

    const QString locale = QLocale::system().name();
    QTranslator updateTranslator;
    QTranslator qtTranslator;
    updateTranslator.load(base + QStringLiteral("/translations/update_") + locale);
    qtTranslator.load(base + QStringLiteral("/translations/qt_") + locale);
    app.installTranslator(&updateTranslator);
    app.installTranslator(&qtTranslator);

    Configuration configuration;
    endOnFatalError(configuration);
    int exitCode = 1;
    if (configuration.parseCommandLineOptions()) {
        endWhenReady(configuration);
        exitCode = app.exec();
        RunLog::instance().close();
        google::protobuf::ShutdownProtobufLibrary();
    } else {
        qWarning() << "Failed to parse command line options, aborting";
    }
    return exitCode;
}
