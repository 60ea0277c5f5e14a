// Building the throughput chart from saved runs.
#include "charts/ThroughputChart.h"

#include "bench/Scales.h"
#include "results/Compare.h"
#include "results/Fleet.h"
#include "results/RowFigures.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QFont>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

namespace orvane::charts {

namespace {

const char* const RunLabelProperty = "orvaneRunLabel";
const char* const RowTextsProperty = "orvaneRowTexts";
const char* const TitleText = "<b>Throughput by chunk size</b> (solid: write, dashed: read)";
const char* const NoRunsText = "No runs yet: a run, or saved results added, draws its rows here";
const char* const BandLegendText = "band: slowest to fastest repeat";
constexpr double EmptyAxisMiBPerSecond = 95; // 0 to 100 once made nice
// A fleet's hosts are named in the legend up to this many; more would crowd out the chart.
constexpr std::size_t MostHostsInLegend = 12;

// Distinct on a light and on a dark background, and for the common kinds of colour
// blindness (Tableau 10).
const QColor RunColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                             QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                             QColor(0xff, 0x7f, 0x0e), QColor(0x8c, 0x56, 0x4b),
                             QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf),
                             QColor(0xbc, 0xbd, 0x22), QColor(0x7f, 0x7f, 0x7f)};

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

// The throughput axis. On the logarithmic scale the series hold log10 of MiB/s and the axis
// names 1, 2 and 5 of every decade at their places, which Qt's logarithmic axis can't.
QAbstractAxis* ThroughputAxis(bool logarithmic, double lowest, double highest) {
    if (logarithmic) {
        auto* axis = new QCategoryAxis;
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        const double first = std::floor(std::log10(lowest));
        const double last = std::ceil(std::log10(highest));
        axis->setStartValue(first);
        for (double decade = first; decade <= last; ++decade) {
            for (const double step : {1.0, 2.0, 5.0}) {
                const double value = step * std::pow(10.0, decade);
                if (std::log10(value) <= last + 1e-9) {
                    axis->append(QString::number(value, 'g', 6), std::log10(value));
                }
            }
        }
        axis->setRange(first, last);
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

QChart* NewChart(const TChartOptions& options) {
    auto* chart = new QChart;
    if (options.Dark) {
        chart->setTheme(QChart::ChartThemeDark);
    }
    chart->setTitleFont(ChartFont(9));
    chart->legend()->setFont(ChartFont(8));
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setShowToolTips(true);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries); // solid or dashed
    chart->legend()->setVisible(options.Legend);
    return chart;
}

QString PassName(TResultList pass) {
    return QString::fromLatin1(pass == TResultList::Write ? "write" : "read");
}

// The chunk axis with the labels seen (every chunk size where none was), the throughput axis
// and every series attached to both; an empty series where there is none, so that the axes
// are laid out all the same.
void AddAxes(QChart& chart, std::map<std::uint64_t, QString>& chunkLabels, double lowest,
             double highest, std::vector<QAbstractSeries*>& made, bool logarithmic) {
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
    QAbstractAxis* throughputAxis = ThroughputAxis(logarithmic, lowest > 0 ? lowest : 1,
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

QColor RunColour(std::size_t index) {
    return RunColours[index % std::size(RunColours)];
}

QString RunLegendLabel(std::size_t index, const results::TSavedRun& run) {
    std::string label = results::RunLabel(run.Info);
    if (!run.Info.Host.Label.empty()) {
        label += ", on " + run.Info.Host.Label;
    }
    return QString::number(index + 1) + QStringLiteral(": ") +
           PlainChartText(QString::fromStdString(label));
}

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
    QChart* chart = NewChart(options);

    const auto hidden = [&](std::size_t r) {
        return r < options.Hidden.size() && options.Hidden[r];
    };
    // The values first, so that the scale is known before a point is placed.
    double lowest = 0, highest = 0;
    std::map<std::uint64_t, QString> chunkLabels;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            for (const TResultRow* row :
                 hidden(r) ? std::vector<const TResultRow*>{} : Measured(runs[r], pass)) {
                const auto range = results::RepeatRange(*row);
                const double y = MiBPerSecond(row->KiBPerSecond());
                const double low = range ? MiBPerSecond(range->SlowestKiBPerSecond) : y;
                const double high = range ? MiBPerSecond(range->FastestKiBPerSecond) : y;
                lowest = lowest == 0 ? low : std::min(lowest, low);
                highest = std::max(highest, high);
                chunkLabels.emplace(row->ChunkBytes, Plain(row->ChunkLabel));
            }
        }
    }
    const bool logarithmic = options.LogThroughput && lowest > 0;
    const auto place = [logarithmic](double mib) { return logarithmic ? std::log10(mib) : mib; };

    std::vector<QAbstractSeries*> made;
    bool anyBand = false;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        if (hidden(r)) {
            continue;
        }
        const results::TSavedRun& run = runs[r];
        const QColor colour = RunColour(r);
        const QString runLabel = QString::fromStdString(results::RunLabel(run.Info));
        bool runInLegend = false;
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            const auto rows = Measured(run, pass);
            if (rows.empty()) {
                continue;
            }
            const QString passName =
                QString::fromLatin1(pass == TResultList::Write ? "write" : "read");
            auto* line = new QLineSeries;
            line->setName(Plain(runLabel.toStdString()) + QStringLiteral(": ") + passName);
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
                line->append(x, place(y));
                std::string text = results::RowSummary(*row);
                if (r > 0) {
                    text += VersusFirst(runs.front(), *row);
                }
                texts << QString::fromStdString(text);
                if (band != nullptr) {
                    const auto range = results::RepeatRange(*row);
                    band->upperSeries()->append(
                        x, place(range ? MiBPerSecond(range->FastestKiBPerSecond) : y));
                    band->lowerSeries()->append(
                        x, place(range ? MiBPerSecond(range->SlowestKiBPerSecond) : y));
                }
            }
            line->setProperty(RunLabelProperty, runLabel);
            line->setProperty(RowTextsProperty, texts);
            if (band != nullptr) {
                band->upperSeries()->setParent(band);
                band->lowerSeries()->setParent(band);
                band->setName(QString::fromLatin1(BandLegendText));
                QColor fill = colour;
                fill.setAlpha(pass == TResultList::Write ? 60 : 35);
                band->setBrush(fill);
                band->setPen(Qt::NoPen);
                chart->addSeries(band);
                made.push_back(band);
                for (QLegendMarker* marker : chart->legend()->markers(band)) {
                    marker->setVisible(false); // one entry below explains every band
                }
                anyBand = true;
            }
            chart->addSeries(line);
            made.push_back(line);
            // One entry per run, on its first line: its number and what it was.
            for (QLegendMarker* marker : chart->legend()->markers(line)) {
                marker->setVisible(!runInLegend);
                marker->setLabel(RunLegendLabel(r, run).toHtmlEscaped());
            }
            runInLegend = true;
        }
    }
    if (anyBand) {
        // After the runs, the legend's one word on the bands: a grey band of its own, empty.
        auto* legendOnly = new QAreaSeries(new QLineSeries, new QLineSeries);
        legendOnly->upperSeries()->setParent(legendOnly);
        legendOnly->lowerSeries()->setParent(legendOnly);
        legendOnly->setName(QString::fromLatin1(BandLegendText));
        legendOnly->setBrush(QColor(128, 128, 128, 60));
        legendOnly->setPen(Qt::NoPen);
        chart->addSeries(legendOnly);
        made.push_back(legendOnly);
    }
    chart->setTitle(QString::fromLatin1(made.empty() ? NoRunsText : TitleText));

    AddAxes(*chart, chunkLabels, lowest, highest, made, logarithmic);
    return chart;
}

QChart* MakeFleetChart(const results::TFleet& fleet, const TChartOptions& options) {
    QChart* chart = NewChart(options);
    // The fleet's band per pass, from the least to the most throughput across the hosts, under
    // the hosts' lines; the values first, so that the scale is known before a point is placed.
    std::map<std::uint64_t, QString> chunkLabels;
    double lowest = 0, highest = 0;
    const auto widen = [&](double low, double high) {
        lowest = lowest == 0 ? low : std::min(lowest, low);
        highest = std::max(highest, high);
    };
    std::vector<const results::TFleetRow*> bands[2];
    for (const results::TFleetRow& row : fleet.Rows) {
        if (row.MinKiBPerSecond && row.MaxKiBPerSecond && row.ChunkBytes > 0) {
            bands[row.Pass == TResultList::Write ? 0 : 1].push_back(&row);
            widen(MiBPerSecond(*row.MinKiBPerSecond), MiBPerSecond(*row.MaxKiBPerSecond));
            chunkLabels.emplace(row.ChunkBytes, Plain(row.Chunk));
        }
    }
    for (const results::TFleetHost& host : fleet.Hosts) {
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            for (const TResultRow* row : Measured(*host.Run, pass)) {
                const double y = MiBPerSecond(row->KiBPerSecond());
                widen(y, y);
                chunkLabels.emplace(row->ChunkBytes, Plain(row->ChunkLabel));
            }
        }
    }
    const bool logarithmic = options.LogThroughput && lowest > 0;
    const auto place = [logarithmic](double mib) { return logarithmic ? std::log10(mib) : mib; };

    std::vector<QAbstractSeries*> made;
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        auto& rows = bands[pass == TResultList::Write ? 0 : 1];
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
            band->lowerSeries()->append(x, place(MiBPerSecond(*row->MinKiBPerSecond)));
            band->upperSeries()->append(x, place(MiBPerSecond(*row->MaxKiBPerSecond)));
        }
        band->setName(QStringLiteral("fleet %1, least to most").arg(PassName(pass)));
        band->setBrush(QColor(0x7f, 0x7f, 0x7f, pass == TResultList::Write ? 70 : 40));
        band->setPen(Qt::NoPen);
        chart->addSeries(band);
        made.push_back(band);
    }
    const bool namedInLegend = fleet.Hosts.size() <= MostHostsInLegend;
    for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            const auto rows = Measured(*fleet.Hosts[h].Run, pass);
            if (rows.empty()) {
                continue;
            }
            auto* line = new QLineSeries;
            line->setName(Plain(fleet.Hosts[h].Label) + QStringLiteral(" ") + PassName(pass));
            QPen pen(RunColour(h), 1.5);
            pen.setStyle(pass == TResultList::Write ? Qt::SolidLine : Qt::DashLine);
            line->setPen(pen);
            QStringList texts;
            for (const TResultRow* row : rows) {
                line->append(ChunkPosition(row->ChunkBytes),
                             place(MiBPerSecond(row->KiBPerSecond())));
                texts << QString::fromStdString(results::RowSummary(*row));
            }
            line->setProperty(RunLabelProperty,
                              PlainChartText(QString::fromStdString(fleet.Hosts[h].Label)));
            line->setProperty(RowTextsProperty, texts);
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
            QStringLiteral(": ") + Plain(results::RunSettingsText(fleet.Hosts.front().Run->Info));
    }
    if (!namedInLegend) {
        title += QStringLiteral(" (hosts not named beyond %1)").arg(MostHostsInLegend);
    }
    if (made.empty()) {
        title = QString::fromLatin1(NoRunsText);
    }
    chart->setTitle(title);
    AddAxes(*chart, chunkLabels, lowest, highest, made, logarithmic);
    return chart;
}

QString PointText(const QXYSeries& series, int index) {
    const QStringList texts = series.property(RowTextsProperty).toStringList();
    if (index < 0 || index >= texts.size() || series.count() != texts.size()) {
        return {};
    }
    return series.property(RunLabelProperty).toString() + QLatin1Char('\n') + texts[index];
}

} // namespace orvane::charts
