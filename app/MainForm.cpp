// Construction of the window and its small handlers.
#include "app/MainForm.h"

#include "app/Artwork.h"
#include "app/ClassicLook.h"
#include "app/Frames.h"
#include "app/Gauge.h"
#include "app/HandlerGuard.h"
#include "app/MeasuringMenu.h"
#include "app/Priorities.h"
#include "app/SettingsFile.h"
#include "bench/Methods.h"
#include "bench/Scales.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTreeWidget>
#include <span>
#include <vector>

namespace orvane {

namespace {

const char* const PriorityClassWarning = "Could not set priority class to \"high\".";
const char* const ThreadPriorityWarning = "Could not set thread priority to \"above normal\".";

constexpr int ClientWidth = 521;
constexpr int ClientHeight = 353;
constexpr int ButtonFontPixels = 13; // bold 10 point

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Widget>
Widget* Placed(Widget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

// A label that sizes itself to its text and aligns it to the left.
QLabel* TextLabel(QWidget* parent, const char* text, int left, int top, int width, int height) {
    auto* label = Placed(new QLabel(QString::fromLatin1(text), parent), left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A fixed-size label that centres its text; with `sunken`, in a sunken frame and bold.
QLabel* StaticText(QWidget* parent, std::string_view text, int left, int top, int width, int height,
                   bool sunken = false) {
    auto* label = Placed(new QLabel(Text(text), parent), left, top, width, height);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (sunken) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setFont(ClassicBoldFont());
    }
    return label;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QSlider* TrackBar(QWidget* parent, QStyle* style, int maximum, int position, int left, int top,
                  int width, int height) {
    auto* bar = Placed(new QSlider(Qt::Horizontal, parent), left, top, width, height);
    bar->setStyle(style);
    bar->setRange(0, maximum);
    bar->setValue(position);
    bar->setSingleStep(1);
    bar->setPageStep(2);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(1);
    return bar;
}

QTreeWidget* ListView(QWidget* parent, int left, int top, int width, int height) {
    auto* list = Placed(new QTreeWidget(parent), left, top, width, height);
    list->setColumnCount(3);
    list->setHeaderLabels({QStringLiteral("Blocksize"), QStringLiteral("Duration (s)"),
                           QStringLiteral("Throughput (KB/s)")});
    list->setColumnWidth(0, 60);
    list->setColumnWidth(1, 68);
    list->setColumnWidth(2, 100);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QPushButton* BitButton(QWidget* parent, const char* text, const QIcon& icon, int left, int top,
                       int width, int height) {
    auto* button =
        Placed(new QPushButton(icon, QString::fromLatin1(text), parent), left, top, width, height);
    button->setIconSize(QSize(16, 16));
    button->setFont(ClassicBoldFont(ButtonFontPixels));
    return button;
}

} // namespace

TMainForm::TMainForm(TDialogs& dialogs, TPriorities& priorities, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      SaveDialog(dialogs), FDialogs(dialogs), FPriorities(priorities) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    setWindowIcon(ApplicationIcon());
    setFixedSize(ClientWidth, ClientHeight);
    setFont(ClassicFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    CreateControls();
    CreateMeasuringMenu();
    SetTabOrder();
    SetAccessibleNames();
    // The design's starting positions are set; only now do the handlers listen.
    ConnectHandlers();
    Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateControls() {
    // Frames first, so that they stay behind the controls they surround.
    Bevel = Placed(new TBevel(TBevel::bsTopLine, TBevel::bsRaised, this), 8, 216, 505, 9);
    SetupBevel = Placed(new TBevel(TBevel::bsFrame, TBevel::bsRaised, this), 8, 224, 273, 121);
    InfoBevel = Placed(new TBevel(TBevel::bsFrame, TBevel::bsLowered, this), 360, 224, 153, 121);

    WListLabel = TextLabel(this, "Write", 8, 8, 25, 13);
    WriteListView = ListView(this, 8, 24, 249, 185);
    RListLabel = TextLabel(this, "Read", 264, 8, 26, 13);
    ReadListView = ListView(this, 264, 24, 249, 185);

    AccessRadioGroup =
        Placed(new QGroupBox(QStringLiteral(" Access via "), this), 16, 232, 161, 41);
    FAccessButtons = new QButtonGroup(this);
    // One column per method side by side, from x = 8, below the caption's line.
    const std::span<const TMethodOps* const> methods = Methods();
    const int column = (AccessRadioGroup->width() - 11) / static_cast<int>(methods.size());
    for (int i = 0; i < static_cast<int>(methods.size()); ++i) {
        const auto method = static_cast<std::size_t>(i);
        auto* item = Placed(
            new QRadioButton(QString::fromLatin1(methods[method]->Caption), AccessRadioGroup),
            8 + i * column, 14, column, 23);
        FAccessButtons->addButton(item, i);
    }
    AccessRadioItem(TAccessMethod::amFile)->setChecked(true);

    WriteBufferedCheckBox =
        Placed(new QCheckBox(QStringLiteral("Write buffered"), this), 184, 232, 89, 17);
    ReadBufferedCheckBox =
        Placed(new QCheckBox(QStringLiteral("Read buffered"), this), 184, 256, 89, 17);
    WriteBufferedCheckBox->setEnabled(false);
    ReadBufferedCheckBox->setEnabled(false);

    auto* longThumb = new TTrackBarStyle(14);
    auto* shortThumb = new TTrackBarStyle(12);
    longThumb->setParent(this);
    shortThumb->setParent(this);

    const int fileMax = static_cast<int>(FileSizes.size()) - 1;
    const int blockMax = static_cast<int>(BlockSizes.size()) - 1;
    const int chunkMax = static_cast<int>(ChunkSizes.size()) - 1;

    FSLabel = TextLabel(this, "File size:", 16, 280, 40, 13);
    FileSizeTrackBar = TrackBar(this, longThumb, fileMax, FileSizeStartPosition, 16, 296, 129, 25);
    MinFSStaticText = StaticText(this, FileSizeLabels.front(), 16, 320, 25, 17);
    CurFSStaticText =
        StaticText(this, FileSizeLabels[FileSizeStartPosition], 56, 320, 49, 17, true);
    MaxFSStaticText = StaticText(this, FileSizeLabels.back(), 120, 320, 25, 17);

    BSLabel = TextLabel(this, "Block size:", 160, 280, 51, 13);
    BlockSizeTrackBar =
        TrackBar(this, longThumb, blockMax, BlockSizeStartPosition, 160, 296, 113, 25);
    MinBSStaticText = StaticText(this, BlockSizeLabels.front(), 160, 320, 25, 17);
    CurBSStaticText =
        StaticText(this, BlockSizeLabels[BlockSizeStartPosition], 192, 320, 49, 17, true);
    MaxBSStaticText = StaticText(this, BlockSizeLabels.back(), 248, 320, 25, 17);

    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    GoBitBtn =
        BitButton(this, "Go!", ButtonIcon(CogWheelsImage(), highlight, shadow), 288, 232, 65, 41);
    StopBitBtn =
        BitButton(this, "Stop", ButtonIcon(RedDiscImage(), highlight, shadow), 288, 296, 65, 41);
    StopBitBtn->setEnabled(false);

    CCSLabel = TextLabel(this, "Current chunk size:", 368, 232, 91, 13);
    SetTextColour(CCSLabel, DarkGrey);
    ChunkSizeTrackBar =
        TrackBar(this, shortThumb, chunkMax, ChunkSizeStartPosition, 368, 248, 137, 25);
    ChunkSizeTrackBar->setEnabled(false);
    MinCSStaticText = StaticText(this, ChunkSizeLabels.front(), 368, 272, 25, 17);
    SetTextColour(MinCSStaticText, DarkGrey);
    CurCSStaticText =
        StaticText(this, ChunkSizeLabels[ChunkSizeStartPosition], 416, 272, 41, 17, true);
    SetTextColour(CurCSStaticText, DarkGrey);
    // Its own background, which a run colours by phase; it starts in the face colour.
    CurCSStaticText->setAutoFillBackground(true);
    CurCSStaticText->setBackgroundRole(QPalette::Button);
    MaxCSStaticText = StaticText(this, ChunkSizeLabels.back(), 480, 272, 25, 17);
    SetTextColour(MaxCSStaticText, DarkGrey);

    ProgressLabel = TextLabel(this, "Progress:", 368, 296, 44, 13);
    GaugePanel = Placed(new TBevelPanel(this), 368, 312, 137, 25);
    // Centred within the inner bevel (3 pixels in), a face-coloured pixel all round.
    Gauge = Placed(new TGauge(GaugePanel), 4, 4, 129, 17);
}

void TMainForm::CreateMeasuringMenu() {
    FMeasuring = new TMeasuringMenu(this);
    QMenu* menu = FMeasuring->Menu();
    menu->addSeparator();
    FCopyResults = menu->addAction(QStringLiteral("Cop&y results"));
    FCopyResults->setObjectName(QStringLiteral("CopyResults"));
    FSaveResults = menu->addAction(QStringLiteral("&Save results..."));
    FSaveResults->setObjectName(QStringLiteral("SaveResults"));
    FCopyResults->setEnabled(false); // until a run has rows
    FSaveResults->setEnabled(false);
    connect(FCopyResults, &QAction::triggered, this,
            [this] { Guarded([this] { CopyResults(); }); });
    connect(FSaveResults, &QAction::triggered, this,
            [this] { Guarded([this] { SaveResultsAs(); }); });
    FChartAction = menu->addAction(QStringLiteral("C&hart..."));
    FChartAction->setObjectName(QStringLiteral("Chart"));
    connect(FChartAction, &QAction::triggered, this, [this] { Guarded([this] { ShowChart(); }); });
    FMatrixAction = menu->addAction(QStringLiteral("&Matrix..."));
    FMatrixAction->setObjectName(QStringLiteral("Matrix"));
    connect(FMatrixAction, &QAction::triggered, this, [this] { Guarded([this] { RunMatrix(); }); });
    menu->addSeparator();
    FKeepHistory = menu->addAction(QStringLiteral("&Keep run history"));
    FKeepHistory->setObjectName(QStringLiteral("KeepHistory"));
    FKeepHistory->setCheckable(true);
    FKeepHistory->setChecked(Setting(QStringLiteral("history/keep"), true).toBool());
    connect(FKeepHistory, &QAction::toggled, this,
            [](bool keep) { SetSetting(QStringLiteral("history/keep"), keep); });
    for (QTreeWidget* list : {WriteListView, ReadListView}) {
        // Right click and the context-menu key; not while a run measures.
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
            if (!FRunning) {
                FMeasuring->Menu()->exec(list->viewport()->mapToGlobal(at));
            }
        });
    }
}

void TMainForm::ConnectHandlers() {
    connect(FileSizeTrackBar, &QSlider::valueChanged, this,
            [this] { Guarded([this] { FileSizeTrackBarChange(); }); });
    connect(BlockSizeTrackBar, &QSlider::valueChanged, this,
            [this] { Guarded([this] { BlockSizeTrackBarChange(); }); });
    connect(ChunkSizeTrackBar, &QSlider::valueChanged, this,
            [this] { Guarded([this] { ChunkSizeTrackBarChange(); }); });
    connect(GoBitBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { GoBitBtnClick(); }); });
    connect(StopBitBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { StopBitBtnClick(); }); });
    // Only a newly selected item runs the handler; a click on the selected one does not.
    connect(FAccessButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        UpdateRadioTabStop();
        if (checked) {
            Guarded([this] { AccessRadioGroupClick(); });
        }
    });
}

void TMainForm::SetTabOrder() {
    std::vector<QWidget*> order = {WriteListView, FileSizeTrackBar, GoBitBtn, ReadListView};
    for (QAbstractButton* item : FAccessButtons->buttons()) {
        order.push_back(item);
    }
    order.insert(order.end(),
                 {WriteBufferedCheckBox, ReadBufferedCheckBox, BlockSizeTrackBar, StopBitBtn});
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    ChunkSizeTrackBar->setFocusPolicy(Qt::NoFocus);
    UpdateRadioTabStop();
}

void TMainForm::UpdateRadioTabStop() {
    // Tab reaches the radio group at its selected item only, as in a classic radio group;
    // the arrow keys move between the items.
    for (QAbstractButton* item : FAccessButtons->buttons()) {
        item->setFocusPolicy(item->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void TMainForm::SetAccessibleNames() {
    // The labels beside the lists and bars name them for a screen reader; the changing
    // size labels keep no fixed name so their text is what is read.
    WriteListView->setAccessibleName(QStringLiteral("Write"));
    ReadListView->setAccessibleName(QStringLiteral("Read"));
    FileSizeTrackBar->setAccessibleName(QStringLiteral("File size"));
    BlockSizeTrackBar->setAccessibleName(QStringLiteral("Block size"));
    ChunkSizeTrackBar->setAccessibleName(QStringLiteral("Current chunk size"));
    Gauge->setAccessibleName(QStringLiteral("Progress"));
    WListLabel->setBuddy(WriteListView);
    RListLabel->setBuddy(ReadListView);
    FSLabel->setBuddy(FileSizeTrackBar);
    BSLabel->setBuddy(BlockSizeTrackBar);
}

template <typename Body> void TMainForm::Guarded(Body&& body) {
    RunGuarded(FDialogs, std::forward<Body>(body));
}

QRadioButton* TMainForm::AccessRadioItem(TAccessMethod method) const {
    return static_cast<QRadioButton*>(FAccessButtons->button(static_cast<int>(method)));
}

void TMainForm::FormCreate() {
    if (!FPriorities.RaiseProcessPriority()) {
        FDialogs.ShowMessageDialog(PriorityClassWarning, TMsgDlgType::mtWarning,
                                   TMsgDlgButtons::mbOK);
    }
    if (!FPriorities.RaiseThreadPriority()) {
        FDialogs.ShowMessageDialog(ThreadPriorityWarning, TMsgDlgType::mtWarning,
                                   TMsgDlgButtons::mbOK);
    }
    FFileSize = FileSizes[static_cast<std::size_t>(FileSizeTrackBar->value())];
}

void TMainForm::FileSizeTrackBarChange() {
    const auto p = static_cast<std::size_t>(FileSizeTrackBar->value());
    FFileSize = FileSizes[p];
    CurFSStaticText->setText(Text(FileSizeLabels[p]));
    QCoreApplication::processEvents();
}

void TMainForm::BlockSizeTrackBarChange() {
    const auto p = static_cast<std::size_t>(BlockSizeTrackBar->value());
    FBlockSize = BlockSizes[p];
    CurBSStaticText->setText(Text(BlockSizeLabels[p]));
    QCoreApplication::processEvents();
}

void TMainForm::ChunkSizeTrackBarChange() {
    const auto p = static_cast<std::size_t>(ChunkSizeTrackBar->value());
    FChunkSize = ChunkSizes[p];
    CurCSStaticText->setText(Text(ChunkSizeLabels[p]));
    QCoreApplication::processEvents();
}

void TMainForm::StopBitBtnClick() {
    FStopRequested = true;
}

void TMainForm::AccessRadioGroupClick() {
    const bool buffered = MethodOps(AccessMethod()).Buffered;
    WriteBufferedCheckBox->setEnabled(buffered);
    ReadBufferedCheckBox->setEnabled(buffered);
}

void TMainForm::ShowCentred() {
    if (const QScreen* screen = this->screen()) {
        QRect area = geometry();
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }
    show();
}

} // namespace orvane
