#include "uFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string FormatFixed(extended value, int decimals)
{
    std::array<char, 128> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<double>(value),
                             std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return FloatToStr(value);
    return std::string(buf.data(), res.ptr);
}

std::string FloatToStr(extended value)
{
    std::array<char, 128> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<double>(value),
                             std::chars_format::general, 15);
    return std::string(buf.data(), res.ptr);
}

std::string FormatThousands(int64_t value)
{
    const unsigned long long magnitude =
        value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    int n = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (n > 0 && n % 3 == 0)
            out.push_back(',');
        out.push_back(*it);
        ++n;
    }
    if (value < 0)
        out.push_back('-');
    std::reverse(out.begin(), out.end());
    return out;
}

std::string VectorText(const tVector2& v) { return "[" + FloatToStr(v.x) + "," + FloatToStr(v.y) + "]"; }

std::vector<std::string> SplitText(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::string PadLeft(const std::string& text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Trim(const std::string& text)
{
    const char* ws = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(ws);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(ws);
    return text.substr(first, last - first + 1);
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}
