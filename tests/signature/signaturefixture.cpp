#include "signaturefixture.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace sigtest {

QString demoPrivateKey()
{
    return QStringLiteral(VX_SOURCE_DIR "/resources/keys/demo_private.der");
}

QString demoPublicKey()
{
    return QStringLiteral(VX_SOURCE_DIR "/resources/keys/demo_public.der");
}

int runProgram(const QString &program, const QStringList &args, QByteArray *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitCode();
}

bool haveOpenssl()
{
    return !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
}

static QStringList pssOptions()
{
    return {QStringLiteral("dgst"), QStringLiteral("-sha1"), QStringLiteral("-sigopt"),
            QStringLiteral("rsa_padding_mode:pss"), QStringLiteral("-sigopt"),
            QStringLiteral("rsa_pss_saltlen:8")};
}

bool opensslSign(const QString &privateKeyDer, const QString &file)
{
    return runProgram(QStringLiteral("openssl"),
                      pssOptions() << QStringLiteral("-keyform") << QStringLiteral("DER")
                                   << QStringLiteral("-sign") << privateKeyDer
                                   << QStringLiteral("-out") << file + QStringLiteral(".sig")
                                   << file)
        == 0;
}

bool opensslVerify(const QString &publicKeyDer, const QString &file, const QString &workDir)
{
    const QString pem = workDir + QStringLiteral("/public.pem");
    if (runProgram(QStringLiteral("openssl"),
                   {QStringLiteral("rsa"), QStringLiteral("-RSAPublicKey_in"),
                    QStringLiteral("-inform"), QStringLiteral("DER"), QStringLiteral("-in"),
                    publicKeyDer, QStringLiteral("-pubout"), QStringLiteral("-out"), pem})
        != 0)
        return false;
    return runProgram(QStringLiteral("openssl"),
                      pssOptions() << QStringLiteral("-verify") << pem
                                   << QStringLiteral("-signature")
                                   << file + QStringLiteral(".sig") << file)
        == 0;
}

QString SignatureTest::write(const QString &name, const QByteArray &data) const
{
    QFile file(path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    return file.fileName();
}

} // namespace sigtest
