// The settings file looked at through the platform's calls, and the settings kept in memory
// where it is refused.
#include "app/SettingsFile.h"

#include "platform/OsCalls.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace orvane {

namespace {

const char* const RefusedHead = "The settings file \"";
const char* const RefusedTail =
    ", so it is left alone: this session starts with the default settings and keeps the ones "
    "changed only until it ends.";

bool inMemory = false;
std::map<QString, QVariant> memory;

// Where QSettings keeps the user's settings of this application in its native format.
std::string SettingsPath() {
    return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" +
            QCoreApplication::organizationName() + "/" + QCoreApplication::applicationName() +
            ".conf")
        .toStdString();
}

// Why QSettings must not open `path`; empty when it may.
std::string ProblemOf(const std::string& path) {
    struct stat info {};
    if (platform::OsCalls().lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? "" : std::string("can't be looked at: ") + std::strerror(errno);
    }
    if (S_ISREG(info.st_mode)) {
        return {};
    }
    if (!S_ISLNK(info.st_mode)) {
        return "is not a regular file";
    }
    // A link (dotfiles often are) only where it leads to a regular file.
    if (platform::OsCalls().stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return "is a link that leads to no regular file";
    }
    return {};
}

} // namespace

std::string CheckSettingsFile() {
    const std::string path = SettingsPath();
    std::string problem = ProblemOf(path);
    // QSettings reads its lock file too before it writes.
    const std::string lockProblem = problem.empty() ? ProblemOf(path + ".lock") : "";
    inMemory = !problem.empty() || !lockProblem.empty();
    memory.clear();
    if (!inMemory) {
        return {};
    }
    if (problem.empty()) {
        return RefusedHead + path + "\" has a lock file that " + lockProblem + RefusedTail;
    }
    return RefusedHead + path + "\" " + problem + RefusedTail;
}

QVariant Setting(const QString& key, const QVariant& fallback) {
    if (!inMemory) {
        return QSettings().value(key, fallback);
    }
    const auto kept = memory.find(key);
    return kept != memory.end() ? kept->second : fallback;
}

void SetSetting(const QString& key, const QVariant& value) {
    if (!inMemory) {
        QSettings().setValue(key, value);
        return;
    }
    memory[key] = value;
}

} // namespace orvane
