// The blocking half of a file check: compares a file with an expected SHA-512 digest, or,
// when no digest is given, verifies the detached RSA signature in the file's ".sig" against
// a public key (by default the one built into the program). It runs on a pool thread and
// reports its reasons as `message`; nothing it reads is shared with another thread, and the
// key is imported anew for every check.
#pragma once

#include "asyncfunc.h"

#include <QByteArray>
#include <QString>

class CheckSigFunc : public ASyncFunc
{
    Q_OBJECT

public:
    CheckSigFunc(const QString &filePath, const QString &sha512,
                 const QByteArray &publicKey = builtInPublicKey());

    bool run() override;

    static QByteArray builtInPublicKey();

private:
    bool checkRSA();
    bool checkSHA512();
    bool readFile(const QString &path, QByteArray &data);

    QString m_FilePath;
    QString m_Sha512;
    QByteArray m_PublicKey;
};
