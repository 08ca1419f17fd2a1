#pragma once
// A read-only ini file with the behaviour of the Windows profile reader:
//   - section and key names are case-insensitive and trimmed;
//   - values are trimmed, and one pair of matching surrounding quotes is
//     removed; a comma or a semicolon inside a value is just text;
//   - lines whose first non-blank character is ';' or '#' are comments,
//     lines without '=' are ignored, keys before the first section belong
//     to none;
//   - the first section of a name is the one that counts, and the first
//     occurrence of a key in it wins.
// Nothing in the file can make a read fail: every read has a fallback. At
// most kMaxBytes of a file are read.
#include "uColor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class tIniFile {
public:
    /// Reads the whole file now. Never raises: a file that cannot be read
    /// reads as empty, and OpenError() tells why.
    explicit tIniFile(const std::string& path);
    /// An ini file held in memory (the same parser).
    static tIniFile FromText(const std::string& text);

    const std::string& FileName() const { return path_; }
    /// Empty when the file was read; otherwise the reason it could not be.
    const std::string& OpenError() const { return openError_; }

    bool ValueExists(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
    /// Decimal text with an optional sign that fits 32 bits; else the fallback.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
    /// Decimal text with a point ("1.5", "2", "1e3") whose value a 32-bit
    /// float can hold; else the fallback.
    float ReadSingle(const std::string& section, const std::string& key, float fallback) const;
    /// An integer: 0 false, any other true; else the fallback.
    bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

    static constexpr size_t kMaxBytes = 1 << 20;

private:
    tIniFile() = default;
    void Parse(const std::string& text);
    const std::string* Find(const std::string& section, const std::string& key) const;

    struct tEntry {
        std::string key;  // lower case
        std::string value;
    };
    struct tSection {
        std::string name;  // lower case
        std::vector<tEntry> entries;
    };

    std::string path_;
    std::string openError_;
    std::vector<tSection> sections_;
};

/// Colour text made of three decimal numbers (red, green, blue) separated by
/// any characters that are not digits ("255,128,0", "255 128 0",
/// "r=255 g=128 b=0"); alpha is 255. Empty when the text holds fewer than
/// three numbers or one of the first three is above 255; numbers after the
/// third are ignored.
std::optional<tPackedColor> ParseColorTriple(const std::string& text);
/// "red,green,blue" of a colour, the form ParseColorTriple reads.
std::string ColorTripleText(tPackedColor color);
