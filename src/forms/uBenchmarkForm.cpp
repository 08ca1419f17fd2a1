// Sections: the controls, start-up, running a benchmark, the other controls.
#include "uBenchmarkForm.h"

#include "uBenchmarkDisplayForm.h"
#include "uBenchmarkTest.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uLogListBox.h"
#include "uNumberParser.h"
#include "uOptionsForm.h"
#include "uPlatform.h"
#include "uRenderWorkers.h"
#include "uRunMode.h"
#include "uSprite.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <thread>

namespace {
constexpr int kFirstRunDelayMs = 10;
constexpr uint8_t kStartPrecision = 2;
constexpr int kMaxAASamples = 9; // what the generator's sample buffers hold
constexpr int kDisplayGap = 8;
} // namespace

// ------------------------------------------------------------ the controls

TfBenchmark::TfBenchmark(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Quorex Benchmark V1.4.0");
    resize(352, 206);

    Label2 = new QLabel("Score: ?", this);
    QFont big = Label2->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    Label2->setFont(big);
    Button1 = new QPushButton("Benchmark", this);
    lbLog = new TLogListBox(this);
    Button2 = new QPushButton("Configure", this);
    Label1 = new QLabel("AA Level:", this);
    Edit1 = new QLineEdit("1", this);
    Edit1->setMaximumWidth(Edit1->fontMetrics().horizontalAdvance("0000") + 12);
    Label1->setBuddy(Edit1);
    cbZoom = new QCheckBox("Zoom", this);
    cbZoom->setChecked(true);
    seColorMap = new QSpinBox(this);
    seColorMap->setRange(1, 13);
    seColorMap->setValue(4);
    seColorMap->setToolTip("Color map");

    // Score and "Benchmark" on top, the log below, the run's options along the bottom.
    auto* top = new QHBoxLayout;
    top->addWidget(Label2, 1);
    top->addWidget(Button1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label1);
    bottom->addWidget(Edit1);
    bottom->addWidget(cbZoom);
    bottom->addWidget(seColorMap);
    bottom->addStretch(1);
    bottom->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lbLog, 1);
    layout->addLayout(bottom);

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(kFirstRunDelayMs);

    connect(Button1, &QPushButton::clicked, this, &TfBenchmark::RunBenchmark);
    connect(Button2, &QPushButton::clicked, this, &TfBenchmark::Button2Click);
    connect(cbZoom, &QCheckBox::clicked, this, &TfBenchmark::cbZoomClick);
    connect(seColorMap, &QSpinBox::valueChanged, this, &TfBenchmark::RunBenchmark);
    connect(Timer1, &QTimer::timeout, this, &TfBenchmark::Timer1Timer);
}

TfBenchmark::~TfBenchmark()
{
    if (display_)
        display_->SetSprite(nullptr);
}

void TfBenchmark::Attach(TfBenchmarkDisplay& display, TfOptions& options, tGlobalSettings& settings)
{
    display_ = &display;
    options_ = &options;
    settings_ = &settings;
}

// ------------------------------------------------------------ start-up

void TfBenchmark::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (started_)
        return;
    started_ = true;
    FormShow();
    Timer1->start();
}

void TfBenchmark::FormShow()
{
    const QStringList args = QCoreApplication::arguments();
    std::string joined;
    for (int i = 1; i < args.size() && i <= 3; ++i)
        joined += args[i].toStdString();
    LogNote(1, "Initilizing Quorex V1.4.0 by Halvornet");
    LogNote(1, " -Parameters: \"" + joined + "\"");
    LogNote(1, " -Starting in \"" + RunModeName(rmBenchmark) + "\" mode");
    SetLogNotesList(lbLog);
    try {
        if (!display_ || !options_ || !settings_)
            throw std::logic_error("the benchmark has no display or settings");
        test_ = std::make_unique<tBenchmarkTest>(display_->CreateInterface());
        display_->SetSprite(&test_->Sprite());
    } catch (const EGraphicsFailure& e) {
        // Nothing to run on: the program's entry tells the user and ends.
        failure_ = e;
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    } catch (const std::exception& e) {
        test_.reset();
        LogWarning(1, "Initilization failed!");
        LogNote(2, std::string(" -") + e.what());
        return;
    }
    LogNote(1, "Initilation sucessful");
}

void TfBenchmark::Timer1Timer()
{
    if (display_) {
        PlaceDisplay();
        display_->show();
    }
    RunBenchmark();
}

void TfBenchmark::PlaceDisplay()
{
    // Beside this window when both fit on the screen, so that neither hides
    // the other; otherwise where the window manager puts it.
    const QScreen* s = screen();
    if (!s || display_->testAttribute(Qt::WA_Moved))
        return;
    const QRect mine = frameGeometry();
    const QRect place(QPoint(mine.right() + 1 + kDisplayGap, mine.top()), display_->size());
    if (s->availableGeometry().contains(place))
        display_->move(place.topLeft());
}

// ------------------------------------------------------------ running a benchmark

void TfBenchmark::RunBenchmark()
{
    if (running_) {
        restart_ = true;
        return;
    }
    if (!test_)
        return;
    running_ = true;
    do {
        restart_ = false;
        if (!RunOnce())
            break;
    } while (restart_ && !closing);
    running_ = false;
}

bool TfBenchmark::RunOnce()
{
    int64_t samples = 0;
    if (!TryStrToInt(Edit1->text().toStdString(), samples) || samples < 1 || samples > kMaxAASamples) {
        const std::string message =
            "AA Level must be a whole number from 1 to " + IntToStr(kMaxAASamples) + ", not \"" +
            Edit1->text().toStdString() + "\".";
        LogWarning(1, message);
        ShowMessageBox(message, "Benchmark");
        return false;
    }

    Label2->setText(QString::fromStdString(BenchmarkScoreText(std::nullopt)));
    test_->Start("Custom Benchmark", kStartPrecision, seColorMap->value());
    if (options_)
        options_->ApplyChoices();
    test_->Configure(*settings_, static_cast<int32_t>(samples));
    test_->Run([this] { return closing || restart_; });
    if (!test_->Complete())
        return true; // closed, or asked to start over

    const extended elapsed = test_->Elapsed();
    // The score stays the one thread's; beside it, the time a picture takes
    // when the render threads of a running zoom all render at once.
    const int32_t threads = RenderThreadsFor(settings_->renderThreads, std::thread::hardware_concurrency());
    const extended threaded = test_->ThreadedSeconds(threads, [this] { return closing || restart_; });
    if (threads > 0 && !(threaded > 0))
        return true; // closed, or asked to start over
    LogNote(1, "Completed benchmark in " + FloatToStr(elapsed) + " seconds" +
                   (threads > 0 ? "; on " + IntToStr(threads) + (threads == 1 ? " render thread " : " render threads ") +
                                      Format3(threaded) +
                                      " seconds a picture"
                                : std::string()));
    LogNote(2, " -rendering " + Format3(test_->stepSeconds) + " sec, uploads " + Format3(test_->uploadSeconds) +
                   " sec (" + IntToStr(test_->uploads) + "), window messages " + Format3(test_->messageSeconds) +
                   " sec");
    const std::optional<int64_t> score = BenchmarkScore(elapsed);
    Label2->setText(QString::fromStdString(BenchmarkScoreText(score)));
    // The display window came up over this one; the score is what was waited for.
    raise();
    activateWindow();
    if (score) {
        const tFractal& f = test_->Fractal();
        const std::string line =
            BenchmarkReportLine(*score, elapsed, f.BackEndName(), f.Size(), AASettingsText(f.antiAliasing));
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    return true;
}

// ------------------------------------------------------------ the other controls

void TfBenchmark::cbZoomClick()
{
    if (display_)
        display_->displayZoom = cbZoom->isChecked() ? 2.0f : 1.0f;
}

void TfBenchmark::Button2Click()
{
    if (options_) {
        options_->show();
        options_->raise();
        options_->activateWindow();
    }
}

void TfBenchmark::closeEvent(QCloseEvent* event)
{
    closing = true;
    event->accept();
}
