// The settings dialog driven through its real widgets: levels, auto-detection,
// deep zooming, the processor without SSE2, every way of closing, and the
// web page.
#include "uOptionsForm.h"

#include "FormsTestUtil.h"

#include "uGlobalSettings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QApplication>
#include <QButtonGroup>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

class OptionsFormTest : public tFormsTest {
protected:
    OptionsFormTest()
    {
        Store("DetailLevel", 4);
        Store("ZoomDeep", 0);
    }

    /// A dialog on freshly loaded settings (the previous dialog must be gone).
    std::unique_ptr<TfOptions> MakeDialog()
    {
        settings = std::make_unique<tGlobalSettings>();
        LoadRunSettings(*settings);
        return std::make_unique<TfOptions>(*settings);
    }
    void ShowAndWait(TfOptions& dialog) const
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    static void ClickItem(TfOptions& dialog, int index)
    {
        QTest::mouseClick(dialog.rgDetailItems->button(index), Qt::LeftButton);
    }

    std::unique_ptr<tGlobalSettings> settings;
};

} // namespace

TEST_F(OptionsFormTest, ALevelAppliesAtOnceAndAutoDetectionNeedsTheDialogShown)
{
    auto dialog = MakeDialog();
    tGlobalSettings& s = dialog->Settings();
    EXPECT_EQ(dialog->DetailIndex(), 3) << "the stored level is shown";
    EXPECT_EQ(dialog->windowTitle(), "Quorex Screen Saver Options");
    ShowAndWait(*dialog);
    EXPECT_EQ(dialog->Label1->text(), "V1.4.0");

    ClickItem(*dialog, 0);
    EXPECT_EQ(s.detailLevel, 1);
    EXPECT_EQ(s.FractalResolution, 512);
    EXPECT_EQ(s.fractalItterations, 512);
    ClickItem(*dialog, 4);
    EXPECT_EQ(s.FractalResolution, 1024);
    EXPECT_EQ(s.fractalItterations, 1600);
    EXPECT_EQ(Stored("DetailLevel"), 4) << "the store waits for the close";

    dialog->hide();
    dialog->bAuto->click();
    EXPECT_TRUE(renders.empty()) << "hidden: nothing measured";
    ShowAndWait(*dialog);
    renderSeconds = 0.2; // score 328: level 3 on a 1024-pixel screen
    QTest::mouseClick(dialog->bAuto, Qt::LeftButton);
    EXPECT_EQ(renders, std::vector<bool>{false});
    EXPECT_EQ(dialog->DetailIndex(), 2);
    EXPECT_EQ(s.FractalResolution, 717);
}

TEST_F(OptionsFormTest, TickingDeepZoomingStoresItAtOnceAndMeasuresAgain)
{
    auto dialog = MakeDialog();
    tGlobalSettings& s = dialog->Settings();
    ShowAndWait(*dialog);
    ASSERT_TRUE(dialog->cbDeepZooming->isEnabled());

    QTest::mouseClick(dialog->cbDeepZooming, Qt::LeftButton);
    EXPECT_EQ(Stored("ZoomDeep"), 1);
    EXPECT_TRUE(s.zoomDeep);
    EXPECT_EQ(renders, std::vector<bool>{true}) << "measured in 64-bit";
    EXPECT_EQ(dialog->DetailIndex(), 2) << "the slower measurement gives level 3";
    EXPECT_EQ(s.fractalItterations, 1024);
    EXPECT_EQ(s.renderPercision, 0);

    QTest::mouseClick(dialog->cbDeepZooming, Qt::LeftButton);
    EXPECT_EQ(Stored("ZoomDeep"), 0);
    EXPECT_FALSE(s.zoomDeep);
    EXPECT_EQ(renders, (std::vector<bool>{true, false}));
    EXPECT_EQ(dialog->DetailIndex(), 4);
}

TEST_F(OptionsFormTest, DeepDivesAreChosenUnderDeepZoomingAndStoredAtOnce)
{
    Store("ZoomDeep", 0);
    Store("DeepDive", 1);
    auto dialog = MakeDialog();
    ShowAndWait(*dialog);
    QCheckBox& dive = *dialog->cbDeepDive;
    EXPECT_TRUE(dive.isChecked()) << "the stored choice";
    EXPECT_FALSE(dive.isEnabled()) << "kept, but out of use without deep zooming";
    EXPECT_NE(dive.toolTip().indexOf("Needs deep zooming"), -1);
    EXPECT_GT(dive.geometry().top(), dialog->cbDeepZooming->geometry().top()) << "under deep zooming";
    EXPECT_GT(dive.geometry().left(), dialog->cbDeepZooming->geometry().left()) << "indented";

    QTest::mouseClick(dialog->cbDeepZooming, Qt::LeftButton);
    EXPECT_TRUE(dive.isEnabled());
    QTest::mouseClick(&dive, Qt::LeftButton);
    EXPECT_FALSE(dive.isChecked());
    EXPECT_EQ(Stored("DeepDive"), 0);
    EXPECT_FALSE(dialog->Settings().deepDive);
    QTest::mouseClick(&dive, Qt::LeftButton);
    EXPECT_EQ(Stored("DeepDive"), 1);
    EXPECT_TRUE(dialog->Settings().deepDive);

    QTest::mouseClick(dialog->cbDeepZooming, Qt::LeftButton);
    EXPECT_FALSE(dive.isEnabled());
    QTest::mouseClick(&dive, Qt::LeftButton); // ignored when disabled
    EXPECT_EQ(Stored("DeepDive"), 1);

    // Closing saves what the box shows.
    dive.setChecked(false);
    QTest::mouseClick(dialog->bOK, Qt::LeftButton);
    EXPECT_EQ(Stored("DeepDive"), 0);
    EXPECT_EQ(Stored("ZoomDeep"), 0);
}

TEST_F(OptionsFormTest, WithoutSSE2DeepZoomingIsOffWhateverTheStoreSays)
{
    for (const bool sse2 : {false, true}) {
        tCpuFeaturesScope cpu(tCpuFeatures{true, sse2, false});
        Store("ZoomDeep", 1);
        auto dialog = MakeDialog();
        ShowAndWait(*dialog);
        QTest::mouseClick(dialog->cbDeepZooming, Qt::LeftButton); // ignored when disabled
        QLabel& status = *dialog->lDeepZoomingStatus;
        EXPECT_EQ(status.text(), sse2 ? "(Supported)" : "(Not supported)");
        const QColor shown = status.palette().color(QPalette::WindowText);
        EXPECT_GE(ContrastRatio(shown, dialog->palette().color(QPalette::Window)), 4.5) << shown.name().toStdString();
        EXPECT_GT(sse2 ? shown.green() : shown.red(), 2 * std::max({shown.red(), shown.green(), shown.blue()}) / 3)
            << "green when supported, red when not: " << shown.name().toStdString();
        EXPECT_EQ(status.toolTip(), sse2 ? "Deep zooming is supported on this system."
                                         : "Your CPU must support the SSE2 instruction set to use this feature");
        EXPECT_EQ(dialog->cbDeepZooming->isEnabled(), sse2);
        EXPECT_FALSE(dialog->cbDeepZooming->isChecked()) << sse2 << ": unticked by the click, or never on";
        EXPECT_FALSE(dialog->cbDeepDive->isEnabled()) << sse2 << ": deep dives need deep zooming";
        EXPECT_FALSE(dialog->Settings().zoomDeep);
    }
}

TEST_F(OptionsFormTest, EveryWayOfClosingSavesTheSame)
{
    // Each way: choose "Medium" and deep zooming, then close.
    const std::vector<std::pair<std::string, std::function<void(TfOptions&)>>> ways = {
        {"OK", [](TfOptions& d) { QTest::mouseClick(d.bOK, Qt::LeftButton); }},
        {"close box", [](TfOptions& d) { d.windowHandle()->close(); }},
        {"Escape", [](TfOptions& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
    };
    for (const auto& [how, close] : ways) {
        Store("DetailLevel", 4);
        Store("ZoomDeep", 0);
        auto dialog = MakeDialog();
        ShowAndWait(*dialog);
        ClickItem(*dialog, 1);
        dialog->cbDeepZooming->setChecked(true); // shown, not clicked: no store write yet
        close(*dialog);
        EXPECT_FALSE(dialog->isVisible()) << how;
        EXPECT_EQ(Stored("DetailLevel"), 2) << how;
        EXPECT_EQ(Stored("ZoomDeep"), 1) << how;
        EXPECT_EQ(dialog->Settings().fractalItterations, 1024) << how << ": level 2 with deep zooming";
    }
}

TEST_F(OptionsFormTest, AForcedOrUnavailableValueIsShownAsSuchAndNeverStored)
{
    // fractal.ini forces level 2 over the stored 4; the processor lacks the
    // SSE2 that deep zooming needs, though the store asks for it.
    tScopedEnv config("XDG_CONFIG_HOME", dir.Path().c_str());
    std::filesystem::create_directories(dir.File("quorex"));
    WriteTextFile(dir.File("quorex/fractal.ini"), "[ADVANCED]\nforceDetailLevel=2\n");
    tCpuFeaturesScope cpu(tCpuFeatures{true, false, false});
    Store("ZoomDeep", 1);
    auto dialog = MakeDialog();
    ShowAndWait(*dialog);
    EXPECT_EQ(dialog->rgDetailItems->checkedId(), 1) << "the forced level is shown";
    EXPECT_FALSE(dialog->rgDetail->isEnabled());
    EXPECT_FALSE(dialog->bAuto->isEnabled());
    EXPECT_NE(dialog->lDetailHelp->text().indexOf("set by fractal.ini (forceDetailLevel=2)"), -1)
        << dialog->lDetailHelp->text().toStdString();
    EXPECT_FALSE(dialog->cbDeepZooming->isEnabled());
    EXPECT_FALSE(dialog->cbDeepZooming->isChecked());
    QTest::mouseClick(dialog->bOK, Qt::LeftButton);
    EXPECT_EQ(Stored("DetailLevel"), 4);
    EXPECT_EQ(Stored("ZoomDeep"), 1);
}

TEST_F(OptionsFormTest, CheckForUpdatesOpensTheProductPageOrSaysWhyNot)
{
    auto dialog = MakeDialog();
    ShowAndWait(*dialog);
    const std::string address = ProductWebPage();
    EXPECT_EQ(address.rfind("https://", 0), 0u) << address;
    {
        tScopedEnv path("PATH", dir.Path().c_str());
        tScopedEnv browser("BROWSER", nullptr);
        tScopedEnv defaultBrowser("DEFAULT_BROWSER", nullptr);
        testing::internal::CaptureStderr();
        QTest::mouseClick(dialog->bCheckForUpdates, Qt::LeftButton);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("Check For Updates: There is no web browser on this computer to open " + address + "."),
                  std::string::npos)
            << said;
        EXPECT_TRUE(dialog->isVisible());
    }

    // A stand-in for the desktop's opener records what it is given.
    const std::string opener = dir.File("xdg-open");
    WriteTextFile(opener, "#!/bin/sh\necho \"$@\" > " + dir.File("opened") + "\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    tScopedEnv path("PATH", (dir.Path() + ":/usr/bin:/bin").c_str());
    QTest::mouseClick(dialog->bCheckForUpdates, Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return ReadTextFile(dir.File("opened")) == address + "\n"; }, 10000))
        << ReadTextFile(dir.File("opened"));
}

TEST_F(OptionsFormTest, LevelsAndDeepZoomingAreExplainedAndAutoDetectSaysWhatItChose)
{
    auto dialog = MakeDialog();
    ShowAndWait(*dialog);
    const QSize size = dialog->size();
    EXPECT_TRUE(dialog->lDetailHelp->text().startsWith("Very High: ")) << dialog->lDetailHelp->text().toStdString();
    EXPECT_TRUE(dialog->lDeepHelp->isVisible());
    for (int i = 0; i < 5; ++i) {
        ClickItem(*dialog, i);
        const QString item = dialog->rgDetailItems->button(i)->text();
        EXPECT_TRUE(dialog->lDetailHelp->text().startsWith(item + ": ")) << dialog->lDetailHelp->text().toStdString();
        EXPECT_EQ(dialog->rgDetailItems->button(i)->toolTip().left(item.size() + 1), item + ":");
        EXPECT_EQ(dialog->size(), size) << "the dialog keeps its size";
    }
    renderSeconds = 0.2; // level 3 on a 1024-pixel screen
    QTest::mouseClick(dialog->bAuto, Qt::LeftButton);
    EXPECT_TRUE(dialog->lDetailHelp->text().startsWith("Auto Detect chose High for this computer.\nHigh: "))
        << dialog->lDetailHelp->text().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is gone";
    EXPECT_EQ(dialog->size(), size);
    // Every label reads against the window's colour.
    const QColor window = dialog->palette().color(QPalette::Window);
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        EXPECT_GE(ContrastRatio(label->palette().color(QPalette::WindowText), window), 4.5)
            << label->objectName().toStdString();
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::gray, Qt::gray), 1.0);
    EXPECT_LT(ContrastRatio(QColor(47, 255, 47), QColor(239, 239, 239)), 1.3) << "the old green on grey";
    EXPECT_EQ(ReadableStatusColor(true, QColor(30, 30, 30)), QColor(47, 255, 47)) << "bright on a dark window";
}
