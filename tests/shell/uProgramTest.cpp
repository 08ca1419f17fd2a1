#include "uProgram.h"
#include "uTimer.h"

#include <gtest/gtest.h>

TEST(Program, InitialisationStartsTheGlobalTimer)
{
    ProgramInitialisation();
    tTimer* global = GlobalTimer();
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global->Name(), "Global Timer");
    EXPECT_EQ(global->state, tTimer::kRunning);
    ProgramFinalisation();
    EXPECT_EQ(GlobalTimer(), nullptr);
}
