#pragma once
// The developer's view of a running zoom: the log's notes and warnings, a
// watch list of live values (path time, frame rate, keyframe sizes, the
// frame loop's profile sections, the scratch pages), the progress of both
// paths, and controls that seek the current path, set its speed and tint the
// deeper keyframe.
#include <QWidget>

#include <functional>

class QCheckBox;
class QListWidget;
class QProgressBar;
class QSlider;
class QTimer;
class TLogListBox;
class tZoomRunner;

class TfDebug : public QWidget {
    Q_OBJECT
public:
    explicit TfDebug(QWidget* parent = nullptr);

    /// Where the running zoom is found (none while it does not run).
    void Watch(std::function<tZoomRunner*()> runner) { runner_ = std::move(runner); }

    /// One refresh, as the window's timer does every 100 ms.
    void Timer1Timer();

    QListWidget* lbWatch = nullptr;
    TLogListBox* lbNotes = nullptr;
    TLogListBox* ListBox2 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QSlider* TrackBar2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CheckBox1Click();
    void TrackBar1Change();
    void TrackBar2Change();
    /// The running zoom when it is in its running state, else none.
    tZoomRunner* RunningZoom() const;

    std::function<tZoomRunner*()> runner_;
    QTimer* timer1_ = nullptr;
    /// True while the window writes its own controls: their change handlers
    /// then leave the zoom alone.
    bool updating_ = true;
};
