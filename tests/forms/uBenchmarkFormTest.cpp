// The benchmark windows driven through their real widgets: the automatic
// first run, closing mid-run, a new colour map, the display zoom, and a bad
// "AA Level".
#include "uBenchmarkForm.h"

#include "FormsTestUtil.h"
#include "uGlobalSettings.h"
#include "GLTestUtil.h"

#include "uBenchmarkDisplayForm.h"
#include "uBenchmarkTest.h"
#include "uColor.h"
#include "uOpenGL.h"
#include "uColorMap.h"
#include "uFractal.h"
#include "uLogListBox.h"
#include "uOptionsForm.h"
#include "uSystemFacts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <regex>

namespace {

// Level 1 on a 256-pixel screen: a 128-pixel picture, quick to render.
class BenchmarkFormTest : public tFormsTest {
protected:
    BenchmarkFormTest()
    {
        SetPrimaryScreenWidthProvider([] { return 256; });
        Store("DetailLevel", 1);
        Store("ZoomDeep", 0);
        LoadRunSettings(settings);
        options = std::make_unique<TfOptions>(settings);
        display = std::make_unique<TfBenchmarkDisplay>();
        bench = std::make_unique<TfBenchmark>();
        bench->Attach(*display, *options, settings);
    }
    ~BenchmarkFormTest() override
    {
        bench.reset();
        display.reset();
        options.reset();
    }

    /// Shows the window and waits for the automatic first run to finish.
    void StartAndWaitForTheFirstRun()
    {
        bench->show();
        ASSERT_TRUE(WaitFor([&] { return Logged("Completed benchmark in ") == 1; }));
    }
    /// Runs with a user action happening during the run's first pass.
    void RunWithActionInside(const std::function<void()>& action)
    {
        QTimer::singleShot(0, bench.get(), action);
        bench->RunBenchmark();
    }
    /// The window's list holds the notes while it is shown; the file has them too.
    int Logged(const std::string& text) const { return log.FileCount(text); }
    std::string Score() const { return bench->Label2->text().toStdString(); }

    tGlobalSettings settings;
    std::unique_ptr<TfOptions> options;
    std::unique_ptr<TfBenchmarkDisplay> display;
    std::unique_ptr<TfBenchmark> bench;
};

// Grey level of a pixel of the display's next frame (read before it is
// shown, so that other windows on the screen do not matter).
int Brightness(TfBenchmarkDisplay& display, int x, int y)
{
    display.GL()->MakeCurrent();
    display.Draw();
    const tPackedColor c = ReadFrame(display.width(), display.height()).At(x, y);
    return (RedOf(c) + GreenOf(c) + BlueOf(c)) / 3;
}

} // namespace

TEST_F(BenchmarkFormTest, TheFirstRunStartsByItselfAndScores)
{
    testing::internal::CaptureStdout();
    StartAndWaitForTheFirstRun();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(display->isVisible());
    EXPECT_EQ(Logged("Initilation sucessful"), 1);
    EXPECT_EQ(Logged("Starting benchmark \"Custom Benchmark\""), 1);
    EXPECT_TRUE(std::regex_match(Score(), std::regex("Score: [0-9]{1,3}(,[0-9]{3})*"))) << Score();
    EXPECT_GE(bench->lbLog->count(), 3) << "the log list follows the log while shown";

    // The settings' level 1: 128 pixels and 512 iterations here.
    EXPECT_EQ(bench->Test()->Fractal().IterationLimit(), 512);
    EXPECT_EQ(bench->Test()->Fractal().colorMap, ColorMapGenerator().GetPreset(4));
    EXPECT_TRUE(std::regex_search(printed, std::regex("^Score: [0-9]+ \\([0-9.]+ seconds, FLT64 [A-Z0-9-]+, 128\u00d7128, "
                                                      "AA Adaptive \\(0\\.6\\) 1x\\)\n")))
        << printed;
}

TEST_F(BenchmarkFormTest, ClosingDuringARunEndsItWithoutAScore)
{
    StartAndWaitForTheFirstRun();
    RunWithActionInside([&] { bench->close(); });
    EXPECT_TRUE(bench->closing);
    EXPECT_EQ(Score(), "Score: ?");
    EXPECT_EQ(bench->Test()->stage, bsRunning) << "left after one pass";
    EXPECT_EQ(bench->Test()->Elapsed(), 0);
    EXPECT_EQ(Logged("Completed benchmark in "), 1) << "only the first run's";
}

TEST_F(BenchmarkFormTest, AColourMapChangeStartsANewRunAtOnce)
{
    StartAndWaitForTheFirstRun();
    QTest::keyClick(bench->seColorMap, Qt::Key_Up); // idle: runs before the key returns
    EXPECT_EQ(Logged("Starting benchmark"), 2);
    EXPECT_EQ(Logged("Completed benchmark in "), 2);
    EXPECT_EQ(bench->Test()->Fractal().colorMap, ColorMapGenerator().GetPreset(5));

    // During a run the running one starts over with the new map.
    RunWithActionInside([&] { QTest::keyClick(bench->seColorMap, Qt::Key_Up); });
    EXPECT_EQ(Logged("Starting benchmark"), 4);
    EXPECT_EQ(Logged("Completed benchmark in "), 3);
    EXPECT_EQ(bench->Test()->Fractal().colorMap, ColorMapGenerator().GetPreset(6));
    EXPECT_FALSE(bench->Running());
}

TEST_F(BenchmarkFormTest, ZoomSwitchesTheDisplayBetweenOneAndTwoTimes)
{
    StartAndWaitForTheFirstRun();
    EXPECT_EQ(display->displayZoom, 1.0f) << "starts at 1x although the box is ticked";
    // 100 pixels right of the centre: outside the 64-pixel disc at 1x, inside at 2x.
    const int x = display->width() / 2 + 100;
    const int y = display->height() / 2;
    for (const float expected : {1.0f, 2.0f, 1.0f}) {
        QTest::mouseClick(bench->cbZoom, Qt::LeftButton);
        EXPECT_EQ(display->displayZoom, expected);
        if (expected == 1.0f)
            EXPECT_LT(Brightness(*display, x, y), 10);
        else
            EXPECT_GT(Brightness(*display, x, y), 40);
    }
    // Switching during a run neither restarts nor ends it.
    RunWithActionInside([&] { QTest::mouseClick(bench->cbZoom, Qt::LeftButton); });
    EXPECT_EQ(display->displayZoom, 2.0f);
    EXPECT_EQ(Logged("Starting benchmark"), 2);
    EXPECT_EQ(Logged("Completed benchmark in "), 2);
}

TEST_F(BenchmarkFormTest, AnAALevelThatIsNoSmallWholeNumberStartsNoRun)
{
    StartAndWaitForTheFirstRun();
    for (const char* text : {"abc", "0", "10", "2.5"}) {
        bench->Edit1->selectAll();
        QTest::keyClicks(bench->Edit1, text);
        testing::internal::CaptureStderr();
        QTest::mouseClick(bench->Button1, Qt::LeftButton);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("AA Level must be a whole number from 1 to 9"), std::string::npos) << text << said;
        EXPECT_EQ(Logged("Starting benchmark"), 1) << text;
    }
    bench->Edit1->setText("3");
    QTest::mouseClick(bench->Button1, Qt::LeftButton);
    EXPECT_EQ(Logged("Starting benchmark"), 2);
    EXPECT_EQ(bench->Test()->Fractal().antiAliasing.samples, 3);
}
