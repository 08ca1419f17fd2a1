#include "uNumberParser.h"

#include "uFormat.h"
#include "uLog.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace {

// Recursive descent over expr := term {(+|-) term}; term := factor {(*|/) factor};
// factor := [+|-] factor | number | '(' expr ')'.
class tExpressionParser {
public:
    explicit tExpressionParser(const std::string& text) : text_(text) {}

    std::optional<extended> Parse()
    {
        SkipBlanks();
        if (pos_ >= text_.size())
            return std::nullopt;
        auto v = Expression();
        if (!v)
            return std::nullopt;
        SkipBlanks();
        if (pos_ < text_.size()) {
            InvalidCharacter();
            return std::nullopt;
        }
        return v;
    }

private:
    static constexpr int kMaxDepth = 64;

    const std::string& text_;
    size_t pos_ = 0;
    int depth_ = 0;

    void SkipBlanks()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool Peek(char c)
    {
        SkipBlanks();
        return pos_ < text_.size() && text_[pos_] == c;
    }
    void InvalidCharacter() { LogWarning(1, "Invalid character in number \"" + text_ + "\""); }

    std::optional<extended> Expression()
    {
        auto v = Term();
        while (v && (Peek('+') || Peek('-'))) {
            const char op = text_[pos_++];
            auto rhs = Term();
            if (!rhs)
                return std::nullopt;
            v = op == '+' ? *v + *rhs : *v - *rhs;
        }
        return v;
    }

    std::optional<extended> Term()
    {
        auto v = Factor();
        while (v && (Peek('*') || Peek('/'))) {
            const char op = text_[pos_++];
            auto rhs = Factor();
            if (!rhs)
                return std::nullopt;
            v = op == '*' ? *v * *rhs : *v / *rhs;
        }
        return v;
    }

    std::optional<extended> Factor()
    {
        if (++depth_ > kMaxDepth) {
            InvalidCharacter();
            return std::nullopt;
        }
        struct Leave { int& d; ~Leave() { --d; } } leave{depth_};

        SkipBlanks();
        if (pos_ >= text_.size()) {
            InvalidCharacter();
            return std::nullopt;
        }
        const char c = text_[pos_];
        if (c == '+' || c == '-') {
            ++pos_;
            auto v = Factor();
            if (!v)
                return std::nullopt;
            return c == '-' ? -*v : *v;
        }
        if (c == '(') {
            ++pos_;
            auto v = Expression();
            if (!v)
                return std::nullopt;
            if (!Peek(')')) {
                if (pos_ >= text_.size())
                    LogWarning(3, "Bracket has no end! \"" + text_ + "\"");
                else
                    InvalidCharacter();
                return std::nullopt;
            }
            ++pos_;
            return v;
        }
        return Number();
    }

    std::optional<extended> Number()
    {
        const size_t start = pos_;
        auto digits = [&] {
            size_t n = 0;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
                ++pos_;
                ++n;
            }
            return n;
        };
        size_t n = digits();
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            n += digits();
        }
        if (n == 0) {
            InvalidCharacter();
            return std::nullopt;
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            size_t save = pos_++;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-'))
                ++pos_;
            if (digits() == 0)
                pos_ = save;
        }
        double v = 0;
        auto res = std::from_chars(text_.data() + start, text_.data() + pos_, v);
        if (res.ec == std::errc::result_out_of_range)
            return static_cast<extended>(HUGE_VAL);
        if (res.ec != std::errc() || res.ptr != text_.data() + pos_) {
            InvalidCharacter();
            return std::nullopt;
        }
        return static_cast<extended>(v);
    }
};

} // namespace

bool EvaluateNumber(const std::string& text, extended& value)
{
    tExpressionParser parser(text);
    auto v = parser.Parse();
    if (!v)
        return false;
    value = *v;
    return true;
}

namespace {
// Converts the whole trimmed text (an optional leading '+' allowed) with
// from_chars; anything left over, or nothing at all, is a failure.
template <class T, class... Format>
bool ConvertWhole(const std::string& text, T& out, Format... format)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+')
        ++first;
    T v{};
    auto res = std::from_chars(first, last, v, format...);
    if (res.ec != std::errc() || res.ptr != last)
        return false;
    out = v;
    return true;
}
} // namespace

bool TryStrToInt(const std::string& text, int64_t& value) { return ConvertWhole(text, value); }

bool TryStrToFloat(const std::string& text, double& value)
{
    double v = 0;
    if (!ConvertWhole(text, v, std::chars_format::general) || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool ParseUnsigned(const std::string& text, int base, uint64_t limit, uint64_t& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && value <= limit;
}
