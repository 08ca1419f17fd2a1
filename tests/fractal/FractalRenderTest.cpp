// The fractal-render tool, run as a program.
#include "TestUtil.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uFiles.h"
#include "uFractal.h"
#include "uPage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {
tCommandResult RunTool(const std::string& arguments)
{
    return RunCommand(std::string(FRACTAL_RENDER_BINARY) + " " + arguments);
}
} // namespace

TEST(FractalRender, BadOptionsGiveUsageAndExitCode2)
{
    tTempDir dir;
    const std::string out = dir.File("x.png");
    for (const std::string& args : {std::string(""), out + " --bogus", out + " --size 0", out + " --size", out + " --zoom -1",
                                    out + " --aa 0.5,10,1", out + " --precision 7", out + " --centre 1", out + " --preset 15",
                                    out + " " + out, out + " --precision perturb --zoom 1e200", out + " --colours 5,0",
                                    out + " --centre 0.1,0.2x"}) {
        const tCommandResult run = RunTool(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.output.find("usage: fractal-render"), std::string::npos) << args;
    }
    EXPECT_FALSE(FileExists(out));
}

TEST(FractalRender, WritesTheGeneratorsImageAndReportsItsWork)
{
    tTempDir dir;
    const std::string out = dir.File("whole.png");
    const tCommandResult run = RunTool(out + " --centre -0.5,0.25 --zoom 0.5 --size 64 --precision 4 --preset 9 --aa 0.2,3,1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(run.output, m,
                                 std::regex("backend=FLT80 FPU seconds=[0-9]+\\.[0-9]{3} writes=([0-9]+) iterations=([0-9]+)\n")))
        << run.output;

    // The same render in this process (its log notes go to a private file).
    tCapturedLog log;
    tPage expected;
    expected.SetSize(64, 64, pfRGBA);
    tFractalMandelBrot f(&expected);
    f.centreRe = -0.5;
    f.centreIm = 0.25;
    f.zoom = 0.5;
    f.discMode = true;
    f.colorMap = ColorMapGenerator().GetPreset(9);
    f.antiAliasing = {0.2f, 3, 1.0f};
    f.precision = 4;
    f.SelectBackEnd();
    uint64_t sum = 0;
    f.escapeCountSum = &sum;
    const int64_t writes = f.RenderAll();
    EXPECT_EQ(m[1].str(), std::to_string(writes));
    EXPECT_EQ(m[2].str(), std::to_string(sum));

    tPage written;
    ASSERT_TRUE(written.LoadFromPng(out));
    ASSERT_EQ(written.Width(), 64);
    ASSERT_EQ(written.Height(), 64);
    int differing = 0;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            differing += written.GetPixel(x, y) != expected.GetPixel(x, y);
    EXPECT_EQ(differing, 0);
}

TEST(FractalRender, DeepViewFromACentreOfAnyLength)
{
    // Seventy digits place a view at 10^50; the tool renders it by
    // perturbation exactly as the generator does in this process.
    const std::string centre = "0.071074706827937981546653097731571732256364772913691659627,"
                               "0.6167957810837057243271606920461239746348664224415108799911";
    tTempDir dir;
    const std::string out = dir.File("deep.png");
    const tCommandResult run = RunTool(out + " --centre " + centre +
                                       " --zoom 1e50 --size 48 --iterations 17456 --precision perturb --colours 5000,3000");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(run.output, m, std::regex("backend=PERTURB \\S+ seconds=\\S+ writes=[0-9]+ iterations=([0-9]+)\n")))
        << run.output;

    tCapturedLog log;
    tPage expected;
    expected.SetSize(48, 48, pfRGBA);
    tFractalMandelBrot f(&expected);
    f.deepCentre = tBigComplex::Parse(centre, BitsForView(1e50L, 48));
    f.zoom = 1e50;
    f.discMode = true;
    f.colorMap = ColorMapGenerator().GetPreset(4);
    f.colourFloor = 5000;
    f.colourSpan = 3000;
    f.SetMaxIterations(17456);
    f.precision = kPrecisionPerturbation;
    f.SelectBackEnd();
    uint64_t sum = 0;
    f.escapeCountSum = &sum;
    f.RenderAll();
    EXPECT_EQ(m[1].str(), std::to_string(sum));
    tPage written;
    ASSERT_TRUE(written.LoadFromPng(out));
    int differing = 0, colours = 0;
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 48; ++x) {
            differing += written.GetPixel(x, y) != expected.GetPixel(x, y);
            colours += written.GetPixel(x, y) != written.GetPixel(24, 24);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(colours, 100) << "the view has structure";
}

TEST(FractalRender, SquareModeCoversTheWholePage)
{
    tTempDir dir;
    const std::string out = dir.File("square.png");
    const tCommandResult run = RunTool(out + " --centre 0,0 --zoom 0.25 --size 40 --square --preset 0 --precision 3");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("writes=1600 "), std::string::npos) << run.output;
    tPage written;
    ASSERT_TRUE(written.LoadFromPng(out));
    EXPECT_EQ(written.GetPixel(0, 0), PackRGBA(0, 0, 0, 0)) << "corner: escapes at once, transparent";
    EXPECT_EQ(written.GetPixel(20, 20), PackRGBA(255, 255, 128, 255)) << "c = 0 in the fallback colour";
}

TEST(FractalRender, AFailedSaveKeepsTheOldPictureAndAnUnwritableOutputFailsBeforeRendering)
{
    tTempDir dir;
    const std::string out = dir.File("kept.png");
    ASSERT_EQ(RunTool(out + " --size 8 --preset 0").exitCode, 0);
    const std::string old = ReadTextFile(out);

    // The file size limit stands in for a full disk (the signal it raises is
    // ignored, so the write fails with an error instead).
    const tCommandResult full = RunCommand("trap '' XFSZ; ulimit -f 4; " + std::string(FRACTAL_RENDER_BINARY) + " " +
                                           out + " --size 256 --square --preset 4");
    EXPECT_EQ(full.exitCode, 1) << full.output;
    EXPECT_TRUE(ReadTextFile(out) == old) << "the old picture is gone";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1)
        << "no temporary file is left";

    // A render that would take minutes: the missing folder is found first.
    for (const std::string& bad : {dir.File("missing/x.png"), out + "/x.png", dir.Path() + "/"}) {
        const tCommandResult run = RunCommand("timeout 20 " + std::string(FRACTAL_RENDER_BINARY) + " " + bad +
                                              " --size 2048 --centre 0,0 --zoom 1 --iterations 1000000000");
        EXPECT_EQ(run.exitCode, 1) << bad << "\n" << run.output;
        EXPECT_NE(run.output.find("fractal-render: cannot write " + bad), std::string::npos) << run.output;
    }
}

TEST(FractalRender, EveryBackEndOfAPrecisionDrawsTheSamePicture)
{
    // The widest back ends, AVX2 only, and SSE/SSE2 only (FRACTAL_CPU), for
    // single, double and automatic precision, with and without anti-aliasing.
    const tCpuFeatures cpu = DetectCpuFeatures();
    const struct {
        const char* cpuWords;
        bool avx2, avx512;
    } processors[] = {{"", cpu.avx2, cpu.avx512}, {"noavx512", cpu.avx2, false}, {"noavx2,noavx512", false, false}};
    tTempDir dir;
    for (const char* precision : {"2", "3", "5"}) {
        for (const std::string aa : {"", " --aa 0.1,4,1"}) {
            const std::string view = std::string(" --size 120 --zoom 5000 --precision ") + precision + aa;
            std::vector<tPackedColor> first;
            std::string firstIterations;
            for (const auto& p : processors) {
                const std::string out = dir.File(std::string("p") + precision + p.cpuWords + ".png");
                const tCommandResult run =
                    RunCommand(std::string("FRACTAL_CPU=") + p.cpuWords + " " + FRACTAL_RENDER_BINARY + " " + out + view);
                ASSERT_EQ(run.exitCode, 0) << run.output;
                std::smatch m;
                ASSERT_TRUE(std::regex_match(run.output, m, std::regex("backend=(.+) seconds=\\S+ writes=\\S+ iterations=(\\d+)\n")))
                    << run.output;
                // Precision 5 at zoom 5000 is single precision.
                const std::string width = std::string(precision) == "3" ? "FLT64" : "FLT32";
#ifdef QX_HAVE_SSE_BACKENDS
                const std::string instructions = p.avx512 ? "AVX-512" : p.avx2 ? "AVX2" : width == "FLT64" ? "SSE2" : "SSE";
#else
                const std::string instructions = "FPU";
#endif
                EXPECT_EQ(m[1].str(), width + " " + instructions) << p.cpuWords;

                tPage written;
                ASSERT_TRUE(written.LoadFromPng(out));
                std::vector<tPackedColor> pixels;
                for (int32_t y = 0; y < written.Height(); ++y)
                    for (int32_t x = 0; x < written.Width(); ++x)
                        pixels.push_back(written.GetPixel(x, y));
                if (first.empty()) {
                    first = pixels;
                    firstIterations = m[2].str();
                } else {
                    EXPECT_TRUE(pixels == first) << view << " with FRACTAL_CPU=" << p.cpuWords;
                    EXPECT_EQ(m[2].str(), firstIterations) << view << " with FRACTAL_CPU=" << p.cpuWords;
                }
            }
        }
    }
}
