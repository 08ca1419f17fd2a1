// Any text given to the number parsers must give a value or a refusal with
// a warning: never a crash, an overflow or unbounded recursion.
#include "uLog.h"
#include "uNumberParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = [] {
        SetLogFilePath("/dev/null");
        return true;
    }();
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);
    extended value = 0;
    EvaluateNumber(text, value);
    int64_t i = 0;
    TryStrToInt(text, i);
    double d = 0;
    TryStrToFloat(text, d);
    return 0;
}
