// The window's few settings and the file QSettings keeps them in
// (~/.config/Orvane/Orvane.conf), which is looked at before Qt ever reads it: QSettings opens
// whatever stands at that name, and a FIFO there would hang the start for good.
#pragma once

#include <QString>
#include <QVariant>
#include <string>

namespace orvane {

// Looks at the settings file and its lock file (after the application's names are set,
// before anything reads a setting). Empty when they are regular files, links to regular
// files, or not there; else the warning to show once, and the settings live in memory for
// the rest of the session, leaving whatever stands there alone.
std::string CheckSettingsFile();

// A setting, from the file or, where it was refused, from memory.
QVariant Setting(const QString& key, const QVariant& fallback);
void SetSetting(const QString& key, const QVariant& value);

} // namespace orvane
