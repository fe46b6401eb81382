#pragma once

#include <QIcon>
#include <QString>

// Kennel's icon (a kennel with a red roof) from the resources, at the icon theme's sizes: the
// windows, the tray, the TaskTray window and the desktop entries show it.
QIcon programIcon();
// The resource folder that holds it as kennel-SIZE.png (16 to 256).
QString programIconFolder();
