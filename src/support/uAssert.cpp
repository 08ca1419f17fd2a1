#include "uAssert.h"

namespace {
std::string Describe(const std::string& message, const std::string& unit, int line)
{
    return message + " (" + unit + ", line " + std::to_string(line) + ")";
}
} // namespace

EAssertionFailed::EAssertionFailed(const std::string& message, std::string unit, int line)
    : std::runtime_error(Describe(message, unit, line)), message_(message), unit_(std::move(unit)), line_(line)
{
}

void AssertionFailure(const std::string& message, const char* unit, int line)
{
    throw EAssertionFailed(message, unit, line);
}
