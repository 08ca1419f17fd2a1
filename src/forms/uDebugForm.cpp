#include "uDebugForm.h"

#include "uFormat.h"
#include "uLog.h"
#include "uLogListBox.h"
#include "uPath.h"
#include "uZoomRunner.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kRefreshMs = 100;

/// A caption over a control.
QWidget* Captioned(const char* caption, QWidget* control, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    if (caption)
        layout->addWidget(new QLabel(caption, box));
    layout->addWidget(control);
    return box;
}

int Permille(double share) { return static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 1000)); }

} // namespace

TfDebug::TfDebug(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Debuging");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(670, 611);

    lbWatch = new QListWidget(this);
    lbWatch->setUniformItemSizes(true); // rebuilt ten times a second without flicker
    // The profile reports are laid out in columns of characters.
    lbWatch->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lbNotes = new TLogListBox(this);
    ListBox2 = new TLogListBox(this);
    ListBox1 = new QListWidget(this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar2 = new QProgressBar(this);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 1000);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setRange(0, 1000);
    TrackBar2 = new QSlider(Qt::Horizontal, this);
    TrackBar2->setRange(-16, 16);
    TrackBar2->setTickInterval(2);
    TrackBar2->setTickPosition(QSlider::TicksBelow);
    CheckBox1 = new QCheckBox("Color Code Frames", this);

    ListBox1->setMaximumHeight(48);
    auto* grid = new QGridLayout(this);
    grid->addWidget(Captioned("PROFILE / VARIABLES", lbWatch, this), 0, 0, 2, 1);
    grid->addWidget(Captioned("NOTES", lbNotes, this), 0, 1);
    grid->addWidget(Captioned("WARNINGS", ListBox2, this), 1, 1);
    grid->addWidget(Captioned("Current Path", ProgressBar1, this), 2, 0);
    grid->addWidget(Captioned("Next Path", ProgressBar2, this), 3, 0);
    grid->addWidget(ListBox1, 2, 1, 2, 1);
    grid->addWidget(TrackBar1, 4, 0, 1, 2);
    grid->addWidget(Captioned("Speed", TrackBar2, this), 5, 0);
    grid->addWidget(CheckBox1, 5, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 2);

    connect(CheckBox1, &QCheckBox::toggled, this, &TfDebug::CheckBox1Click);
    connect(TrackBar1, &QSlider::valueChanged, this, &TfDebug::TrackBar1Change);
    connect(TrackBar2, &QSlider::valueChanged, this, &TfDebug::TrackBar2Change);

    timer1_ = new QTimer(this);
    connect(timer1_, &QTimer::timeout, this, &TfDebug::Timer1Timer);
    timer1_->start(kRefreshMs);
}

void TfDebug::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    SetLogNotesList(lbNotes);
    // A developer wants to see the warnings too.
    SetLogWarningsList(ListBox2);
}

tZoomRunner* TfDebug::RunningZoom() const
{
    tZoomRunner* runner = runner_ ? runner_() : nullptr;
    if (!runner || runner->Status().state != ssRunning || !runner->CurrentPath())
        return nullptr;
    return runner;
}

void TfDebug::CheckBox1Click()
{
    if (updating_)
        return;
    if (tZoomRunner* runner = RunningZoom())
        runner->CurrentPath()->colourCodeFrames = CheckBox1->isChecked();
}

void TfDebug::TrackBar1Change()
{
    if (updating_)
        return;
    tZoomRunner* runner = RunningZoom();
    if (!runner)
        return;
    // A seek, after which the zoom almost halts at the chosen place.
    tPath& path = *runner->CurrentPath();
    path.speed = 1.0f;
    path.SetTime(path.Duration() * TrackBar1->value() / 1000);
    path.speed = 0.001f;
}

void TfDebug::TrackBar2Change()
{
    if (updating_)
        return;
    if (tZoomRunner* runner = RunningZoom())
        runner->CurrentPath()->speed = static_cast<float>(TrackBar2->value()) / 4;
}

void TfDebug::Timer1Timer()
{
    tZoomRunner* runner = RunningZoom();
    if (!runner)
        return;
    updating_ = true;
    tPath& path = *runner->CurrentPath();
    tPath* next = runner->NextPath();

    lbWatch->clear();
    QStringList lines;
    const auto add = [&lines](const std::string& line) { lines.append(QString::fromStdString(line)); };
    add("TIME = " + Format3(path.Time()));
    add("FPS = " + (runner->TenFrameTime() > 0 ? Format3(10 / runner->TenFrameTime()) : std::string("?")));
    add("Near = " + Format3(path.smallSize));
    add("Far = " + Format3(path.bigSize));
    for (int section = fsDraw; section <= fsDisplay; ++section)
        add(runner->Sections()[static_cast<size_t>(section)].Report());

    ProgressBar1->setValue(Permille(path.RenderProgress()));
    if (next)
        ProgressBar2->setValue(Permille(next->RenderProgress()));
    const extended duration = path.Duration();
    TrackBar1->setValue(duration > 0 ? static_cast<int>(std::lround(static_cast<double>(path.Time() * 1000 / duration)))
                                     : 0);
    TrackBar2->setValue(static_cast<int>(std::lround(path.speed * 4)));
    CheckBox1->setChecked(path.colourCodeFrames);

    // The two paths share one pool: the same lines come twice.
    path.ScratchPool()->ShowUsage(add);
    if (next)
        next->ScratchPool()->ShowUsage(add);
    add("Render threads = " + IntToStr(runner->RenderThreads()));
    lbWatch->addItems(lines);
    updating_ = false;
}
