#pragma once
// Assertions for programming errors. They stay on in every build: a failed
// assertion raises EAssertionFailed, which the frame-loop boundaries catch
// and log, so a broken invariant never silently corrupts a picture.
#include <stdexcept>
#include <string>

class EAssertionFailed : public std::runtime_error {
public:
    EAssertionFailed(const std::string& message, std::string unit, int line);
    const std::string& Unit() const { return unit_; }
    int Line() const { return line_; }
    const std::string& Message() const { return message_; }

private:
    std::string message_;
    std::string unit_;
    int line_;
};

[[noreturn]] void AssertionFailure(const std::string& message, const char* unit, int line);

/// Raises EAssertionFailed(message, unit, line) when cond is false. Units and
/// lines name the place of the check: a check whose place logs and tests know
/// keeps its fixed unit and line number, every other check names the unit of
/// its own file and __LINE__ (tests/tools/assertion_units_test.py checks both).
inline void Assert(bool cond, const char* unit, int line, const char* message = "Assertion failure")
{
    if (!cond)
        AssertionFailure(message, unit, line);
}
