// The version server's answer as the updater uses it: channel name ("stable", "beta",
// "alpha") to (version number as decimal text, version text). It is a registered meta type so
// that it can travel through queued signals between threads.
#pragma once

#include <QHash>
#include <QMetaType>
#include <QPair>
#include <QString>

typedef QHash<QString, QPair<QString, QString>> UpdateVersions;

Q_DECLARE_METATYPE(UpdateVersions)
