// Notes that no test captures (the transitions log every start) go nowhere
// instead of into the working directory.
#include "uLog.h"

#include <gtest/gtest.h>

namespace {

class tQuietLog : public ::testing::Environment {
public:
    void SetUp() override { SetLogFilePath("/dev/null"); }
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new tQuietLog);

} // namespace
