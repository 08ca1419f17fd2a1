// Any bytes given as fractal.ini must read as values or fallbacks: never a
// crash, an overflow or a read outside the text. The colour parser gets both
// the whole input and every value the reader hands out.
#include "uIniFile.h"
#include "uLog.h"

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
    const tIniFile ini = tIniFile::FromText(text);
    static const char* const kKeys[] = {"forceDetailLevel", "zoomDeep", "FractalColorMap", "zoomRotationSpeed",
                                        "frameColor", "frameRes", "aaThreshold", "DebugMode", "", " ", "="};
    unsigned sink = 0;
    for (const char* section : {"ADVANCED", "advanced", "", "[", "x"}) {
        for (const char* key : kKeys) {
            sink += static_cast<unsigned>(ini.ReadInteger(section, key, 7));
            sink += ini.ReadBool(section, key, true) ? 1u : 0u;
            const float f = ini.ReadSingle(section, key, 0.5f);
            sink += f > 1.0f ? 1u : 0u;
            const std::string s = ini.ReadString(section, key, "0,0,0");
            sink += ParseColorTriple(s).value_or(0);
            sink += ini.ValueExists(section, key) ? 1u : 0u;
        }
    }
    sink += ParseColorTriple(text).value_or(0);
    // The reads must not be optimised away.
    asm volatile("" : : "r"(sink) : "memory");
    return 0;
}
