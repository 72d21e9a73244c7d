#include "checksigfunc.h"

#include "crypt_exception.h"
#include "rsasignature.h"
#include "updatepublickey.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

#include <limits>

CheckSigFunc::CheckSigFunc(const QString &filePath, const QString &sha512,
                           const QByteArray &publicKey)
    : m_FilePath(filePath)
    , m_Sha512(sha512)
    , m_PublicKey(publicKey)
{
}

QByteArray CheckSigFunc::builtInPublicKey()
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(kUpdatePublicKey),
                                   sizeof(kUpdatePublicKey));
}

bool CheckSigFunc::run()
{
    return m_Sha512.isEmpty() ? checkRSA() : checkSHA512();
}

bool CheckSigFunc::checkRSA()
{
    QByteArray data;
    if (!readFile(m_FilePath, data)) {
        qDebug() << "RSA check failed, could not read" << m_FilePath;
        return false;
    }
    const QString sigPath = m_FilePath + QStringLiteral(".sig");
    QByteArray signature;
    if (!readFile(sigPath, signature)) {
        qDebug() << "RSA check failed, could not read" << sigPath;
        return false;
    }
    try {
        const bool valid = rsasignature::verify(m_PublicKey, data, signature);
        qDebug() << "RSA check" << valid;
        return valid;
    } catch (const crypt_exception &e) {
        qDebug() << "RSA check failed, caught exception" << e.what();
        return false;
    }
}

bool CheckSigFunc::checkSHA512()
{
    QByteArray data;
    if (!readFile(m_FilePath, data))
        return false;
    const QString computed =
        QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha512).toHex());
    const bool match = computed.compare(m_Sha512, Qt::CaseInsensitive) == 0;
    qDebug() << "SHA512 check:" << m_Sha512 << computed << "=>" << match;
    return match;
}

bool CheckSigFunc::readFile(const QString &path, QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        emit message(tr("Could not open file %1 for reading").arg(path));
        return false;
    }
    // The whole file is held in one byte array; one too large for it counts as unreadable
    // rather than being silently truncated to a size that might still verify.
    const qint64 size = file.size();
    const bool fits = size <= std::numeric_limits<int>::max() - 64;
    if (fits)
        data.resize(static_cast<int>(size));
    if (!fits || file.read(data.data(), size) != size) {
        emit message(tr("could not read file %1 correctly").arg(path));
        return false;
    }
    file.close();
    return true;
}
