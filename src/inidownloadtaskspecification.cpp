#include "inidownloadtaskspecification.h"

#include "checksignaturetaskspecification.h"
#include "configuration.h"
#include "downloadtaskspecification.h"
#include "fileunpacktaskspecification_lzma2.h"

#include <QDebug>
#include <QFile>

namespace {

constexpr qreal kDownloadWeight = 0.3333;

} // namespace

IniDownloadTaskSpecification::IniDownloadTaskSpecification(QNetworkAccessManager *manager,
                                                           Configuration *configuration,
                                                           QObject *parent, qreal weight)
    : ComposedTaskSpecification(1, parent, weight)
    , m_Manager(manager)
    , m_Configuration(configuration)
{
}

QString IniDownloadTaskSpecification::productIniName(int updateType)
{
    const QString name = Configuration::defaultClientType(updateType) + QStringLiteral(".ini");
    return updateType == 1 ? QStringLiteral("vx3_") + name : name;
}

void IniDownloadTaskSpecification::execute()
{
    emit message(tr("Download / check product ini"));
    makeSubtasksAndStart();
}

void IniDownloadTaskSpecification::makeSubtasksAndStart()
{
    const QString iniName = productIniName(m_Configuration->m_UpdateType);
    const QString packedName = iniName + QStringLiteral("._lzma2_");
    const QString sigName = iniName + QStringLiteral(".sig");
    const QString dir = m_Configuration->m_TempDir + QLatin1Char('/');
    const int version = m_Configuration->m_VersionNr;
    qDebug() << "makeSubtasksAndStart" << iniName << packedName;

    qreal checkWeight = 1.0;
    if (!QFile::exists(dir + iniName)) {
        qDebug() << "Requesting" << packedName;
        addSubTask(new DownloadTaskSpecification(m_Manager, packedName, version,
                                                 dir + packedName, -1, this, kDownloadWeight));
        addSubTask(new FileUnpackTaskSpecification_lzma2(nullptr, dir + packedName,
                                                         dir + iniName, this, 1.0));
        checkWeight = 0.6667;
    }
    if (!QFile::exists(dir + sigName)) {
        qDebug() << "Requesting" << sigName;
        addSubTask(new DownloadTaskSpecification(m_Manager, sigName, version, dir + sigName, -1,
                                                 this, kDownloadWeight));
        checkWeight -= kDownloadWeight;
    }
    auto *check = new CheckSignatureTaskSpecification(dir + iniName, QString(), true, this,
                                                      checkWeight);
    connect(check, &CheckSignatureTaskSpecification::checkDone, this,
            &IniDownloadTaskSpecification::onSigCheckDone);
    addSubTask(check);
    startSubTasks();
}

void IniDownloadTaskSpecification::onSigCheckDone(bool pass, CheckSignatureTaskSpecification *)
{
    if (pass)
        return;
    // The check fails itself (fail-on-mismatch), and that failure ends this task by the
    // composed outcome rule; ending it here as well would send `canceled` twice.
    qDebug() << "Failed to verify product ini, aborting";
    emit message(tr("Could not verify the product ini file. Aborting"));
}

void IniDownloadTaskSpecification::reset()
{
    deleteSubTasks();
    ComposedTaskSpecification::reset();
}
