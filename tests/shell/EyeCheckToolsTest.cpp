// The eye-checking developer tools (src/devtools), run as programs on the
// (virtual) display: each writes its one picture.
#include "TestUtil.h"
#include "uPage.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(EyeCheckTools, EachWritesItsPictureAndTakesOnlyTheFileName)
{
    struct tTool {
        const char* binary;
        const char* name;
        int width, height;
        const char* says;
    };
    for (const tTool& tool : {tTool{GL_SCREENSHOT_BINARY, "gl-screenshot", 800, 600, ""},
                              tTool{SCENE_SCREENSHOT_BINARY, "scene-screenshot", 800, 600, ""},
                              // four columns and two rows of labelled half-size frames
                              tTool{DESKTOP_FADE_SHEET_BINARY, "desktop-fade-sheet", 1310, 458, "8 frames written"}}) {
        SCOPED_TRACE(tool.name);
        for (const char* args : {"", " a.png b.png"}) {
            const tCommandResult bad = RunCommand(std::string(tool.binary) + args);
            EXPECT_EQ(bad.exitCode, 2) << bad.output;
            EXPECT_NE(bad.output.find(std::string("usage: ") + tool.name + " OUT.png"), std::string::npos) << bad.output;
        }
        tTempDir dir;
        const std::string out = dir.File("shot.png");
        const tCommandResult run = RunCommand(std::string(tool.binary) + " " + out);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find(tool.says), std::string::npos) << run.output;
        tPage picture;
        ASSERT_TRUE(picture.LoadFromPng(out));
        EXPECT_EQ(picture.Width(), tool.width);
        EXPECT_EQ(picture.Height(), tool.height);
        std::set<tPackedColor> colours; // a drawn scene, not a blank window
        for (int y = 0; y < picture.Height(); y += 7)
            for (int x = 0; x < picture.Width(); x += 7)
                colours.insert(picture.GetPixel(x, y));
        EXPECT_GT(colours.size(), 100u);
    }
}
