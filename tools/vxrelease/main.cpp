// vxrelease: the release side of the updater's trust chain — makes the key pair whose
// public half is built into the updater, signs product inis, and checks signatures with
// the updater's own code. Exit codes: 0 done, 1 failed, 2 usage error.
#include "releasecommands.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char kUsage[] =
    "Usage:\n"
    "  vxrelease keygen DIR                 write a new 1024-bit key pair to DIR/private.der\n"
    "                                       (DER RSAPrivateKey) and DIR/public.der (DER RSAPublicKey)\n"
    "  vxrelease sign --key PRIVATE FILE    write FILE.sig (RSASSA-PSS, SHA-1, salt 8)\n"
    "  vxrelease verify --key PUBLIC FILE   exit 0 when FILE.sig verifies, 1 when not\n"
    "  vxrelease --help                     show this text\n"
    "\n"
    "Exit codes: 0 success, 1 failure, 2 usage error.\n";

int usageError(const char *reason)
{
    std::fprintf(stderr, "vxrelease: %s\n%s", reason, kUsage);
    return 2;
}

// Accepts exactly "--key KEY FILE" (or "FILE --key KEY") after the subcommand.
bool parseKeyAndFile(const QStringList &args, QString &key, QString &file)
{
    QStringList rest = args;
    const int at = rest.indexOf(QStringLiteral("--key"));
    if (at < 0 || at + 1 >= rest.size())
        return false;
    key = rest.at(at + 1);
    rest.erase(rest.begin() + at, rest.begin() + at + 2);
    if (rest.size() != 1 || rest.first().startsWith(QLatin1Char('-')))
        return false;
    file = rest.first();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.isEmpty())
        return usageError("no command given");

    const QString command = args.takeFirst();
    if (command == QLatin1String("keygen")) {
        if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')))
            return usageError("keygen takes one directory");
        return releasecommands::keygen(args.first());
    }
    if (command == QLatin1String("sign") || command == QLatin1String("verify")) {
        QString key, file;
        if (!parseKeyAndFile(args, key, file))
            return usageError("expected --key KEY FILE");
        return command == QLatin1String("sign") ? releasecommands::sign(key, file)
                                                : releasecommands::verify(key, file);
    }
    return usageError("unknown command");
}
