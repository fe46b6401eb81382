// Import steps on real temporary host folders: targets, questions, gauge steps, refusals.
#include "import/ImportOps.h"
#include "tests/support/HostTest.h"

#include <QtTest>

namespace {

const QString kAsk = QStringLiteral(" はすでに存在します。上書きしますか？");
const QStringList kAB = {QStringLiteral("a.pac"), QStringLiteral("b.pac")};

} // namespace

class TestImportOps : public HostTest {
    Q_OBJECT

    QString stored(int i) const { return host() + QStringLiteral("/ユーザー%1/おやつ").arg(i + 1); }
    QString snacks() const { return host() + QStringLiteral("/おやつ"); }
    QString source() const { return root() + QStringLiteral("/src"); }
    // The file in the host's snack folder, then in the stored folders of pets 0, 1 and 2.
    QList<QByteArray> targetsOf(const QString& f) const
    {
        QList<QByteArray> out{hostfolder::read(snacks() + QLatin1Char('/') + f)};
        for (int i = 0; i < 3; ++i)
            out << hostfolder::read(stored(i) + QLatin1Char('/') + f);
        return out;
    }

private slots:
    void init()
    {
        newHost(QStringLiteral("/host"));
        hostfolder::makeHost(host(), QStringLiteral("host"));
        for (int i = 0; i < 3; ++i)
            QDir().mkpath(stored(i));
        for (const QString& f : kAB)
            hostfolder::write(source(), f, "new " + f.left(1).toUtf8());
        table().Pet = {QStringLiteral("ポチ"), QStringLiteral("タマ"), QStringLiteral("ミケ")};
        table().MaxUser = 2;
        table().CurrentUser = 0;
    }

    // The current pet: its stored folder and the host's copy are asked about apart (Yes, then
    // No); the other pets stay as they were. Another pet, and all pets, are imported in the
    // end-to-end import journey.
    void currentPet_storedAndHostCopyAskedApart()
    {
        hostfolder::write(stored(0), QStringLiteral("a.pac"), "old");
        hostfolder::write(snacks(), QStringLiteral("a.pac"), "old");
        tc->messages.answer(MsgAnswer::Yes);
        tc->messages.answer(MsgAnswer::No);
        QCOMPARE(ImportToPet(session(), 0, source(), kAB), ImportResult::Done);

        QCOMPARE(tc->messages.texts(),
                 (QStringList{QStringLiteral("a.pac") + kAsk, QStringLiteral("a.pac") + kAsk, importops::kMsgDone}));
        QCOMPARE(targetsOf(QStringLiteral("a.pac")), (QList<QByteArray>{"old", "new a", "", ""}));
        QCOMPARE(targetsOf(QStringLiteral("b.pac")), (QList<QByteArray>{"new b", "new b", "", ""}));
        QCOMPARE(tc->view.gauge, 100);
        QCOMPARE(tc->view.busyOffCount, 1);
    }

    // All pets with none current: the host's copy is asked about without a pet's name. The
    // questions that name a pet are in the end-to-end import journey.
    void allPets_noCurrentPet_hostCopyAskedUnnamed()
    {
        table().CurrentUser = -1;
        hostfolder::write(snacks(), QStringLiteral("b.pac"), "old");
        QCOMPARE(ImportToAllPets(session(), source(), kAB), ImportResult::Done);
        QCOMPARE(tc->messages.texts(), (QStringList{QStringLiteral("b.pac") + kAsk, importops::kMsgDone}));
        QCOMPARE(targetsOf(QStringLiteral("b.pac")), (QList<QByteArray>{"new b", "new b", "new b", "new b"}));
    }

    void refusals()
    {
        const QString same = importops::kMsgSameFolder;
        // The pet (-1: all pets), the source folder below the host ("HOST-UPPER": the host's snack
        // folder in upper case; "link:": a link to the folder), the refusal (empty: allowed).
        const auto row = [&](const char* name, int pet, const QString& from, const QString& message) {
            init();
            QString path = from.isEmpty() ? QString() : host() + QLatin1Char('/') + from;
            if (from == QLatin1String("HOST-UPPER")) {
                path = UpperAscii(snacks());
            } else if (from.startsWith(QLatin1String("link:"))) {
                path = root() + QStringLiteral("/link");
                QVERIFY(QFile::link(host() + QLatin1Char('/') + from.mid(5), path));
            }
            hostfolder::write(stored(2), QStringLiteral("x.pac"), "x");
            const QStringList files{QStringLiteral("cake.pac")};
            const auto r = pet < 0 ? ImportToAllPets(session(), path, files) : ImportToPet(session(), pet, path, files);
            QVERIFY2(r == (message.isEmpty() ? ImportResult::Done : ImportResult::Refused), name);
            // A refusal says so, before the busy state, and copies nothing into a stored folder.
            QVERIFY2(message.isEmpty() || (messages() == QStringList{message} && tc->view.busyOnCount == 0 &&
                                           targetsOf(QStringLiteral("cake.pac")).mid(1) == QList<QByteArray>(3)),
                     name);
        };
        row("current pet: host folder, other letter case", 0, "HOST-UPPER", same);
        row("current pet: host folder through a link", 0, "link:おやつ", same);
        row("pet 1: its own stored folder", 1, "ユーザー2/おやつ", same);
        row("pet 1: the host folder is allowed", 1, "おやつ", QString());
        row("pet 1: pet 2's stored folder is allowed", 1, "ユーザー3/おやつ", QString());
        row("all pets: host folder, other letter case", -1, "HOST-UPPER", same);
        row("all pets: pet 2's stored folder", -1, "ユーザー3/おやつ", same);
        row("one pet: no folder chosen", 1, "", importops::kMsgNoSource);
        row("one pet: index beyond the table", 3, "ユーザー3/おやつ", importops::kMsgNoTargetPet);
    }

    // For the current pet, then for all pets.
    void noFileSelected_fillsGaugeAndCompletes()
    {
        for (bool all : {false, true}) {
            init();
            const auto before = hostfolder::snapshot(host());
            QCOMPARE(all ? ImportToAllPets(session(), source(), {}) : ImportToPet(session(), 0, source(), {}),
                     ImportResult::Done);
            QCOMPARE(hostfolder::snapshot(host()), before);
            QCOMPARE(tc->view.gauge, 100);
            QCOMPARE(tc->messages.texts(), QStringList{importops::kMsgDone});
        }
    }

    void failedCopy_keepsOldSnackAndGoesOn()
    {
        hostfolder::write(stored(1), QStringLiteral("gone.pac"), "old gone");
        // "gone.pac" was listed but has left the source folder since.
        QCOMPARE(ImportToPet(session(), 1, source(), {QStringLiteral("gone.pac"), QStringLiteral("a.pac")}),
                 ImportResult::Done);
        QCOMPARE(tc->messages.texts(),
                 (QStringList{QStringLiteral("gone.pac") + kAsk, texts::kMsgFileError, importops::kMsgDone}));
        QCOMPARE(hostfolder::read(stored(1) + QStringLiteral("/gone.pac")), QByteArray("old gone"));
        QCOMPARE(hostfolder::read(stored(1) + QStringLiteral("/a.pac")), QByteArray("new a"));
    }
};

QTEST_GUILESS_MAIN(TestImportOps)
#include "test_importops.moc"
