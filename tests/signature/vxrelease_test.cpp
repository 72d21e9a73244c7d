#include "signaturefixture.h"

#include <QFile>

using namespace sigtest;

namespace {

int vxrelease(const QStringList &args, QByteArray *output = nullptr)
{
    return runProgram(QStringLiteral(VXRELEASE_PATH), args, output);
}

// A key pair from keygen has the form the build accepts and interoperates with openssl in
// both directions: openssl signs, our verify accepts; our sign, openssl verifies.
TEST_F(SignatureTest, KeygenSignVerifyInteroperateWithOpenssl)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl not installed";
    const QString keys = path("keys");
    ASSERT_EQ(vxrelease({"keygen", keys}), 0);
    const QString priv = keys + "/private.der", pub = keys + "/public.der";
    EXPECT_EQ(QFileInfo(pub).size(), 140);
    QByteArray parsed;
    ASSERT_EQ(runProgram("openssl", {"rsa", "-RSAPublicKey_in", "-inform", "DER", "-in", pub,
                                     "-noout", "-text"},
                         &parsed),
              0);
    EXPECT_TRUE(parsed.contains("1024 bit")) << parsed.constData();

    const QString ours = write("ours.ini", "[a]\nb=c::1\n");
    ASSERT_EQ(vxrelease({"sign", "--key", priv, ours}), 0);
    EXPECT_EQ(QFileInfo(ours + ".sig").size(), 128);
    EXPECT_TRUE(opensslVerify(pub, ours, m_Dir.path()));
    EXPECT_EQ(vxrelease({"verify", "--key", pub, ours}), 0);

    const QString theirs = write("theirs.ini", QByteArray(5000, 'z'));
    ASSERT_TRUE(opensslSign(priv, theirs));
    EXPECT_EQ(vxrelease({"verify", "--key", pub, theirs}), 0);
    write("theirs.ini", QByteArray(4999, 'z') + 'y');
    EXPECT_EQ(vxrelease({"verify", "--key", pub, theirs}), 1);
}

// Signing with the committed demo key gives signatures the updater's built-in key accepts
// (the default build) and openssl accepts too.
TEST_F(SignatureTest, DemoKeySignatureVerifiesWithOpenssl)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl not installed";
    const QString file = write("demo.ini", "[client]\n");
    ASSERT_EQ(vxrelease({"sign", "--key", demoPrivateKey(), file}), 0);
    EXPECT_TRUE(opensslVerify(demoPublicKey(), file, m_Dir.path()));
    EXPECT_EQ(vxrelease({"verify", "--key", demoPublicKey(), file}), 0);
}

TEST_F(SignatureTest, KeygenNeverReplacesAKey)
{
    const QString keys = path("keys");
    ASSERT_EQ(vxrelease({"keygen", keys}), 0);
    QFile priv(keys + "/private.der");
    ASSERT_TRUE(priv.open(QIODevice::ReadOnly));
    const QByteArray before = priv.readAll();
    priv.close();
    EXPECT_EQ(vxrelease({"keygen", keys}), 1);
    ASSERT_TRUE(priv.open(QIODevice::ReadOnly));
    EXPECT_EQ(priv.readAll(), before);
}

struct ExitCase {
    const char *name;
    QStringList args;  // "%d" is replaced by the scratch directory
    int exitCode;
};

class VxreleaseExitTest : public SignatureTest, public ::testing::WithParamInterface<ExitCase>
{
};

TEST_P(VxreleaseExitTest, ExitCode)
{
    write("data", "payload");
    write("bad.der", "not a key");
    ASSERT_EQ(vxrelease({"sign", "--key", demoPrivateKey(), path("data")}), 0);
    QStringList args;
    for (const QString &arg : GetParam().args)
        args << QString(arg).replace("%d", m_Dir.path());
    QByteArray output;
    EXPECT_EQ(vxrelease(args, &output), GetParam().exitCode) << output.constData();
}

const ExitCase kExitCases[] = {
    {"help", {"--help"}, 0},
    {"no_command", {}, 2},
    {"unknown_command", {"publish"}, 2},
    {"keygen_without_dir", {"keygen"}, 2},
    {"sign_without_key", {"sign", "%d/data"}, 2},
    {"verify_two_files", {"verify", "--key", "k", "a", "b"}, 2},
    {"sign_missing_key_file", {"sign", "--key", "%d/none.der", "%d/data"}, 1},
    {"sign_with_garbage_key", {"sign", "--key", "%d/bad.der", "%d/data"}, 1},
    {"sign_with_public_key", {"sign", "--key", VX_SOURCE_DIR "/resources/keys/demo_public.der",
                              "%d/data"}, 1},
    {"sign_missing_file", {"sign", "--key", VX_SOURCE_DIR "/resources/keys/demo_private.der",
                           "%d/none"}, 1},
    {"verify_missing_sig", {"verify", "--key", VX_SOURCE_DIR "/resources/keys/demo_public.der",
                            "%d/bad.der"}, 1},
    {"verify_garbage_key", {"verify", "--key", "%d/bad.der", "%d/data"}, 1},
    {"verify_good", {"verify", "--key", VX_SOURCE_DIR "/resources/keys/demo_public.der",
                     "%d/data"}, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, VxreleaseExitTest, ::testing::ValuesIn(kExitCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
