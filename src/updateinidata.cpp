#include "updateinidata.h"

#include "configuration.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace {

const char kGroup[] = "current";

} // namespace

QString UpdateIniData::updateIniPath()
{
    return QDir(Configuration::updaterBaseDir()).absoluteFilePath(QStringLiteral("update.ini"));
}

bool UpdateIniData::get(int *version, QString *type, QString *dir, QString *vx3dir)
{
    const QString path = updateIniPath();
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    bool numeric = false;
    const int v = settings.value(QStringLiteral("version")).toString().toInt(&numeric, 10);
    const QString t = settings.value(QStringLiteral("type")).toString();
    const QString d = settings.value(QStringLiteral("dir")).toString();
    const QString i = settings.value(QStringLiteral("vx3dir")).toString();
    qDebug() << "get" << path << v << d << i << t;
    if (!numeric || t.isEmpty() || d.isEmpty() || !QFile::exists(d))
        return false;
    if (version)
        *version = v;
    if (type)
        *type = t;
    if (dir)
        *dir = d;
    if (vx3dir)
        *vx3dir = i;
    return true;
}

bool UpdateIniData::modify(int version, const QString &dir, const QString &vx3dir, const QString &type)
{
    const QString path = updateIniPath();
    qDebug() << "modify" << path << version << dir << vx3dir << type;
    return write(path, version, dir, vx3dir, type, "UpdateiniData::modify write result");
}

bool UpdateIniData::modifyTempIni(const QString &dir)
{
    const QString target = dir + QStringLiteral("/update.ini");
    qDebug() << "modifyTempIni" << target;
    int version = 0;
    QString sessionDir;
    QString vx3dir;
    if (!get(&version, nullptr, &sessionDir, &vx3dir)) {
        qDebug() << "Failed to read existing update.ini";
        return false;
    }
    return write(target, version, sessionDir, vx3dir, QStringLiteral("client_macosx"),
                 "UpdateiniData::modifyTempIni write result");
}

bool UpdateIniData::write(const QString &path, int version, const QString &dir, const QString &vx3dir,
                          const QString &type, const char *what)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("version"), version);
    settings.setValue(QStringLiteral("dir"), dir);
    settings.setValue(QStringLiteral("vx3dir"), vx3dir);
    settings.setValue(QStringLiteral("type"), type);
    settings.endGroup();
    settings.sync();
    qDebug() << what << settings.status();
    return settings.status() == QSettings::NoError;
}
