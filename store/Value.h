#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace velk::store
{

/// One field value as the catalogue holds it: Null, a 64-bit integer, a double or UTF-8 text.
class Value
{
public:
    /// A Null value.
    Value() = default;
    Value(std::int64_t v);
    Value(int v);
    Value(bool v);
    Value(double v);
    Value(std::string v);
    Value(const char* v);

    bool isNull() const;
    bool isInteger() const;
    bool isReal() const;
    bool isText() const;

    /// The integer value; a real is truncated, a whole-number text is parsed, anything else (Null included) gives 0.
    std::int64_t toInt64() const;
    /// The numeric value; Null and text that is no number give 0.
    double toDouble() const;
    /// The value as it is shown: numbers in their shortest decimal form with ".", Null as the empty text.
    std::string toText() const;
    /// True for a non-zero number or a text "1"/"true"; Null is false.
    bool toBool() const;

    bool operator==(const Value& other) const = default;

private:
    std::variant<std::monostate, std::int64_t, double, std::string> m_data;
};

/// The shortest decimal text that reads back as the same double: no trailing zeros, "." as the separator,
/// no decimal point for whole numbers (25, 6.2, -0.5).
std::string formatNumber(double value);

/// The same for a single-precision value: at most 7 significant digits, so 12.6f gives "12.6".
std::string formatSingle(float value);

/// Parses a whole decimal number (optional sign, digits only, no blanks); nothing when the text is not one
/// or lies outside 64 bits.
std::optional<std::int64_t> parseWholeNumber(const std::string& text);

/// True when text is written as a whole number (optional sign, digits only) but lies outside 64 bits, so that a
/// message can say "too large" rather than "not a whole number".
bool isOutOfRangeWholeNumber(const std::string& text);

} // namespace velk::store
