#include "updatelists.h"

QString ReplaceEntry::targetPath() const
{
    const QString path = targetName.isEmpty() ? name : targetName;
    // Tool applications of the client live next to the updater, not in the bundle root.
    if (section == QLatin1String("common_client"))
        return QStringLiteral("SharedSupport/") + path;
    return path;
}

void UpdateLists::clear()
{
    downloads.clear();
    replacements.clear();
    deletions.clear();
    preInstall.clear();
    postInstall.clear();
}
