#pragma once
// Shared set-up of the window tests: the widget application object, a
// private settings store with a chosen level, a fixed screen width, and
// measured figures the test decides.
#include "TestUtil.h"

#include "uCpuFeatures.h"
#include "uSystemInfo.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class tGlobalSettings;

class tFormsTest : public ::testing::Test {
protected:
    tFormsTest();
    ~tFormsTest() override;

    /// The store's value, -1 when missing.
    int32_t Stored(const char* name) const;
    void Store(const char* name, int32_t value);
    /// Replaces the machine's figures: the test render takes renderSeconds
    /// (deepRenderSeconds in 64-bit), and memory is plentiful.
    void FakeProbes(tGlobalSettings& settings);
    /// Loads the settings as the program does for a run, with the test's
    /// figures and store.
    void LoadRunSettings(tGlobalSettings& settings);

    tTempDir dir;
    tScopedEnv store{"FRACTAL_REGISTRY", dir.File("registry").c_str()};
    tScopedEnv noDialogs{"FRACTAL_NO_DIALOGS", "1"};
    tCapturedLog log;
    TdmSystemInfo systemInfo;
    double renderSeconds = 0.002;     // score 32768: level 5 on a 1024-pixel screen
    double deepRenderSeconds = 0.2;   // score 328: level 3
    std::vector<bool> renders;        // the deep flag of each test render
};

/// Handles window events until the condition holds; false after the timeout.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 30000);
