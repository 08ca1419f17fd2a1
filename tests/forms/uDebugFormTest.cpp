// The debug window watching a running zoom (a real runner on a window of
// the virtual display, with a made-up clock).
#include "uDebugForm.h"

#include "FormsTestUtil.h"
#include "ZoomTestHost.h"

#include "uGlobalSettings.h"
#include "uPath.h"
#include "uRunMode.h"

#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QSlider>

namespace {

class DebugFormTest : public tFormsTest {
protected:
    DebugFormTest()
    {
        QuickZoomSettings(settings);
        debug.Watch([this] { return runner.get(); });
    }
    ~DebugFormTest() override { runner.reset(); }

    /// The start-up up to the zoom paths: the paths exist, the zoom does not run.
    void StartUpToThePaths()
    {
        for (int step = 0; step < 3; ++step)
            ASSERT_TRUE(runner->Tick());
        ASSERT_NE(runner->CurrentPath(), nullptr);
    }

    QStringList WatchLines() const
    {
        QStringList lines;
        for (int i = 0; i < debug.lbWatch->count(); ++i)
            lines.append(debug.lbWatch->item(i)->text());
        return lines;
    }

    tGlobalSettings settings;
    tZoomTestHost host;
    std::unique_ptr<tZoomRunner> runner;
    TfDebug debug;
};

} // namespace

TEST_F(DebugFormTest, TheWatchListFollowsTheRunningZoomOnly)
{
    debug.Timer1Timer();
    EXPECT_EQ(debug.lbWatch->count(), 0) << "no zoom yet";

    settings.renderThreads = 2;
    runner = std::make_unique<tZoomRunner>(settings, host, rmDemo);
    StartUpToThePaths();
    debug.Timer1Timer();
    EXPECT_EQ(debug.lbWatch->count(), 0) << "the zoom is not running yet";

    host.RunFrames(*runner, 0.5);
    debug.Timer1Timer();
    const QStringList lines = WatchLines();
    ASSERT_EQ(lines.size(), 15) << lines.join("\n").toStdString();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(lines[i].startsWith(QStringList{"TIME = ", "FPS = ", "Near = ", "Far = "}[i])) << i;
    EXPECT_TRUE(lines[4].contains("Draw -"));
    EXPECT_TRUE(lines[9].contains("Display -"));
    EXPECT_EQ(lines[10], lines[12]) << "both paths share one pool";
    EXPECT_TRUE(lines[10].startsWith("Buffers: "));
    EXPECT_TRUE(lines[11].startsWith("Usage ["));
    EXPECT_EQ(lines[14], "Render threads = 2");
    EXPECT_NEAR(lines[0].mid(7).toDouble(), static_cast<double>(runner->CurrentPath()->Time()), 0.001);
}

TEST_F(DebugFormTest, TheControlsSeekAndSpeedThePath)
{
    runner = std::make_unique<tZoomRunner>(settings, host, rmDemo);
    StartUpToThePaths();
    // Before the zoom runs the controls do nothing.
    debug.TrackBar2->setValue(8);
    EXPECT_FLOAT_EQ(runner->CurrentPath()->speed, 1.0f);
    host.RunFrames(*runner, 0.2);
    debug.Timer1Timer();
    ASSERT_EQ(debug.TrackBar2->value(), 4) << "the refresh shows speed 1";

    tPath& path = *runner->CurrentPath();
    debug.TrackBar1->setValue(500);
    EXPECT_NEAR(static_cast<double>(path.Time()), static_cast<double>(path.Duration()) / 2, 1e-6);
    EXPECT_FLOAT_EQ(path.speed, 0.001f);
    debug.TrackBar2->setValue(8);
    EXPECT_FLOAT_EQ(path.speed, 2.0f);
    debug.CheckBox1->setChecked(true);
    EXPECT_TRUE(path.colourCodeFrames);

    // Its own refresh writes the controls without touching the zoom.
    path.speed = 1.5f;
    debug.Timer1Timer();
    EXPECT_EQ(debug.TrackBar2->value(), 6);
    EXPECT_FLOAT_EQ(path.speed, 1.5f);
    EXPECT_EQ(debug.ProgressBar1->value(), std::min(1000, static_cast<int>(std::lround(path.RenderProgress() * 1000))));
}
