#pragma once

#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

// Small builders shared by the registration dialogs.
namespace formparts {
// A frame holding one text box; both named.
QGroupBox* nameFrame(QWidget* parent, const char* frameName, const QString& caption, const char* editName,
                     const QString& tip, QLineEdit** edit);
// The caution sign beside the notes.
QLabel* cautionImage(QWidget* parent);
QLabel* note(QWidget* parent, const char* name, const QString& text);
// The name typed into box as Kennel.ini will give it back (cp932::storedForm), which the box
// then shows: every check and the registration see the name the file will hold, so a name
// that only reads differently can never pass for a new one.
QString typedName(QLineEdit* box);
} // namespace formparts
