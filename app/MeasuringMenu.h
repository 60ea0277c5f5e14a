// The result lists' context menu: how the next run measures (as it always has, or with
// durable writes and/or cold reads) and how often each pass is repeated (a fixed count or
// until steady). The choice is remembered between starts; a new user gets the plain run.
#pragma once

#include "bench/RunHost.h"

#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace orvane {

class TMeasuringMenu : public QObject {
    Q_OBJECT
public:
    explicit TMeasuringMenu(QWidget* parent);

    TMeasuringMode Mode() const;
    QMenu* Menu() const { return FMenu; }

    // What a list's caption adds for the mode its rows were measured in: "" for the plain
    // run, else e.g. " (durable, median of 3)" or " (cold, median until steady)".
    // `promise`, where a run's mode did not keep it, stands in place of the mode's word:
    // " (cold not honoured: tmpfs, median of 3)".
    static QString WriteNote(const TMeasuringMode& mode, const QString& promise = {});
    static QString ReadNote(const TMeasuringMode& mode, const QString& promise = {});

    QAction* Standard = nullptr;
    QAction* Durable = nullptr;
    QAction* Cold = nullptr;
    QAction* Repeats[3] = {};
    QAction* UntilSteady = nullptr; // in the repeats' group: at most 9, within 5 %
    QAction* Ceiling = nullptr;     // before the sweep, the device's ceiling by direct I/O

private:
    void Load();
    void Save() const;
    void Show();

    QMenu* FMenu = nullptr;
};

} // namespace orvane
