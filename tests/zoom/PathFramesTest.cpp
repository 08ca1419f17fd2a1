// The path-frames tool, run as a program on the (virtual) display.
#include "TestUtil.h"
#include "uPage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {
tCommandResult RunTool(const std::string& arguments)
{
    return RunCommand(std::string(PATH_FRAMES_BINARY) + " " + arguments);
}
} // namespace

TEST(PathFrames, BadOptionsGiveUsageAndExitCode2)
{
    tTempDir dir;
    for (const std::string& args : {std::string(""), dir.Path() + " --kind spiral", dir.Path() + " --window 10x10",
                                    dir.Path() + " --times 1,-2", dir.Path() + " --resolution", dir.Path() + " --bogus"}) {
        const tCommandResult run = RunTool(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.output.find("usage: path-frames"), std::string::npos) << args;
    }
}

TEST(PathFrames, WritesOneComposedFramePerTime)
{
    tTempDir dir;
    const tCommandResult run = RunTool(dir.Path() + " --kind short --seed 3 --resolution 48 --iterations 96 --window 96x64"
                                          " --times 3,20 --keyframes");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("kind=short seed=3 duration=35"), std::string::npos) << run.output;
    for (const char* name : {"frame-short-00.png", "frame-short-01.png"}) {
        tPage frame;
        ASSERT_TRUE(frame.LoadFromPng(dir.File(name))) << name;
        EXPECT_EQ(frame.Width(), 96);
        EXPECT_EQ(frame.Height(), 64);
        // The keyframes cover the middle of the frame with the fractal.
        int lit = 0;
        for (int y = 16; y < 48; ++y)
            for (int x = 24; x < 72; ++x)
                lit += (frame.GetPixel(x, y) & 0xFFFFFFu) != 0;
        EXPECT_GT(lit, 0) << name;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File("keyframe-0.png")));
}
