#include "checksignaturetaskspecification.h"
#include "signaturefixture.h"
#include "support/eventloop.h"

#include <QCryptographicHash>
#include <QFile>

#include <memory>
#include <vector>

using namespace sigtest;

namespace {

enum class Sig { OpensslSigned, DataTampered, Truncated, OneByteLong, Missing, None };

struct Case {
    const char *name;
    QByteArray data;
    Sig sig;
    QString digest;  // empty: RSA check of the ".sig" file
    bool failOnMismatch;
    bool pass;
    TaskState endState;
    QString message;  // expected among the task's messages (%1 = the data file)
};

QString sha512Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha512).toHex());
}

const QByteArray kIni = "[client]\nvoxtrel=abc::12\n";

std::vector<Case> cases()
{
    const QString iniDigest = sha512Hex(kIni);
    return {
        {"rsa_openssl_signature_passes", kIni, Sig::OpensslSigned, {}, true, true, TASK_FINISHED, {}},
        {"rsa_empty_file_passes", QByteArray(), Sig::OpensslSigned, {}, true, true, TASK_FINISHED, {}},
        {"rsa_tampered_byte_fails", kIni, Sig::DataTampered, {}, true, false, TASK_FAILED,
         "Signature check failed for %1"},
        {"rsa_short_signature_fails", kIni, Sig::Truncated, {}, true, false, TASK_FAILED,
         "Signature check failed for %1"},
        {"rsa_long_signature_fails", kIni, Sig::OneByteLong, {}, true, false, TASK_FAILED,
         "Signature check failed for %1"},
        {"rsa_missing_sig_fails", kIni, Sig::Missing, {}, true, false, TASK_FAILED,
         "Could not open file %1.sig for reading"},
        {"rsa_mismatch_without_fail_finishes", kIni, Sig::DataTampered, {}, false, false,
         TASK_FINISHED, "Signature check failed for %1"},
        {"sha512_lower_case_passes", kIni, Sig::None, iniDigest, true, true, TASK_FINISHED, {}},
        {"sha512_upper_case_passes", kIni, Sig::None, iniDigest.toUpper(), true, true,
         TASK_FINISHED, {}},
        {"sha512_of_empty_file_passes", QByteArray(), Sig::None, sha512Hex(QByteArray()), true,
         true, TASK_FINISHED, {}},
        {"sha512_mismatch_fails", kIni + "x", Sig::None, iniDigest, true, false, TASK_FAILED,
         "Signature check failed for %1"},
        {"sha512_mismatch_without_fail_finishes", kIni + "x", Sig::None, iniDigest, false, false,
         TASK_FINISHED, "Signature check failed for %1"},
        {"sha512_prefix_of_digest_fails", kIni, Sig::None, iniDigest.left(64), true, false,
         TASK_FAILED, {}},
    };
}

class CheckSignatureTest : public SignatureTest, public ::testing::WithParamInterface<Case>
{
};

// Puts the data file and, per case, its signature in place; returns the data file's path.
QString prepare(const Case &c, const QString &file)
{
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(c.data);
    out.close();
    if (c.sig == Sig::None || c.sig == Sig::Missing)
        return file;
    EXPECT_TRUE(opensslSign(demoPrivateKey(), file));
    QFile sig(file + ".sig");
    sig.open(QIODevice::ReadWrite);
    QByteArray bytes = sig.readAll();
    if (c.sig == Sig::Truncated)
        bytes.chop(1);
    if (c.sig == Sig::OneByteLong)
        bytes.append('\0');
    sig.resize(0);
    sig.seek(0);
    sig.write(bytes);
    if (c.sig == Sig::DataTampered) {
        out.open(QIODevice::ReadWrite);
        QByteArray data = out.readAll();
        data[data.size() / 2] = static_cast<char>(data[data.size() / 2] ^ 0x01);
        out.seek(0);
        out.write(data);
    }
    return file;
}

TEST_P(CheckSignatureTest, EndsAsExpected)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl not installed";
    const Case &c = GetParam();
    const QString file = prepare(c, path("product.ini"));

    CheckSignatureTaskSpecification task(file, c.digest, c.failOnMismatch, nullptr, 0.5);
    QStringList messages;
    QList<bool> results;
    TaskState stateAtCheckDone = TASK_IDLE;
    int ends = 0;
    QObject::connect(&task, &TaskSpecification::message, [&](const QString &m) { messages << m; });
    QObject::connect(&task, &CheckSignatureTaskSpecification::checkDone,
                     [&](bool pass, CheckSignatureTaskSpecification *t) {
                         EXPECT_EQ(t, &task);
                         EXPECT_EQ(ends, 0) << "checkDone must come before the end";
                         results << pass;
                         stateAtCheckDone = t->m_State;
                     });
    QObject::connect(&task, &TaskSpecification::finished, [&] { ++ends; });
    QObject::connect(&task, &TaskSpecification::canceled, [&] { ++ends; });

    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return ends > 0; }, 20000));
    vxtest::spinFor(20);

    EXPECT_EQ(results, QList<bool>{c.pass});
    EXPECT_EQ(stateAtCheckDone, TASK_RUNNING);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(task.m_State, c.endState);
    EXPECT_DOUBLE_EQ(task.m_Progress, c.endState == TASK_FINISHED ? 0.5 : 0.0);
    if (!c.message.isEmpty()) {
        EXPECT_TRUE(messages.contains(c.message.arg(file))) << qPrintable(messages.join('|'));
    }
    if (c.pass) {
        EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('|'));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckSignatureTest, ::testing::ValuesIn(cases()),
                         [](const auto &info) { return std::string(info.param.name); });

// Several checks at once on pool threads share only the registries set up once.
TEST_F(SignatureTest, ParallelRsaChecksAllPass)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl not installed";
    std::vector<std::unique_ptr<CheckSignatureTaskSpecification>> tasks;
    int passed = 0;
    for (int i = 0; i < 6; ++i) {
        const QString file = write(QStringLiteral("f%1").arg(i), QByteArray(1000 * i, 'a' + i));
        ASSERT_TRUE(opensslSign(demoPrivateKey(), file));
        tasks.emplace_back(new CheckSignatureTaskSpecification(file, {}, true, nullptr, 1));
        QObject::connect(tasks.back().get(), &CheckSignatureTaskSpecification::checkDone,
                         [&](bool pass) { passed += pass; });
    }
    for (auto &task : tasks)
        task->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] {
        for (auto &task : tasks)
            if (task->m_State == TASK_RUNNING)
                return false;
        return true;
    }, 20000));
    EXPECT_EQ(passed, 6);
}

// A file signed by a key other than the built-in one must not pass.
TEST_F(SignatureTest, SignatureOfAnotherKeyFails)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl not installed";
    const QString pem = path("other.pem");
    const QString other = path("other.der");
    ASSERT_EQ(runProgram("openssl", {"genrsa", "-out", pem, "1024"}), 0);
    ASSERT_EQ(runProgram("openssl", {"rsa", "-in", pem, "-traditional", "-outform", "DER",
                                     "-out", other}),
              0);
    const QString file = write("signed", kIni);
    ASSERT_TRUE(opensslSign(other, file));
    CheckSignatureTaskSpecification task(file, {}, true, nullptr, 1);
    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task.m_State != TASK_RUNNING; }, 20000));
    EXPECT_EQ(task.m_State, TASK_FAILED);
}

} // namespace
