#include "releasecommands.h"

#include "checksigfunc.h"
#include "crypt_exception.h"
#include "rsasignature.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace releasecommands {
namespace {

constexpr int kKeyBits = 1024;

int fail(const QString &text)
{
    std::fprintf(stderr, "vxrelease: %s\n", qPrintable(text));
    return 1;
}

bool readAll(const QString &path, QByteArray &data, QString &reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// Written through a temporary file so that an interrupted run never leaves half a key or
// half a signature under the final name.
bool writeAll(const QString &path, const QByteArray &data, QString &reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        reason = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

int keygen(const QString &dir)
{
    const QString privatePath = QDir(dir).filePath(QStringLiteral("private.der"));
    const QString publicPath = QDir(dir).filePath(QStringLiteral("public.der"));
    for (const QString &path : {privatePath, publicPath}) {
        if (QFile::exists(path))
            return fail(QStringLiteral("%1 exists; refusing to replace a key").arg(path));
    }
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create directory %1").arg(dir));

    QByteArray privateKey, publicKey;
    QString reason;
    try {
        rsasignature::makeKeyPair(kKeyBits, privateKey, publicKey);
    } catch (const crypt_exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
    if (!writeAll(privatePath, privateKey, reason) || !writeAll(publicPath, publicKey, reason))
        return fail(reason);
    QFile::setPermissions(privatePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    std::printf("wrote %s and %s\n", qPrintable(privatePath), qPrintable(publicPath));
    return 0;
}

int sign(const QString &keyPath, const QString &file)
{
    QByteArray key, data;
    QString reason;
    if (!readAll(keyPath, key, reason) || !readAll(file, data, reason))
        return fail(reason);
    QByteArray signature;
    try {
        signature = rsasignature::sign(key, data);
    } catch (const crypt_exception &e) {
        return fail(QStringLiteral("cannot sign with %1: %2").arg(keyPath, QString::fromUtf8(e.what())));
    }
    const QString sigPath = file + QStringLiteral(".sig");
    if (!writeAll(sigPath, signature, reason))
        return fail(reason);
    std::printf("wrote %s\n", qPrintable(sigPath));
    return 0;
}

int verify(const QString &keyPath, const QString &file)
{
    QByteArray key;
    QString reason;
    if (!readAll(keyPath, key, reason))
        return fail(reason);
    CheckSigFunc check(file, QString(), key);
    QObject::connect(&check, &ASyncFunc::message,
                     [](const QString &text) { fail(text); });
    if (!check.run())
        return fail(QStringLiteral("signature of %1 does not verify").arg(file));
    std::printf("%s: signature OK\n", qPrintable(file));
    return 0;
}

} // namespace releasecommands
