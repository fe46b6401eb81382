#pragma once

#include <QString>

// Where problem reports go, as the about box shows them. These are the project's own
// placeholders; an installation that has real contacts sets them here.
namespace contact {
// Posting address of the support board.
inline const QString kBoardAddress = QStringLiteral("board@example.org");
// Support home page.
inline const QString kHomePageUrl = QStringLiteral("https://www.example.org/kennel/");
// The maintainer's name and mail address.
inline const QString kAuthorName = QStringLiteral("Kennel 保守担当");
inline const QString kAuthorAddress = QStringLiteral("kennel@example.org");
} // namespace contact
