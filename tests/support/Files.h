#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

namespace zelvaro::test {

// A file of tests/data (ZELVARO_TEST_DATA).
inline QString dataPath(const QString &name)
{
    return QDir(qEnvironmentVariable("ZELVARO_TEST_DATA")).filePath(name);
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the file, making its folder first.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

inline QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Every entry of a folder with its bytes (a link shows through its target).
inline QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : folderEntries(folder))
        files.insert(name, readBytes(folder + QLatin1Char('/') + name));
    return files;
}

} // namespace zelvaro::test
