#pragma once

#include "Models/UserData.h"
#include "Persistence/FileIO.h"
#include "Persistence/FileSystemError.h"
#include "Persistence/LocalStore.h"
#include "TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace StorageTest {

// A small valid library whose content depends on `text`.
inline UserData library(const QString& text)
{
    UserData data = UserData::empty();
    Group folder;
    folder.id = QStringLiteral("F1");
    folder.name = QStringLiteral("Work");
    data.groups.append(folder);
    Shortcut shortcut;
    shortcut.id = QStringLiteral("S1");
    shortcut.trigger = QStringLiteral("/sig");
    shortcut.expansion = text;
    shortcut.groupId = folder.id;
    data.shortcuts.append(shortcut);
    return data;
}

// The permission bits of a file or folder, -1 when it does not exist.
inline int modeOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// A writer that writes like the store's own, except that the files for which `fails`
// answers true fail with EIO before anything is written. `written` collects every path
// written successfully.
struct ControlledWriter {
    std::function<bool(const QString& path)> fails = [](const QString&) { return false; };
    QStringList written;

    FileIO::Writer writer()
    {
        return [this](const QByteArray& bytes, const QString& path, FileIO::Access access) {
            if (fails(path))
                throw FileSystemError(FileSystemError::Operation::write, path, EIO);
            FileIO::writeAtomically(bytes, path, access);
            written << path;
        };
    }

    // Fails every write to a file called `name`.
    void failFilesNamed(const QString& name)
    {
        fails = [name](const QString& path) { return QFileInfo(path).fileName() == name; };
    }
};

// A store over a temporary folder, written through a ControlledWriter.
class StoreTest : public ::testing::Test {
protected:
    // Opens the folder as the application does at start-up: the sync record, then the rest.
    void open()
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        store->loadData();
        store->loadSettings();
        store->loadStats();
    }

    QString issue(LocalStore::Resource resource) const { return store->issues().value(resource); }

    TempDir dir;
    ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
};

} // namespace StorageTest
