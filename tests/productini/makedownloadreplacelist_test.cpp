#include "configuration.h"
#include "makedownloadreplacelistfunc.h"
#include "makedownloadreplacelisttaskspecification.h"
#include "support/eventloop.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Files are named by a token; their content is derived from it, and "{TOKEN}" in an ini
// or an expectation stands for the SHA-512 of that content.
QByteArray content(const QString &token)
{
    return "content of " + token.toUtf8();
}

QString digest(const QString &token)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(content(token), QCryptographicHash::Sha512).toHex());
}

QString expand(QString text)
{
    static const QRegularExpression tokenRe(QStringLiteral("\\{([A-Z0-9]+)\\}"));
    QRegularExpressionMatch m;
    while ((m = tokenRe.match(text)).hasMatch())
        text.replace(m.capturedStart(), m.capturedLength(), digest(m.captured(1)));
    return text;
}

using Files = QMap<QString, QString>;  // relative path -> content token ("DIR" makes a folder)

struct Case {
    const char *name;
    int updateType;
    const char *ini;
    Files installed;
    Files temp;
    bool result;
    QStringList downloads;     // section|name|hash|size
    QStringList replacements;  // section|name|hash|size|targetName|patchName
    QStringList deletions;     // path|recursive
    QStringList preInstall;    // program|args joined by ' '|required
    QStringList postInstall;
    QStringList messages;      // expected among the messages, after the first
    Files tempAfter;           // expected in the temp dir afterwards
};

QStringList rows(const UpdateLists &l, int which)
{
    QStringList out;
    auto cmd = [](const InstallCommand &c) {
        return QStringLiteral("%1|%2|%3").arg(c.program, c.arguments.join(' '),
                                              c.required ? "required" : "optional");
    };
    switch (which) {
    case 0:
        for (const auto &d : l.downloads)
            out << QStringLiteral("%1|%2|%3|%4").arg(d.section, d.name, d.hash).arg(d.size);
        break;
    case 1:
        for (const auto &r : l.replacements)
            out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                       .arg(r.section, r.name, r.hash)
                       .arg(r.size)
                       .arg(r.targetName, r.patchName);
        break;
    case 2:
        for (const auto &d : l.deletions)
            out << QStringLiteral("%1|%2").arg(d.path, d.recursive ? "recursive" : "single");
        break;
    case 3:
        for (const auto &c : l.preInstall)
            out << cmd(c);
        break;
    case 4:
        for (const auto &c : l.postInstall)
            out << cmd(c);
        break;
    }
    return out;
}

QStringList expandAll(const QStringList &list, const QString &installDir)
{
    QStringList out;
    for (const QString &s : list)
        out << expand(s).replace("$INSTALL", installDir);
    return out;
}

void place(const QString &root, const Files &files)
{
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = root + "/" + it.key();
        if (it.value() == "DIR") {
            QDir().mkpath(path);
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content(it.value()));
    }
}

class ProductIniTest : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        m_Configuration.m_TempDir = m_Temp.path();
        m_Configuration.m_InstallDir = m_Install.path() + "/";
    }

    void writeIni(int updateType, const QByteArray &ini)
    {
        const QString name = updateType == 0 ? "update_macosx.ini" : "vx3_client_macosx.ini";
        QFile f(m_Temp.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }

    QTemporaryDir m_Temp;
    QTemporaryDir m_Install;
    Configuration m_Configuration;
};

TEST_P(ProductIniTest, BuildsListsAgainstInstalledTree)
{
    const Case &c = GetParam();
    m_Configuration.m_UpdateType = c.updateType;
    writeIni(c.updateType, expand(c.ini).toUtf8());
    place(m_Install.path(), c.installed);
    place(m_Temp.path(), c.temp);

    UpdateLists lists;
    MakeDownloadReplaceListFunc func(&m_Configuration, &lists);
    QStringList messages;
    QObject::connect(&func, &ASyncFunc::message, [&](const QString &m) { messages << m; });
    EXPECT_EQ(func.run(), c.result) << qPrintable(messages.join('|'));

    const QString installDir = m_Configuration.m_InstallDir;
    EXPECT_EQ(rows(lists, 0), expandAll(c.downloads, installDir));
    EXPECT_EQ(rows(lists, 1), expandAll(c.replacements, installDir));
    EXPECT_EQ(rows(lists, 2), expandAll(c.deletions, installDir));
    EXPECT_EQ(rows(lists, 3), expandAll(c.preInstall, installDir));
    EXPECT_EQ(rows(lists, 4), expandAll(c.postInstall, installDir));
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first(), c.updateType == 0
                                    ? "Compiling download and replace list for updater"
                                    : "Compiling download and replace list for client");
    EXPECT_EQ(messages.mid(1), c.messages);
    for (auto it = c.tempAfter.begin(); it != c.tempAfter.end(); ++it) {
        QFile f(m_Temp.path() + "/" + it.key());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(it.key());
        EXPECT_EQ(f.readAll(), content(it.value()));
    }
}

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

const char kPackedApp[] = "[client]\napp._lzma2_={PACKED}::10::{NEW}::20::MacOS/app\n";

const Case kCases[] = {
    {"current_file_client_step", 1, kPackedApp, {{"MacOS/app", "NEW"}}, {}, true,
     {}, {}, {}, {}, {}, {}, {}},
    {"current_file_updater_step_copied_to_temp", 0, kPackedApp, {{"MacOS/app", "NEW"}}, {}, true,
     {}, {}, {}, {}, {}, {}, {{"MacOS/app", "NEW"}}},
    {"missing_file_queued", 1, kPackedApp, {}, {}, true,
     {"client|app._lzma2_|{PACKED}|10"},
     {"client|app._lzma2_|{NEW}|20|MacOS/app|"}, {}, {}, {}, {}, {}},
    {"outdated_file_without_patch", 1, kPackedApp, {{"MacOS/app", "OLD"}}, {}, true,
     {"client|app._lzma2_|{PACKED}|10"},
     {"client|app._lzma2_|{NEW}|20|MacOS/app|"}, {}, {}, {}, {}, {}},
    {"patch_chosen_by_base_digest", 1,
     "[client]\napp._lzma2_={PACKED}::10::{NEW}::20::MacOS/app\n"
     "app_v1_patch_={P1}::5::{OLDER}::20::MacOS/app\n"
     "app_v2_patch_={P2}::6::{OLD}::20::MacOS/app\n",
     {{"MacOS/app", "OLD"}}, {}, true,
     {"client|app_v2_patch_|{P2}|6"},
     {"client|app._lzma2_|{NEW}|20|MacOS/app|app_v2_patch_"}, {}, {}, {}, {}, {}},
    {"later_patch_line_wins", 1,
     "[client]\napp._lzma2_={PACKED}::10::{NEW}::20::MacOS/app\n"
     "b_patch_={P2}::6::{OLD}::20::MacOS/app\n"
     "a_patch_={P1}::5::{OLD}::20::MacOS/app\n",
     {{"MacOS/app", "OLD"}}, {}, true,
     {"client|b_patch_|{P2}|6"},
     {"client|app._lzma2_|{NEW}|20|MacOS/app|b_patch_"}, {}, {}, {}, {}, {}},
    {"patch_of_other_section_unused", 1,
     "[client]\napp._lzma2_={PACKED}::10::{NEW}::20::MacOS/app\n"
     "[other]\napp_patch_={P1}::5::{OLD}::20::MacOS/app\n",
     {{"MacOS/app", "OLD"}}, {}, true,
     {"client|app._lzma2_|{PACKED}|10"},
     {"client|app._lzma2_|{NEW}|20|MacOS/app|"}, {}, {}, {}, {}, {}},
    {"patch_already_in_temp_not_fetched", 1,
     "[client]\napp._lzma2_={PACKED}::10::{NEW}::20::MacOS/app\n"
     "app_patch_={P1}::5::{OLD}::20::MacOS/app\n",
     {{"MacOS/app", "OLD"}}, {{"app_patch_", "P1"}}, true,
     {}, {"client|app._lzma2_|{NEW}|20|MacOS/app|app_patch_"}, {}, {}, {}, {}, {}},
    {"delivered_file_complete_in_temp", 1, kPackedApp, {}, {{"app._lzma2_", "PACKED"}}, true,
     {}, {"client|app._lzma2_|{NEW}|20|MacOS/app|"}, {}, {}, {}, {}, {}},
    {"incomplete_file_in_temp_fetched_again", 1, kPackedApp, {}, {{"app._lzma2_", "HALF"}}, true,
     {"client|app._lzma2_|{PACKED}|10"},
     {"client|app._lzma2_|{NEW}|20|MacOS/app|"}, {}, {}, {}, {}, {}},
    {"two_field_lines", 1,
     "[client]\nResources/a.png={A}::4\nResources/b.png={B}::7\n",
     {{"Resources/a.png", "A"}, {"Resources/b.png", "OLD"}}, {}, true,
     {"client|Resources/b.png|{B}|7"}, {"client|Resources/b.png||0||"}, {}, {}, {}, {}, {}},
    {"common_client_installs_below_shared_support", 1,
     "[common_client]\ntool={T}::4\nhelper={H}::4\n",
     {{"SharedSupport/tool", "T"}, {"helper", "H"}}, {}, true,
     {"common_client|helper|{H}|4"}, {"common_client|helper||0||"}, {}, {}, {}, {}, {}},
    {"empty_digest_always_replaced", 1, "[client]\nf=::4\n", {{"f", "F"}}, {}, true,
     {"client|f||4"}, {"client|f||0||"}, {}, {}, {}, {}, {}},
    {"sections_and_keys_in_sorted_order", 1,
     "[zeta]\nb={B}::1\na={A}::1\n[alpha]\nc={C}::1\n", {}, {}, true,
     {"alpha|c|{C}|1", "zeta|a|{A}|1", "zeta|b|{B}|1"},
     {"alpha|c||0||", "zeta|a||0||", "zeta|b||0||"}, {}, {}, {}, {}, {}},
    {"delete_lines", 1,
     "[delete]\nd2=2\nd11=11\nd10=10\nd12=12\nd1=1\nnotthere=1\nword=abc\nneg=-3\n",
     {{"d2", "DIR"}, {"d11", "X"}, {"d10", "X"}, {"d12", "X"}, {"d1", "X"}, {"word", "X"},
      {"neg", "X"}},
     {}, true, {}, {},
     {"d1|single", "d11|single", "d2|recursive", "neg|single", "word|single"}, {}, {}, {}, {}},
    {"install_commands", 1,
     "[preinstall]\nbin/setup=mac::win64,--dir=__VX3_DIR__::-v,optional\n"
     "[postinstall]\na=win32::win64,x\nb=linux64::MAC,y\nc=mac,z,whatever\nd=mac::mac\n"
     "e=mac,__VX3_DIR__/x__VX3_DIR__\n",
     {}, {}, true, {}, {}, {},
     {"bin/setup|--dir=$INSTALL -v|optional"},
     {"b|y|required", "c|z|required", "d||required", "d||required",
      "e|$INSTALL/x$INSTALL|required"},
     {}, {}},
    {"invalid_file_line_skipped", 1, "[client]\nbad=one\nalso=1::2::3\ngood={G}::1\n", {}, {},
     true, {"client|good|{G}|1"}, {"client|good||0||"}, {}, {}, {},
     {"Warning: product ini contains invalid line in section client",
      "Warning: product ini contains invalid line in section client"},
     {}},
    {"invalid_patch_line_fails", 1, "[client]\ngood={G}::1\nx_patch_=a::b\n", {}, {}, false,
     {}, {}, {}, {}, {}, {"Warning: product ini contains invalid line in section client"}, {}},
    {"paths_leaving_the_install_dir_rejected", 1,
     "[client]\n..%2Fevil={E}::1\nok._lzma2_={P}::1::{F}::1::../../bin/sh\n"
     "[delete]\n..%2Foutside=2\n",
     {{"../outside", "DIR"}}, {}, true, {}, {}, {}, {}, {},
     {"Warning: product ini contains invalid line in section client",
      "Warning: product ini contains invalid line in section client",
      "Warning: product ini contains invalid line in section delete"},
     {}},
    {"empty_ini_fails", 1, "", {}, {}, false, {}, {}, {}, {}, {}, {"No files in product ini"}, {}},
};

INSTANTIATE_TEST_SUITE_P(Lines, ProductIniTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProductIniTest, MissingIniFails)
{
    m_Configuration.m_UpdateType = 1;
    UpdateLists lists;
    MakeDownloadReplaceListFunc func(&m_Configuration, &lists);
    QStringList messages;
    QObject::connect(&func, &ASyncFunc::message, [&](const QString &m) { messages << m; });
    EXPECT_FALSE(func.run());
    EXPECT_EQ(messages.last(), "No files in product ini");
}

// Only file and delete lines count towards progress, against all keys of the ini.
TEST_F(ProductIniTest, ProgressCountsFileAndDeleteKeys)
{
    m_Configuration.m_UpdateType = 1;
    writeIni(1, expand("[client]\na={A}::1\nb_patch_=1::2::3::4::x\nc=bad\n"
                       "[delete]\nd=1\n[postinstall]\ne=mac,x\n")
                    .toUtf8());
    UpdateLists callerLists;
    MakeDownloadReplaceListTaskSpecification task(&m_Configuration, &callerLists, nullptr, 1.0);
    QList<qreal> progress;
    QObject::connect(&task, &TaskSpecification::updateProgress, [&](qreal p) { progress << p; });
    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task.m_State != TASK_RUNNING; }));
    EXPECT_EQ(task.m_State, TASK_FINISHED);
    EXPECT_EQ(progress, QList<qreal>({0.2, 0.4, 0.6, 1.0}));
    EXPECT_EQ(callerLists.downloads.size(), 1);
    EXPECT_EQ(callerLists.postInstall.size(), 1);
}

// A failed parse leaves the caller's lists as they were; a successful one replaces them.
TEST_F(ProductIniTest, CallerListsChangeOnlyOnSuccess)
{
    m_Configuration.m_UpdateType = 1;
    UpdateLists callerLists;
    callerLists.deletions << DeleteEntry{"kept", false};
    writeIni(1, "[client]\nx_patch_=broken\n");
    MakeDownloadReplaceListTaskSpecification task(&m_Configuration, &callerLists, nullptr, 1.0);
    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task.m_State != TASK_RUNNING; }));
    EXPECT_EQ(task.m_State, TASK_FAILED);
    ASSERT_EQ(callerLists.deletions.size(), 1);

    writeIni(1, expand("[client]\nf={F}::1\n").toUtf8());
    task.reset();
    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task.m_State != TASK_RUNNING; }));
    EXPECT_EQ(task.m_State, TASK_FINISHED);
    EXPECT_TRUE(callerLists.deletions.isEmpty());
    EXPECT_EQ(callerLists.downloads.size(), 1);
}

TEST(OsCodeTest, NamesMapToCodes)
{
    const QList<QPair<QString, int>> cases{{"win32", 1}, {"WIN64", 2}, {"linux32", 3},
                                           {"Linux64", 4}, {"mac", 5}, {"MAC", 5},
                                           {"macos", 0}, {"", 0}};
    for (const auto &c : cases)
        EXPECT_EQ(MakeDownloadReplaceListFunc::osCode(c.first), c.second) << qPrintable(c.first);
}

} // namespace
