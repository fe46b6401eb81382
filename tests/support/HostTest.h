#pragma once

#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

// Base of tests that work on a program folder: a fresh temporary folder and a TestContext
// on it for each test function (call newHost() from init(); with a sub-folder name the
// program folder lies below the temporary folder, leaving room beside it).
class HostTest : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;

    void newHost(const QString& sub = {})
    {
        tc.reset();
        dir = std::make_unique<QTemporaryDir>();
        sub_ = sub;
        tc = std::make_unique<TestContext>(host());
    }
    QString root() const { return dir->path(); }
    QString host() const { return root() + sub_; }
    Context& ctx() { return tc->ctx; }
    PetTable& table() { return tc->ctx.table; }
    QString pet(int n) const { return host() + QStringLiteral("/ユーザー") + QString::number(n); }
    QString ini() const { return host() + QStringLiteral("/Kennel.ini"); }
    RegistryContent registry() const { return parseRegistry(hostfolder::read(ini())); }
    static QString petName(int i) { return QStringLiteral("ペット%1").arg(i); }

    // Registers "ペット0"... with owners "飼い主0"..., listed in the selector; `current` is current.
    void addPets(int count, int current)
    {
        for (int i = 0; i < count; ++i) {
            table().Pet[i] = petName(i);
            table().Master[i] = QStringLiteral("飼い主%1").arg(i);
            tc->view.selector << petName(i);
        }
        table().MaxUser = count - 1;
        table().CurrentUser = current;
    }

private:
    QString sub_;
};
