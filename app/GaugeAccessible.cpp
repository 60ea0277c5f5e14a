// The gauge's accessible interface: role progress bar, value and range from the gauge.
#include "app/GaugeAccessible.h"

#include "app/Gauge.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace orvane {

namespace {

class TGaugeAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TGaugeAccessible(TGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QStringLiteral("%1%").arg(Gauge()->PercentDone());
        }
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return Gauge()->Progress(); }
    void setCurrentValue(const QVariant&) override {} // read-only for the user
    QVariant maximumValue() const override { return Gauge()->MaxValue(); }
    QVariant minimumValue() const override { return Gauge()->MinValue(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    TGauge* Gauge() const { return static_cast<TGauge*>(widget()); }
};

QAccessibleInterface* GaugeFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("orvane::TGauge") && object != nullptr &&
        object->isWidgetType()) {
        return new TGaugeAccessible(static_cast<TGauge*>(object));
    }
    return nullptr;
}

} // namespace

void InstallGaugeAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(GaugeFactory);
        return true;
    }();
    (void)installed;
}

} // namespace orvane
