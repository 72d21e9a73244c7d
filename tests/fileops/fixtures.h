// Small helpers for tests that work on a scratch folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Writes `content` to `path`, making the file's folder if needed.
void writeFile(const QString &path, const QByteArray &content);
QByteArray readFile(const QString &path);
// True if anything, even a dangling link, stands at `path`.
bool entryExists(const QString &path);
