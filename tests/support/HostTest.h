#pragma once

#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

// Base of tests that work on a program folder: a fresh temporary folder and a TestContext
// on it for each test function (call newHost() from init()).
class HostTest : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;

    void newHost()
    {
        tc.reset();
        dir = std::make_unique<QTemporaryDir>();
        tc = std::make_unique<TestContext>(host());
    }
    QString host() const { return dir->path(); }
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
};
