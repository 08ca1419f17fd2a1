#pragma once
// The benchmark's control window (Benchmark mode's main window): the score,
// the log while it is shown, the anti-aliasing level, the colour map and the
// display zoom. Ten milliseconds after it is first shown it shows the display
// window and runs the first benchmark; "Benchmark" and every change of the
// colour map run another.
#include "uGraphicsFailure.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class TLogListBox;
class TfBenchmarkDisplay;
class TfOptions;
class tBenchmarkTest;
class tGlobalSettings;

class TfBenchmark : public QWidget {
    Q_OBJECT
public:
    explicit TfBenchmark(QWidget* parent = nullptr);
    ~TfBenchmark() override;

    /// The windows and the settings a run uses: the display shows the
    /// picture and carries the OpenGL interface, the options dialog's
    /// choices are applied to the settings before each run. Call before the
    /// window is first shown.
    void Attach(TfBenchmarkDisplay& display, TfOptions& options, tGlobalSettings& settings);

    /// Runs a benchmark (the "Benchmark" button). During a run it makes the
    /// running one start over.
    void RunBenchmark();

    /// None when the start-up failed.
    tBenchmarkTest* Test() const { return test_.get(); }
    /// Why the benchmark could not start, when it had no OpenGL context; the
    /// window closes then.
    const std::optional<EGraphicsFailure>& Failure() const { return failure_; }
    bool Running() const { return running_; }

    QLabel* Label2 = nullptr;
    QPushButton* Button1 = nullptr;
    TLogListBox* lbLog = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QCheckBox* cbZoom = nullptr;
    QSpinBox* seColorMap = nullptr;
    QTimer* Timer1 = nullptr;
    /// Set when the window closes; a running loop leaves at its next pass.
    bool closing = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void Timer1Timer();
    void PlaceDisplay();
    void cbZoomClick();
    void Button2Click();
    /// One run; false when the run did not start (bad "AA Level").
    bool RunOnce();

    QPointer<TfBenchmarkDisplay> display_;
    QPointer<TfOptions> options_;
    tGlobalSettings* settings_ = nullptr;
    std::unique_ptr<tBenchmarkTest> test_;
    std::optional<EGraphicsFailure> failure_;
    bool started_ = false;
    bool running_ = false;
    bool restart_ = false;
};
