// Shared by the signature tests: a scratch directory, the committed demo key pair, and
// openssl as the independent implementation that our signatures must agree with.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sigtest {

QString demoPrivateKey();
QString demoPublicKey();

// Runs `program` with `args`; returns its exit code, or -1 when it could not run.
int runProgram(const QString &program, const QStringList &args, QByteArray *output = nullptr);

bool haveOpenssl();

// Signs `file` into `file`.sig with openssl (RSASSA-PSS, SHA-1, salt 8).
bool opensslSign(const QString &privateKeyDer, const QString &file);
// Whether openssl accepts `file`.sig under the DER RSAPublicKey.
bool opensslVerify(const QString &publicKeyDer, const QString &file, const QString &workDir);

class SignatureTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_Dir.filePath(name); }
    QString write(const QString &name, const QByteArray &data) const;

    QTemporaryDir m_Dir;
};

} // namespace sigtest
