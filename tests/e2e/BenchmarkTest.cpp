// Benchmark mode seen from outside: the start lines, a first run at the
// detected level, the score line on standard output, and a clean end.
#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <regex>

TEST(Benchmark, TheFirstRunScoresTheMachineAndPrintsTheScore)
{
    tProgramFolder folder;
    tRunningProgram bench(folder, {"/b"});
    ASSERT_TRUE(WaitForText(folder.LogPath(), "Completed benchmark in ", std::chrono::seconds(60))) << folder.Log();
    const std::string log = folder.Log();
    size_t at = 0;
    for (const char* line : {"Auto detection complete", "Initilizing Quorex V1.4.0", " -Parameters: \"/b\"",
                             " -Starting in \"Benchmark\" mode", "Initilation sucessful",
                             "Starting benchmark \"Custom Benchmark\"", "Completed benchmark in "}) {
        at = log.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << " (in this order)\n" << log;
    }
    EXPECT_TRUE(std::regex_search(
        log, std::regex("Completed benchmark in [0-9.]+ seconds(; on [0-9]+ render threads? [0-9.]+ seconds a picture)\n")))
        << log;
    EXPECT_EQ(bench.Terminate(), 0);

    std::smatch m;
    const std::string out = folder.Output();
    const std::regex line("^Score: ([0-9]+) \\(([0-9.]+) seconds, FLT64 [A-Z0-9-]+, ([0-9]+)\u00d7\\3, "
                          "AA Adaptive \\(0\\.6\\) 1x\\)\n");
    ASSERT_TRUE(std::regex_search(out, m, line)) << out;
    const double seconds = std::stod(m[2].str());
    EXPECT_NEAR(std::stod(m[1].str()), 3300 / seconds, 3300 / seconds * 0.01 + 1);
}
