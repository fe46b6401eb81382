#pragma once

#include "backup/UnlhaLibrary.h"
#include "registry/RegistryFormat.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QDir>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

// Base of tests that work on a program folder: a fresh temporary folder and a TestContext on
// it for each test function (call newHost() from init(); with a sub-folder name the program
// folder lies below the temporary folder, leaving room beside it).
class HostTest : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;

    void newHost(const QString& sub = {})
    {
        tc.reset();
        library_.reset();
        dir = std::make_unique<QTemporaryDir>();
        sub_ = sub;
        tc = std::make_unique<TestContext>(host());
    }
    // A program folder with only the executable, below the temporary folder, and outside() beside it.
    void newHostBeside()
    {
        newHost(QStringLiteral("/host"));
        QDir().mkpath(outside());
        hostfolder::write(host(), QStringLiteral("Mewmail20.exe"), "host");
    }
    QString root() const { return dir->path(); }
    QString host() const { return root() + sub_; }
    QString outside() const { return root() + QStringLiteral("/outside"); }
    Context& ctx() { return tc->ctx; }
    Session& session() const { return tc->session; }
    PetTable& table() { return tc->session.table(); }
    QString pet(int n) const { return host() + QStringLiteral("/ユーザー") + QString::number(n); }
    QString folderOf(int index) const { return pet(index + 1); }
    QString ini() const { return host() + QStringLiteral("/Kennel.ini"); }
    RegistryContent registry() const { return parseRegistry(hostfolder::read(ini())); }
    static QString petName(int i) { return QStringLiteral("ペット%1").arg(i); }
    QStringList messages() const { return tc->messages.texts(); }
    Steps none() { return Steps::none(tc->ctx); }

    // Registers "ペット0"... with owners "飼い主0"...; `current` is current.
    void addPets(int count, int current)
    {
        for (int i = 0; i < count; ++i)
            table().Pet[i] = petName(i), table().Master[i] = QStringLiteral("飼い主%1").arg(i);
        table().MaxUser = count - 1;
        table().CurrentUser = current;
    }

    // Registers a pet at the next index with a full folder of data tagged by its name.
    int addPet(const QString& name, const QString& master, bool withAttachments = true)
    {
        const int i = ++table().MaxUser;
        table().Pet[i] = name, table().Master[i] = master;
        hostfolder::makePet(pet(i + 1), name, withAttachments);
        return i;
    }

    // A version 1.0 mailbox folder "ユーザー n", tagged with its number; with settings it holds data.
    QString oldFolder(int n) const { return host() + QStringLiteral("/ユーザー ") + QString::number(n); }
    void makeMailbox(int n, bool withSettings = true)
    {
        const QByteArray tag = "mailbox " + QByteArray::number(n);
        for (const QString& item : items::kFolderOrder)
            QDir().mkpath(oldFolder(n) + QLatin1Char('/') + item);
        hostfolder::write(oldFolder(n), QStringLiteral("おやつ/cake.pac"), tag);
        hostfolder::write(oldFolder(n), QStringLiteral("おともだち帳"), tag);
        if (withSettings)
            hostfolder::write(oldFolder(n), items::kSettings, tag);
    }

    // The archiver library from the build; false when it is not built.
    bool loadLibrary()
    {
        library_ = std::make_unique<UnlhaLibrary>(qEnvironmentVariable("KENNEL_BIN_DIR"));
        library_->setKeepAlive(&tc->keepAlive); // as the program's windows do
        return library_->version() > 0;
    }
    // The library loaded by loadLibrary, else one that is not installed.
    UnlhaLibrary& library()
    {
        if (!library_)
            library_ = std::make_unique<UnlhaLibrary>(UnlhaLibrary::Entries{});
        return *library_;
    }

private:
    QString sub_;
    std::unique_ptr<UnlhaLibrary> library_;
};

// Archive tests need the library from the build; they skip until it is built.
#define REQUIRE_LIBRARY()                                                                                              \
    if (!loadLibrary())                                                                                                \
    QSKIP("libunlha32.so is not built in KENNEL_BIN_DIR yet")
