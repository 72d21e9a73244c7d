#include "checksignaturetaskspecification.h"
#include "composedtaskspecification.h"
#include "downloadfilelisttaskspecification.h"
#include "downloadfixture.h"
#include "downloadtaskspecification.h"
#include "fileunpacktaskspecification_lzma2.h"
#include "inidownloadtaskspecification.h"
#include "rsasignature.h"
#include "support/eventloop.h"
#include "vxpatch/container.h"

#include <QFile>

using namespace dltest;
using vxtest::HttpReply;

namespace {

const QByteArray kIni = "[client]\nvoxtrel=0011::3\n";

QByteArray demoSignature(const QByteArray &data)
{
    QFile key(QStringLiteral(VX_SOURCE_DIR "/resources/keys/demo_private.der"));
    EXPECT_TRUE(key.open(QIODevice::ReadOnly));
    return rsasignature::sign(key.readAll(), data);
}

class IniDownloadTest : public DownloadTest
{
protected:
    // Serves the packed ini and its signature for the product ini `name`.
    void serveIni(const QString &name, const QByteArray &ini)
    {
        QTemporaryDir work;
        const QString plain = work.filePath("plain"), packed = work.filePath("packed");
        QFile out(plain);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(ini);
        out.close();
        ASSERT_TRUE(vxpatch::CompressFile(plain.toUtf8().constData(), packed.toUtf8().constData(),
                                          vxpatch::ContainerMode::Plain));
        QFile in(packed);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        m_Server.setReply(serverPath(name + "._lzma2_"), HttpReply::ok(in.readAll()));
        m_Server.setReply(serverPath(name + ".sig"), HttpReply::ok(demoSignature(ini)));
    }

    QStringList requestedPaths() const
    {
        QStringList paths;
        for (const auto &request : m_Server.requests())
            paths << request.path;
        return paths;
    }
};

// What the subtask list looks like: kind and weight, in order.
QStringList shape(const ComposedTaskSpecification &task)
{
    QStringList out;
    for (TaskSpecification *sub : task.m_SubTasks) {
        const char *kind = qobject_cast<DownloadTaskSpecification *>(sub)           ? "download"
                           : qobject_cast<FileUnpackTaskSpecification_lzma2 *>(sub) ? "unpack"
                           : qobject_cast<CheckSignatureTaskSpecification *>(sub)   ? "check"
                                                                                    : "?";
        out << QStringLiteral("%1 %2").arg(kind).arg(sub->m_Weight, 0, 'f', 4);
    }
    return out;
}

struct SequenceCase {
    const char *name;
    bool iniPresent;
    bool sigPresent;
    QStringList shape;
    QStringList requested;  // file names below the version folder
};

class IniSequenceTest : public IniDownloadTest, public ::testing::WithParamInterface<SequenceCase>
{
};

TEST_P(IniSequenceTest, FetchesOnlyWhatIsMissingAndAlwaysChecks)
{
    const SequenceCase &c = GetParam();
    const QString ini = "vx3_client_macosx.ini";
    serveIni(ini, kIni);
    if (c.iniPresent)
        writeLocal(ini, kIni);
    if (c.sigPresent)
        writeLocal(ini + ".sig", demoSignature(kIni));

    IniDownloadTaskSpecification task(&m_Manager, &m_Configuration, nullptr, 0.1);
    Recorder rec(&task);
    task.execute();
    EXPECT_EQ(shape(task), c.shape);
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(task.m_State, TASK_FINISHED) << qPrintable(rec.messages.join('|'));
    EXPECT_EQ(rec.messages.first(), "Download / check product ini");
    EXPECT_EQ(readLocal(ini), kIni);
    QStringList expected;
    for (const QString &name : c.requested)
        expected << serverPath(name);
    EXPECT_EQ(requestedPaths(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, IniSequenceTest,
    ::testing::Values(
        SequenceCase{"both_present", true, true, {"check 1.0000"}, {}},
        SequenceCase{"signature_missing", true, false, {"download 0.3333", "check 0.6667"},
                     {"vx3_client_macosx.ini.sig"}},
        SequenceCase{"ini_missing", false, true,
                     {"download 0.3333", "unpack 1.0000", "check 0.6667"},
                     {"vx3_client_macosx.ini._lzma2_"}},
        SequenceCase{"both_missing", false, false,
                     {"download 0.3333", "unpack 1.0000", "download 0.3333", "check 0.3334"},
                     {"vx3_client_macosx.ini._lzma2_", "vx3_client_macosx.ini.sig"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(IniDownloadTest, UpdaterStepAsksForUpdaterIni)
{
    m_Configuration.m_UpdateType = 0;
    serveIni("update_macosx.ini", kIni);
    IniDownloadTaskSpecification task(&m_Manager, &m_Configuration, nullptr, 0.1);
    Recorder rec(&task);
    task.execute();
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(task.m_State, TASK_FINISHED) << qPrintable(rec.messages.join('|'));
    EXPECT_EQ(requestedPaths(), QStringList({serverPath("update_macosx.ini._lzma2_"),
                                             serverPath("update_macosx.ini.sig")}));
}

TEST_F(IniDownloadTest, PackedFileThatIsNoContainerFailsAtUnpack)
{
    const QString ini = "vx3_client_macosx.ini";
    m_Server.setReply(serverPath(ini + "._lzma2_"), HttpReply::ok("plain text, not packed"));
    m_Server.setReply(serverPath(ini + ".sig"), HttpReply::ok(demoSignature(kIni)));
    IniDownloadTaskSpecification task(&m_Manager, &m_Configuration, nullptr, 0.1);
    Recorder rec(&task);
    task.execute();
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(task.m_State, TASK_FAILED);
    EXPECT_EQ(rec.canceled, 1);
    EXPECT_TRUE(rec.messages.contains(QStringLiteral("Could not unpack '%1' to '%2'")
                                          .arg(local(ini + "._lzma2_"), local(ini))));
    EXPECT_EQ(task.m_SubTasks.last()->m_State, TASK_IDLE) << "the check never starts";
    EXPECT_EQ(m_Server.requestCount(serverPath(ini + ".sig")), 0);
}

// A tampered ini left by an earlier run stops the update before any client file is fetched.
TEST_F(IniDownloadTest, TamperedIniStopsUpdateBeforeFileDownloads)
{
    const QString ini = "vx3_client_macosx.ini";
    writeLocal(ini, kIni + "[delete]\nContents=2\n");
    writeLocal(ini + ".sig", demoSignature(kIni));
    m_Server.setReply(serverPath("client/voxtrel"), HttpReply::ok("abc"));
    QList<DownloadEntry> downloads{DownloadEntry{"client", "voxtrel", sha512Hex("abc"), 3}};

    ComposedTaskSpecification update(1, nullptr, 1.0);
    update.addSubTask(new IniDownloadTaskSpecification(&m_Manager, &m_Configuration, &update, 0.1));
    update.addSubTask(new DownloadFileListTaskSpecification(&downloads, &m_Manager,
                                                            &m_Configuration, &update, 0.4));
    Recorder rec(&update);
    update.execute();
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(update.m_State, TASK_FAILED);
    EXPECT_EQ(rec.canceled, 1);
    const int sigFailed = rec.messages.indexOf("Signature check failed for " + local(ini));
    const int aborting = rec.messages.indexOf("Could not verify the product ini file. Aborting");
    ASSERT_GE(sigFailed, 0) << qPrintable(rec.messages.join('|'));
    EXPECT_EQ(aborting, sigFailed + 1);
    EXPECT_EQ(update.m_SubTasks[0]->m_State, TASK_FAILED);
    EXPECT_TRUE(m_Server.requests().isEmpty());
    EXPECT_TRUE(QFile::exists(local(ini))) << "left for the session, not deleted here";
}

TEST_F(IniDownloadTest, ResetRebuildsSubtasks)
{
    writeLocal("vx3_client_macosx.ini", kIni);
    writeLocal("vx3_client_macosx.ini.sig", demoSignature(kIni));
    IniDownloadTaskSpecification task(&m_Manager, &m_Configuration, nullptr, 0.1);
    Recorder rec(&task);
    task.execute();
    ASSERT_TRUE(runToEnd(rec));
    ASSERT_EQ(task.m_State, TASK_FINISHED);
    task.reset();
    EXPECT_TRUE(task.m_SubTasks.isEmpty());
    EXPECT_EQ(task.m_State, TASK_IDLE);
    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return rec.finished == 2; }));
}

} // namespace
