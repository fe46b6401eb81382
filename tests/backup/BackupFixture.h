#pragma once

#include "ports/Context.h"
#include "backup/UnlhaLibrary.h"
#include "storage/HostLayout.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A temporary program folder with registered pets whose folders hold tagged data, and
// a spare folder for backups.
struct BackupFixture {
    QTemporaryDir root;
    std::unique_ptr<TestContext> tc;
    ScriptedFolderPicker picker;
    std::unique_ptr<UnlhaLibrary> library;

    BackupFixture()
    {
        QDir().mkpath(host());
        QDir().mkpath(outside());
        tc = std::make_unique<TestContext>(host());
        tc->ctx.folderPicker = &picker;
        hostfolder::write(host(), QStringLiteral("Mewmail20.exe"), "host");
    }

    Context& ctx() { return tc->ctx; }
    QString host() const { return root.path() + QStringLiteral("/host"); }
    QString outside() const { return root.path() + QStringLiteral("/outside"); }
    QString pet(int index) const { return tc->ctx.paths.PetFolder(index); }

    // Forgets every pet (their folders stay as they are).
    void dropPets()
    {
        tc->ctx.table = PetTable();
        tc->view.selector = QStringList{texts::kNewPetEntry};
    }

    // Registers a pet at the next index with a full folder of data tagged by its name.
    int addPet(const QString& name, const QString& master, bool withAttachments = true)
    {
        PetTable& t = tc->ctx.table;
        const int i = ++t.MaxUser;
        t.Pet[i] = name;
        t.Master[i] = master;
        tc->view.selector << name;
        const QString f = pet(i);
        const QByteArray tag = name.toUtf8();
        const QStringList files = {items::kToys + "/ball.pty", items::kSnacks + "/cake.pac", items::kInbox + "/in.mwm",
                                   items::kOutbox + "/out.mwm", items::kTreasures + "/gem.pac", items::kFriends,
                                   items::kSettings, items::kSettingsBackup};
        for (const QString& file : files)
            hostfolder::write(f, file, file.toUtf8() + ' ' + tag);
        if (withAttachments)
            hostfolder::write(f, items::kAttachments + QStringLiteral("/photo.jpg"), "att " + tag);
        return i;
    }

    // Loads the archiver library from the build; false when it is not built.
    bool loadLibrary()
    {
        library = std::make_unique<UnlhaLibrary>(qEnvironmentVariable("KENNEL_BIN_DIR"));
        if (!library->isLoaded() || library->version() <= 0)
            return false;
        tc->ctx.unlha = library.get();
        tc->ctx.UnlhaInstalled = true;
        return true;
    }
};

// Archive tests need the library from the build; they skip until it is built.
#define REQUIRE_LIBRARY(fx) \
    if (!(fx)->loadLibrary()) \
    QSKIP("libunlha32.so is not built in KENNEL_BIN_DIR yet")

// A pet folder's content without the information file, for byte comparisons.
inline QMap<QString, QByteArray> dataOf(const QString& folder)
{
    QMap<QString, QByteArray> files = hostfolder::snapshot(folder);
    for (auto it = files.begin(); it != files.end();) {
        if (it.key().compare(QStringLiteral("BackUp.ini"), Qt::CaseInsensitive) == 0)
            it = files.erase(it);
        else
            ++it;
    }
    return files;
}
