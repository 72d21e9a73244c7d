#include "makedownloadreplacelistfunc.h"

#include "checksigfunc.h"
#include "configuration.h"
#include "inidownloadtaskspecification.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kFieldSeparator = QStringLiteral("::");
const QString kPatchSuffix = QStringLiteral("_patch_");
const QString kDirPlaceholder = QStringLiteral("__VX3_DIR__");

// Paths of the ini are joined to the install and temp dirs by concatenation; one that is
// absolute or climbs out with ".." would reach files outside the update's own folders.
bool isContainedPath(const QString &path)
{
    if (path.isEmpty())
        return true;
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')))
        return false;
    const QStringList parts = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'))
                                  .split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

bool selectsDeletion(int type)
{
    return type < 10 || type == 11;
}

} // namespace

MakeDownloadReplaceListFunc::MakeDownloadReplaceListFunc(Configuration *configuration,
                                                         UpdateLists *lists)
    : m_UpdateType(configuration->m_UpdateType)
    , m_TempDir(configuration->m_TempDir)
    , m_InstallDir(configuration->m_InstallDir)
    , m_Lists(lists)
{
}

int MakeDownloadReplaceListFunc::osCode(const QString &name)
{
    static const QStringList codes = {QStringLiteral("win32"), QStringLiteral("win64"),
                                      QStringLiteral("linux32"), QStringLiteral("linux64"),
                                      QStringLiteral("mac")};
    return codes.indexOf(name.toLower()) + 1;
}

bool MakeDownloadReplaceListFunc::run()
{
    m_Lists->clear();
    const QString iniPath =
        m_TempDir + QLatin1Char('/') + IniDownloadTaskSpecification::productIniName(m_UpdateType);
    qDebug() << "prodIni" << iniPath;
    emit message(tr("Compiling download and replace list for ")
                 + (m_UpdateType == 0 ? QStringLiteral("updater") : QStringLiteral("client")));

    QSettings ini(iniPath, QSettings::IniFormat);
    const int total = ini.allKeys().size();
    if (total == 0) {
        emit message(tr("No files in product ini"));
        return false;
    }

    int counter = 0;
    for (const QString &section : ini.childGroups()) {
        ini.beginGroup(section);
        QStringList keys = ini.allKeys();
        PatchMap patches;
        if (!readPatches(ini, section, keys, patches)) {
            ini.endGroup();
            return false;
        }
        if (section == QLatin1String("delete"))
            readDeletions(ini, keys, counter, total);
        else if (section == QLatin1String("preinstall") || section == QLatin1String("postinstall"))
            readCommands(ini, section, keys);
        else
            readFiles(ini, section, keys, patches, counter, total);
        ini.endGroup();
    }
    return true;
}

bool MakeDownloadReplaceListFunc::readPatches(QSettings &ini, const QString &section,
                                              QStringList &keys, PatchMap &patches)
{
    QStringList patchKeys;
    for (auto it = keys.begin(); it != keys.end();) {
        if (it->endsWith(kPatchSuffix)) {
            patchKeys << *it;
            it = keys.erase(it);
        } else {
            ++it;
        }
    }
    for (const QString &key : patchKeys) {
        const QStringList f = ini.value(key).toString().split(kFieldSeparator);
        if (f.size() != 5 || !isContainedPath(key) || !isContainedPath(f[4])) {
            warnInvalid(section);
            return false;
        }
        patches.insert(f[4], PatchEntry{section, key, f[0], f[1], f[4], f[2], f[3]});
        qDebug() << "ADD PATCH" << f[4] << key << f[0] << f[1] << f[2] << f[3];
    }
    return true;
}

void MakeDownloadReplaceListFunc::readDeletions(QSettings &ini, const QStringList &keys,
                                                int &counter, int total)
{
    for (const QString &key : keys) {
        ++counter;
        emit progress(qreal(counter) / total);
        if (!isContainedPath(key)) {
            warnInvalid(QStringLiteral("delete"));
            continue;
        }
        if (!QFileInfo::exists(m_InstallDir + QLatin1Char('/') + key))
            continue;
        const int type = ini.value(key).toInt();
        if (selectsDeletion(type))
            m_Lists->deletions.append(DeleteEntry{key, type == 2});
    }
}

void MakeDownloadReplaceListFunc::readCommands(QSettings &ini, const QString &section,
                                               const QStringList &keys)
{
    QList<InstallCommand> &commands =
        section == QLatin1String("preinstall") ? m_Lists->preInstall : m_Lists->postInstall;
    for (const QString &key : keys) {
        const QStringList value = ini.value(key).toStringList();
        qDebug() << "prepostinstall cmd" << key << value;
        if (value.isEmpty())
            continue;
        if (!isContainedPath(key)) {
            warnInvalid(section);
            continue;
        }
        const QStringList osList = value[0].split(kFieldSeparator);
        QStringList args = value.size() > 1 ? value[1].split(kFieldSeparator) : QStringList();
        const bool optional = value.size() > 2 && value[2] == QLatin1String("optional");
        qDebug() << "--->" << key << "os list" << osList << "args" << args << "required"
                 << (optional ? "false" : "true");
        for (QString &arg : args)
            arg.replace(kDirPlaceholder, m_InstallDir);
        qDebug() << "replaced args: " << args;
        for (const QString &os : osList) {
            if (osCode(os) == 5)
                commands.append(InstallCommand{key, args, !optional});
        }
    }
}

void MakeDownloadReplaceListFunc::readFiles(QSettings &ini, const QString &section,
                                            const QStringList &keys, const PatchMap &patches,
                                            int &counter, int total)
{
    for (const QString &key : keys) {
        ++counter;
        emit progress(qreal(counter) / total);
        const QStringList fields = ini.value(key).toString().split(kFieldSeparator);
        const bool wellFormed = fields.size() == 2 || fields.size() == 5;
        if (!wellFormed || !isContainedPath(key) || (fields.size() == 5 && !isContainedPath(fields[4]))) {
            warnInvalid(section);
            continue;
        }
        readFile(section, key, fields, patches);
    }
}

void MakeDownloadReplaceListFunc::readFile(const QString &section, const QString &key,
                                           const QStringList &fields, const PatchMap &patches)
{
    const bool full = fields.size() == 5;
    DownloadEntry download{section, key, fields[0], fields[1].toULongLong()};
    ReplaceEntry replacement{section, key, full ? fields[2] : QString(),
                             full ? fields[3].toULongLong() : 0, full ? fields[4] : QString(),
                             QString()};

    const QString installed = m_InstallDir + QLatin1Char('/') + replacement.targetPath();
    const bool exists = QFileInfo::exists(installed);
    const bool hasPatches = patches.contains(replacement.targetName);
    qDebug() << "CHECK PATCH" << replacement.targetName << exists << hasPatches;
    if (!exists) {
        queue(download, replacement);
        return;
    }
    if (!replacement.targetName.isEmpty() && hasPatches) {
        // values() lists the most recently added patch first: a later line wins.
        for (const PatchEntry &patch : patches.values(replacement.targetName)) {
            const bool match = sameDigest(installed, patch.baseHash);
            qDebug() << "Check Sig" << installed << patch.baseHash << "=>" << match;
            if (!match)
                continue;
            replacement.patchName = patch.name;
            download.name = patch.name;
            download.hash = patch.hash;
            download.size = patch.size.toULongLong();
            qDebug() << "Found patch for" << key << installed;
            queue(download, replacement);
            return;
        }
    }
    if (!sameDigest(installed, full ? replacement.hash : download.hash)) {
        queue(download, replacement);
        return;
    }
    if (m_UpdateType == 0)
        copyUpdaterFile(replacement.targetPath());
}

void MakeDownloadReplaceListFunc::queue(const DownloadEntry &download,
                                        const ReplaceEntry &replacement)
{
    m_Lists->replacements.append(replacement);
    if (sameDigest(m_TempDir + QLatin1Char('/') + download.name, download.hash))
        return;
    m_Lists->downloads.append(download);
    qDebug() << "Queueing download:" << download.name;
}

// The new updater bundle is assembled in the temp dir, so the files that do not change
// must be there too.
void MakeDownloadReplaceListFunc::copyUpdaterFile(const QString &targetPath)
{
    const QString source = m_InstallDir + QLatin1Char('/') + targetPath;
    const QString target = m_TempDir + QLatin1Char('/') + targetPath;
    QDir().mkpath(QFileInfo(target).absolutePath());
    const bool copied = QFile::copy(source, target);
    qDebug() << "Copying updater files:" << source << "to" << target << copied;
}

void MakeDownloadReplaceListFunc::warnInvalid(const QString &section)
{
    emit message(tr("Warning: product ini contains invalid line in section %1").arg(section));
}

bool MakeDownloadReplaceListFunc::sameDigest(const QString &path, const QString &digest)
{
    return CheckSigFunc(path, digest).run();
}
