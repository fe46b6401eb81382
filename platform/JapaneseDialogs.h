#pragma once

#include <QString>

class QFileDialog;
class QWidget;

// Qt's own dialogs in Japanese, like every text of Kennel's, whatever the desktop's language:
// - Qt's translation, built into the program (the system's copy when the build had none);
// - Japanese as the default locale (file type names come from it);
// - the file dialog Qt draws itself (a desktop's own chooser speaks the desktop's language),
//   with sizes, types and dates written the Japanese way: Qt writes those in the system's
//   locale and has no Japanese for some of them.
void useJapaneseQtTexts();
void makeJapanese(QFileDialog& dialog);

// A folder chooser made that way; the empty text when cancelled.
QString chooseFolder(QWidget* parent, const QString& title, const QString& start = {});
