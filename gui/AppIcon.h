#pragma once
// The application, window and tray icon, drawn so that no image file has to be installed.

#include <QIcon>

QIcon MonitorAppIcon();
