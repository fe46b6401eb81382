#pragma once

#include <QString>

#include <array>

// The registered pets and the sharing flags, as kept in Kennel.ini.
inline constexpr int kMaxPets = 100;

struct PetTable {
    std::array<QString, kMaxPets> Pet;     // pet names, index 0 to 99
    std::array<QString, kMaxPets> Master;  // owner names, same index
    int CurrentUser = -1;                  // pet whose data is in the host's places; -1: none
    int MaxUser = -1;                      // highest index in use; -1: no pet
    bool Oyatsu = false;                   // snacks shared
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
};
