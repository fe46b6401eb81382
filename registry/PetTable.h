#pragma once

#include <QString>

#include <array>

// The registered pets and the sharing flags, as kept in Kennel.ini.
inline constexpr int kMaxPets = 100;

struct PetTable {
    std::array<QString, kMaxPets> Pet;    // pet names, index 0 to 99
    std::array<QString, kMaxPets> Master; // owner names, same index
    int CurrentUser = -1;                 // pet whose data is in the host's places; -1: none
    int MaxUser = -1;                     // highest index in use; -1: no pet
    bool Oyatsu = false;                  // snacks shared
    bool Treasures = false;
    bool Friends = false;
    bool Toys = false;
    bool Mails = false;

    int count() const { return MaxUser + 1; }
    bool isFull() const { return MaxUser >= kMaxPets - 1; }
    bool anyShared() const { return Oyatsu || Treasures || Friends || Toys || Mails; }
    // Index of the first pet with exactly this name, or -1.
    int indexOf(const QString& name) const
    {
        for (int i = 0; i <= MaxUser && i < kMaxPets; ++i)
            if (Pet[i] == name)
                return i;
        return -1;
    }
    // The five sharing flags in the order of Kennel.ini: snacks, treasures, friends book,
    // toys, mail drawers.
    std::array<bool, 5> sharing() const { return {Oyatsu, Treasures, Friends, Toys, Mails}; }
    void setSharing(const std::array<bool, 5>& shared)
    {
        Oyatsu = shared[0];
        Treasures = shared[1];
        Friends = shared[2];
        Toys = shared[3];
        Mails = shared[4];
    }
    // The table after pet c is deleted: later pets one index down, no pet current.
    PetTable withoutPet(int c) const
    {
        PetTable t = *this;
        for (int i = c; i < MaxUser; ++i) {
            t.Pet[i] = Pet[i + 1];
            t.Master[i] = Master[i + 1];
        }
        t.MaxUser = MaxUser - 1;
        t.CurrentUser = -1;
        return t;
    }
};
