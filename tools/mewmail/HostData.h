#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// The stand-in host's data: the pet in "Mewmail設定.mwc" and the item places beside the
// executable. Files are UTF-8 texts of our own making; Kennel treats them as opaque bytes.
struct PetState {
    QString name;
    QDateTime born;
    int fullness = 50; // 0..100
    int received = 0;  // mails received so far
    QDate outUntil;    // out delivering a mail until this day; null: at home
};

class HostData {
public:
    explicit HostData(const QString& folder);

    // Creates the missing item places and, when the settings file is missing, a new pet.
    void prepare();

    const PetState& pet() const { return pet_; }
    QString path(const QString& name) const;
    int countFiles(const QString& place, const QString& pattern) const;
    int friendCount() const;

    // Receives the mails waiting: one letter, plus the pet's own when it is back from its
    // errand. today is the system date. Returns the number of mail files written.
    int receiveMail(const QDate& today);
    // Eats the first snack of "おやつ"; false when there is none.
    bool eatSnack();
    // Writes a mail into "送信フォルダ"; the pet goes out and comes back tomorrow.
    void sendMail(const QDate& today);
    void addFriend(const QString& name);
    // Plays with the toys: a new toy is found now and then; here always, to keep it simple.
    void findToy();

private:
    bool loadSettings();
    void saveSettings();
    QString writeUnique(const QString& place, const QString& stem, const QString& suffix, const QByteArray& content);

    QString folder_;
    PetState pet_;
};
