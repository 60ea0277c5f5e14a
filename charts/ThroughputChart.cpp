// Building the throughput chart from saved runs.
#include "charts/ThroughputChart.h"

#include "bench/Scales.h"
#include "results/Compare.h"
#include "results/RowFigures.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QFont>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

namespace orvane::charts {

namespace {

const char* const RunLabelProperty = "orvaneRunLabel";
const char* const RowTextsProperty = "orvaneRowTexts";
const char* const LegendProperty = "orvaneLegend";
const char* const NoRunsText = "No runs yet: a run, or saved results added, draws its rows here";
constexpr double EmptyAxisMiBPerSecond = 95; // 0 to 100 once made nice
// A fleet's hosts are named in the legend up to this many; more would crowd out the chart.
constexpr std::size_t MostHostsInLegend = 12;

// Distinct on a light background and for the common kinds of colour blindness.
const QColor RunColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                             QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                             QColor(0xff, 0x7f, 0x0e), QColor(0x8c, 0x56, 0x4b),
                             QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};

double MiBPerSecond(double kibPerSecond) {
    return kibPerSecond / 1024.0;
}

// The rows of one pass of a run that have a throughput, by chunk size.
std::vector<const TResultRow*> Measured(const results::TSavedRun& run, TResultList pass) {
    std::vector<const TResultRow*> rows;
    for (const TResultRow& row : run.Rows) {
        if (row.Pass == pass && row.KiBPerSecond() > 0 && row.ChunkBytes > 0) {
            rows.push_back(&row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto* a, const auto* b) { return a->ChunkBytes < b->ChunkBytes; });
    return rows;
}

// Text from a saved run as Qt Charts shows it: its titles, labels and legend take rich text,
// so a file's text is escaped and never read as markup (an <img> would be opened and drawn).
QString Plain(const std::string& text) {
    return PlainChartText(QString::fromStdString(text)).toHtmlEscaped();
}

// "; vs run 1: faster (intervals apart)" for a row that the first run has too.
std::string VersusFirst(const results::TSavedRun& first, const TResultRow& row) {
    for (const TResultRow& theirs : first.Rows) {
        if (theirs.Pass == row.Pass && theirs.ChunkBytes == row.ChunkBytes) {
            const results::TRowVerdict verdict = results::VerdictOf(row, theirs);
            return "; vs run 1: " + results::VerdictText(verdict.Verdict) + " (" +
                   results::RuleText(verdict.Rule) + ")";
        }
    }
    return {};
}

QAbstractAxis* ThroughputAxis(bool logarithmic, double lowest, double highest) {
    if (logarithmic) {
        auto* axis = new QLogValueAxis;
        axis->setBase(10);
        axis->setLabelFormat(QStringLiteral("%g"));
        axis->setMinorTickCount(8);
        axis->setRange(std::pow(10.0, std::floor(std::log10(lowest))),
                       std::pow(10.0, std::ceil(std::log10(highest))));
        axis->setTitleText(QStringLiteral("Throughput (MiB/s, logarithmic)"));
        return axis;
    }
    auto* axis = new QValueAxis;
    axis->setRange(0, highest * 1.05);
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setTitleText(QStringLiteral("Throughput (MiB/s)"));
    return axis;
}

// A scalable sans font, whatever the window's own is: the throughput's title stands on its
// side, and bitmap fonts do not turn.
QFont ChartFont(qreal points, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void UseChartFonts(QAbstractAxis& axis) {
    axis.setLabelsFont(ChartFont(8));
    axis.setTitleFont(ChartFont(9, true));
}

QChart* NewChart() {
    auto* chart = new QChart;
    chart->setTitleFont(ChartFont(9));
    chart->legend()->setFont(ChartFont(9));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setShowToolTips(true);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries); // solid or dashed
    return chart;
}

QString PassName(TResultList pass) {
    return QString::fromLatin1(pass == TResultList::Write ? "write" : "read");
}

// The chunk-size axis with the labels of the rows drawn (every chunk size where none is), the
// throughput axis from `lowest` to `highest` MiB/s, and every series attached to both.
void AddAxes(QChart& chart, std::map<std::uint64_t, QString>& chunkLabels, double lowest,
             double highest, std::vector<QAbstractSeries*>& made, const TChartOptions& options) {
    auto* chunkAxis = new QCategoryAxis;
    chunkAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chunkAxis->setTitleText(QStringLiteral("Chunk size (log2 scale)"));
    if (chunkLabels.empty()) {
        // No run yet: the axis a run will fill, every chunk size with its label.
        for (std::size_t p = 0; p < ChunkSizes.size(); ++p) {
            chunkLabels.emplace(static_cast<std::uint64_t>(ChunkSizes[p]),
                                QString::fromLatin1(ChunkSizeLabels[p].data(),
                                                    static_cast<int>(ChunkSizeLabels[p].size())));
        }
    }
    const double first = ChunkPosition(chunkLabels.begin()->first);
    const double last = ChunkPosition(chunkLabels.rbegin()->first);
    chunkAxis->setStartValue(first - 0.5);
    for (const auto& [bytes, label] : chunkLabels) {
        chunkAxis->append(label, ChunkPosition(bytes));
    }
    chunkAxis->setRange(first - 0.5, last + 0.5);
    UseChartFonts(*chunkAxis);
    chart.addAxis(chunkAxis, Qt::AlignBottom);
    // Without a measured row the throughput axis spans a plain 0 to 100 MiB/s.
    QAbstractAxis* throughputAxis =
        ThroughputAxis(options.LogThroughput && lowest > 0, lowest > 0 ? lowest : 1,
                       highest > 0 ? highest : EmptyAxisMiBPerSecond);
    UseChartFonts(*throughputAxis);
    chart.addAxis(throughputAxis, Qt::AlignLeft);
    if (made.empty()) {
        // The axes are laid out only around a series: an empty one, kept out of the legend.
        auto* placeholder = new QLineSeries;
        chart.addSeries(placeholder);
        made.push_back(placeholder);
        for (QLegendMarker* marker : chart.legend()->markers(placeholder)) {
            marker->setVisible(false);
        }
    }
    for (QAbstractSeries* series : made) {
        series->attachAxis(chunkAxis);
        series->attachAxis(throughputAxis);
    }
}

} // namespace

QString PlainChartText(QString text) {
    // Control characters can't stand in XML (the SVG export) and mean nothing in a chart.
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

double ChunkPosition(std::uint64_t chunkBytes) {
    return std::log2(static_cast<double>(chunkBytes));
}

QChart* MakeThroughputChart(const std::vector<results::TSavedRun>& runs,
                            const TChartOptions& options) {
    QChart* chart = NewChart();

    std::map<std::uint64_t, QString> chunkLabels;
    double lowest = 0, highest = 0;
    std::vector<QAbstractSeries*> made;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const results::TSavedRun& run = runs[r];
        const QColor colour = RunColours[r % std::size(RunColours)];
        const QString runLabel = QString::fromStdString(results::RunLabel(run.Info));
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            const auto rows = Measured(run, pass);
            if (rows.empty()) {
                continue;
            }
            const QString passName = PassName(pass);
            auto* line = new QLineSeries;
            line->setName(runLabel.toHtmlEscaped() + QStringLiteral(": ") + passName);
            QPen pen(colour, 2);
            pen.setStyle(pass == TResultList::Write ? Qt::SolidLine : Qt::DashLine);
            line->setPen(pen);
            line->setPointsVisible(true);
            QStringList texts;
            // Where the run had repeats, a band from the slowest to the fastest one.
            const bool repeated = std::any_of(rows.begin(), rows.end(), [](const auto* row) {
                return results::RepeatRange(*row).has_value();
            });
            auto* band = repeated ? new QAreaSeries(new QLineSeries, new QLineSeries) : nullptr;
            for (const TResultRow* row : rows) {
                const double x = ChunkPosition(row->ChunkBytes);
                const double y = MiBPerSecond(row->KiBPerSecond());
                line->append(x, y);
                std::string text = results::RowSummary(*row);
                if (r > 0) {
                    text += VersusFirst(runs.front(), *row);
                }
                texts << QString::fromStdString(text);
                chunkLabels.emplace(row->ChunkBytes, Plain(row->ChunkLabel));
                const auto range = results::RepeatRange(*row);
                const double low = range ? MiBPerSecond(range->SlowestKiBPerSecond) : y;
                const double high = range ? MiBPerSecond(range->FastestKiBPerSecond) : y;
                if (band != nullptr) {
                    band->upperSeries()->append(x, high);
                    band->lowerSeries()->append(x, low);
                }
                lowest = lowest == 0 ? low : std::min(lowest, low);
                highest = std::max(highest, high);
            }
            line->setProperty(RunLabelProperty, runLabel);
            line->setProperty(LegendProperty, QStringLiteral("run %1 %2").arg(r + 1).arg(passName));
            line->setProperty(RowTextsProperty, texts);
            if (band != nullptr) {
                band->upperSeries()->setParent(band);
                band->lowerSeries()->setParent(band);
                band->setName(line->name() + QStringLiteral(" (slowest to fastest repeat)"));
                QColor fill = colour;
                fill.setAlpha(pass == TResultList::Write ? 60 : 35);
                band->setBrush(fill);
                band->setPen(Qt::NoPen);
                chart->addSeries(band);
                made.push_back(band);
            }
            chart->addSeries(line);
            made.push_back(line);
        }
    }
    // The legend names the series by run and pass; the title says what each run was.
    for (QAbstractSeries* series : made) {
        for (QLegendMarker* marker : chart->legend()->markers(series)) {
            if (series->type() == QAbstractSeries::SeriesTypeArea) {
                marker->setVisible(false);
            } else {
                marker->setLabel(series->property(LegendProperty).toString());
            }
        }
    }
    QString title = QStringLiteral("<b>Throughput by chunk size</b>");
    for (std::size_t r = 0; r < runs.size(); ++r) {
        title +=
            QStringLiteral("<br>run %1: %2").arg(r + 1).arg(Plain(results::RunLabel(runs[r].Info)));
    }
    if (made.empty()) {
        title += QStringLiteral("<br>") + QString::fromLatin1(NoRunsText);
    }
    chart->setTitle(title);

    AddAxes(*chart, chunkLabels, lowest, highest, made, options);
    return chart;
}

QChart* MakeFleetChart(const results::TFleet& fleet, const TChartOptions& options) {
    QChart* chart = NewChart();
    std::map<std::uint64_t, QString> chunkLabels;
    double lowest = 0, highest = 0;
    std::vector<QAbstractSeries*> made;
    const auto widen = [&](double low, double high) {
        lowest = lowest == 0 ? low : std::min(lowest, low);
        highest = std::max(highest, high);
    };
    // The fleet's band first, under the hosts' lines: per pass, from the least to the most
    // throughput across the hosts.
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        std::vector<const results::TFleetRow*> rows;
        for (const results::TFleetRow& row : fleet.Rows) {
            if (row.Pass == pass && row.MinKiBPerSecond && row.ChunkBytes > 0) {
                rows.push_back(&row);
            }
        }
        if (rows.empty()) {
            continue;
        }
        std::stable_sort(rows.begin(), rows.end(), [](const auto* a, const auto* b) {
            return a->ChunkBytes < b->ChunkBytes;
        });
        auto* band = new QAreaSeries(new QLineSeries, new QLineSeries);
        band->upperSeries()->setParent(band);
        band->lowerSeries()->setParent(band);
        for (const results::TFleetRow* row : rows) {
            const double x = ChunkPosition(row->ChunkBytes);
            const double low = MiBPerSecond(*row->MinKiBPerSecond);
            const double high = MiBPerSecond(*row->MaxKiBPerSecond);
            band->lowerSeries()->append(x, low);
            band->upperSeries()->append(x, high);
            chunkLabels.emplace(row->ChunkBytes, Plain(row->Chunk));
            widen(low, high);
        }
        band->setName(QStringLiteral("fleet %1, least to most").arg(PassName(pass)));
        band->setBrush(QColor(0x7f, 0x7f, 0x7f, pass == TResultList::Write ? 70 : 40));
        band->setPen(Qt::NoPen);
        chart->addSeries(band);
        made.push_back(band);
    }
    const bool namedInLegend = fleet.Hosts.size() <= MostHostsInLegend;
    for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
        const QColor colour = RunColours[h % std::size(RunColours)];
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            const auto rows = Measured(*fleet.Hosts[h].Run, pass);
            if (rows.empty()) {
                continue;
            }
            auto* line = new QLineSeries;
            line->setName(Plain(fleet.Hosts[h].Label) + QStringLiteral(" ") + PassName(pass));
            QPen pen(colour, 1.5);
            pen.setStyle(pass == TResultList::Write ? Qt::SolidLine : Qt::DashLine);
            line->setPen(pen);
            for (const TResultRow* row : rows) {
                const double y = MiBPerSecond(row->KiBPerSecond());
                line->append(ChunkPosition(row->ChunkBytes), y);
                chunkLabels.emplace(row->ChunkBytes, Plain(row->ChunkLabel));
                widen(y, y);
            }
            chart->addSeries(line);
            made.push_back(line);
            for (QLegendMarker* marker : chart->legend()->markers(line)) {
                marker->setVisible(namedInLegend);
            }
        }
    }
    QString title =
        QStringLiteral("<b>Throughput by chunk size across %1 %2</b>")
            .arg(fleet.Hosts.size())
            .arg(fleet.Hosts.size() == 1 ? QStringLiteral("host") : QStringLiteral("hosts"));
    if (!fleet.Hosts.empty()) {
        title +=
            QStringLiteral("<br>") + Plain(results::RunSettingsText(fleet.Hosts.front().Run->Info));
    }
    title += QStringLiteral("<br>one line per host (write solid, read dashed); the grey band "
                            "spans the least to the most throughput of the hosts");
    if (!namedInLegend) {
        title += QStringLiteral(", hosts not named beyond %1").arg(MostHostsInLegend);
    }
    if (made.empty()) {
        title += QStringLiteral("<br>") + QString::fromLatin1(NoRunsText);
    }
    chart->setTitle(title);
    AddAxes(*chart, chunkLabels, lowest, highest, made, options);
    return chart;
}

QString PointText(const QXYSeries& series, double x) {
    const QStringList texts = series.property(RowTextsProperty).toStringList();
    const QString runLabel = series.property(RunLabelProperty).toString();
    if (texts.isEmpty() || series.count() != texts.size()) {
        return {};
    }
    int nearest = 0;
    for (int i = 1; i < series.count(); ++i) {
        if (std::abs(series.at(i).x() - x) < std::abs(series.at(nearest).x() - x)) {
            nearest = i;
        }
    }
    return runLabel + QLatin1Char('\n') + texts[nearest];
}

} // namespace orvane::charts
