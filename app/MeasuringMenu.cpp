// The measuring menu and its settings.
#include "app/MeasuringMenu.h"

#include "app/SettingsFile.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

namespace orvane {

namespace {

constexpr int RepeatChoices[] = {1, 3, 5};
const char* const DurableKey = "measuring/durable";
const char* const ColdKey = "measuring/cold";
const char* const CeilingKey = "measuring/ceiling";
const char* const RepeatsKey = "measuring/repeats";
// Kept under the repeats' key, so that the choice stays one of them.
const char* const UntilSteadyValue = "steady";

QAction* Checkable(QMenu* menu, const QString& text, const char* name) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    return action;
}

QString Note(bool special, const char* word, const TMeasuringMode& mode, const QString& promise) {
    QStringList parts;
    if (!promise.isEmpty()) {
        parts << promise; // "cold not honoured: tmpfs" in place of "cold"
    } else if (special) {
        parts << QString::fromLatin1(word);
    }
    if (mode.UntilSteady) {
        parts << QStringLiteral("median until steady");
    } else if (mode.Repeats > 1) {
        parts << QStringLiteral("median of %1").arg(mode.Repeats);
    }
    return parts.isEmpty() ? QString()
                           : QStringLiteral(" (%1)").arg(parts.join(QStringLiteral(", ")));
}

} // namespace

TMeasuringMenu::TMeasuringMenu(QWidget* parent) : QObject(parent) {
    FMenu = new QMenu(parent);
    FMenu->setObjectName(QStringLiteral("MeasuringMenu"));
    FMenu->setAccessibleName(QStringLiteral("Measuring mode"));
    Standard = Checkable(FMenu, QStringLiteral("&Page cache (standard)"), "Standard");
    Durable = Checkable(FMenu, QStringLiteral("&Durable writes"), "Durable");
    Cold = Checkable(FMenu, QStringLiteral("&Cold reads"), "Cold");
    FMenu->addSeparator();
    QMenu* repeats = FMenu->addMenu(QStringLiteral("&Repeats"));
    repeats->setObjectName(QStringLiteral("RepeatsMenu"));
    auto* group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        Repeats[i] = Checkable(repeats, QString::number(RepeatChoices[i]), "Repeats");
        Repeats[i]->setObjectName(QStringLiteral("Repeats%1").arg(RepeatChoices[i]));
        Repeats[i]->setData(RepeatChoices[i]);
        group->addAction(Repeats[i]);
    }
    UntilSteady = Checkable(repeats, QStringLiteral("Until &steady"), "UntilSteady");
    group->addAction(UntilSteady);
    FMenu->addSeparator();
    Ceiling = Checkable(FMenu, QStringLiteral("Measure the device's &ceiling"), "Ceiling");
    Load();
    // The standard run is the absence of both modes, so choosing it clears them.
    connect(Standard, &QAction::triggered, this, [this] {
        Durable->setChecked(false);
        Cold->setChecked(false);
        Show();
        Save();
    });
    for (QAction* action :
         {Durable, Cold, Repeats[0], Repeats[1], Repeats[2], UntilSteady, Ceiling}) {
        connect(action, &QAction::triggered, this, [this] {
            Show();
            Save();
        });
    }
}

TMeasuringMode TMeasuringMenu::Mode() const {
    TMeasuringMode mode;
    mode.Durable = Durable->isChecked();
    mode.Cold = Cold->isChecked();
    for (QAction* action : Repeats) {
        if (action->isChecked()) {
            mode.Repeats = action->data().toInt();
        }
    }
    mode.UntilSteady = UntilSteady->isChecked();
    mode.Ceiling = Ceiling->isChecked();
    return mode;
}

QString TMeasuringMenu::WriteNote(const TMeasuringMode& mode, const QString& promise) {
    return Note(mode.Durable, "durable", mode, promise);
}

QString TMeasuringMenu::ReadNote(const TMeasuringMode& mode, const QString& promise) {
    return Note(mode.Cold, "cold", mode, promise);
}

void TMeasuringMenu::Load() {
    Durable->setChecked(Setting(QString::fromLatin1(DurableKey), false).toBool());
    Cold->setChecked(Setting(QString::fromLatin1(ColdKey), false).toBool());
    Ceiling->setChecked(Setting(QString::fromLatin1(CeilingKey), false).toBool());
    const QVariant repeats = Setting(QString::fromLatin1(RepeatsKey), 1);
    bool found = repeats.toString() == QString::fromLatin1(UntilSteadyValue);
    UntilSteady->setChecked(found);
    for (QAction* action : Repeats) {
        found = found || action->data().toInt() == repeats.toInt();
        action->setChecked(!UntilSteady->isChecked() && action->data().toInt() == repeats.toInt());
    }
    if (!found) {
        Repeats[0]->setChecked(true); // a value from elsewhere: the standard count
    }
    Show();
}

void TMeasuringMenu::Save() const {
    const TMeasuringMode mode = Mode();
    SetSetting(QString::fromLatin1(DurableKey), mode.Durable);
    SetSetting(QString::fromLatin1(ColdKey), mode.Cold);
    SetSetting(QString::fromLatin1(CeilingKey), mode.Ceiling);
    SetSetting(QString::fromLatin1(RepeatsKey),
               mode.UntilSteady ? QVariant(QString::fromLatin1(UntilSteadyValue))
                                : QVariant(mode.Repeats));
}

void TMeasuringMenu::Show() {
    Standard->setChecked(!Durable->isChecked() && !Cold->isChecked());
}

} // namespace orvane
