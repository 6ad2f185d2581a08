#include "store/Value.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace velk::store
{

Value::Value(std::int64_t v)
    : m_data(v)
{
}

Value::Value(int v)
    : m_data(static_cast<std::int64_t>(v))
{
}

Value::Value(bool v)
    : m_data(static_cast<std::int64_t>(v ? 1 : 0))
{
}

Value::Value(double v)
    : m_data(v)
{
}

Value::Value(std::string v)
    : m_data(std::move(v))
{
}

Value::Value(const char* v)
    : m_data(std::string(v ? v : ""))
{
}

bool Value::isNull() const
{
    return std::holds_alternative<std::monostate>(m_data);
}

bool Value::isInteger() const
{
    return std::holds_alternative<std::int64_t>(m_data);
}

bool Value::isReal() const
{
    return std::holds_alternative<double>(m_data);
}

bool Value::isText() const
{
    return std::holds_alternative<std::string>(m_data);
}

std::int64_t Value::toInt64() const
{
    if (const auto* i = std::get_if<std::int64_t>(&m_data)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&m_data)) {
        if (std::isnan(*d)) {
            return 0;
        }
        // Out-of-range reals saturate instead of invoking undefined behaviour.
        if (*d >= 9.2233720368547758e18) {
            return std::numeric_limits<std::int64_t>::max();
        }
        if (*d <= -9.2233720368547758e18) {
            return std::numeric_limits<std::int64_t>::min();
        }
        return static_cast<std::int64_t>(*d);
    }
    if (const auto* s = std::get_if<std::string>(&m_data)) {
        return parseWholeNumber(*s).value_or(0);
    }
    return 0;
}

double Value::toDouble() const
{
    if (const auto* i = std::get_if<std::int64_t>(&m_data)) {
        return static_cast<double>(*i);
    }
    if (const auto* d = std::get_if<double>(&m_data)) {
        return *d;
    }
    if (const auto* s = std::get_if<std::string>(&m_data)) {
        double result = 0;
        const char* first = s->data();
        const char* last = s->data() + s->size();
        if (first != last && *first == '+') {
            ++first;
        }
        auto [end, ec] = std::from_chars(first, last, result);
        if (ec == std::errc() && end == last && first != last) {
            return result;
        }
    }
    return 0;
}

std::string Value::toText() const
{
    if (const auto* i = std::get_if<std::int64_t>(&m_data)) {
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&m_data)) {
        return formatNumber(*d);
    }
    if (const auto* s = std::get_if<std::string>(&m_data)) {
        return *s;
    }
    return {};
}

bool Value::toBool() const
{
    if (const auto* i = std::get_if<std::int64_t>(&m_data)) {
        return *i != 0;
    }
    if (const auto* d = std::get_if<double>(&m_data)) {
        return *d != 0;
    }
    if (const auto* s = std::get_if<std::string>(&m_data)) {
        return *s == "1" || *s == "true" || *s == "True" || *s == "TRUE";
    }
    return false;
}

namespace
{

template <typename T>
std::string shortestText(T value)
{
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    if (value == 0) {
        return "0"; // also for -0
    }
    // Fixed notation keeps "25" and "0.001" readable; very large or very small magnitudes use exponents.
    std::array<char, 512> buffer {};
    const T magnitude = std::fabs(value);
    const bool fixed = magnitude >= static_cast<T>(1e-6) && magnitude < static_cast<T>(1e21);
    auto result = fixed ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed)
                        : std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

} // namespace

std::string formatNumber(double value)
{
    return shortestText(value);
}

std::string formatSingle(float value)
{
    return shortestText(value);
}

std::optional<std::int64_t> parseWholeNumber(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first == last) {
        return std::nullopt;
    }
    for (const char* p = first; p != last; ++p) {
        if (*p < '0' || *p > '9') {
            return std::nullopt;
        }
    }
    // Parse with the sign attached so that the most negative value is accepted.
    std::string digits = negative ? "-" + std::string(first, last) : std::string(first, last);
    std::int64_t result = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), result);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return result;
}

bool isOutOfRangeWholeNumber(const std::string& text)
{
    const std::size_t digits = text.find_first_not_of("+-") == 1 ? 1 : 0;
    if (text.size() <= digits || text.find_first_not_of("0123456789", digits) != std::string::npos) {
        return false;
    }
    return !parseWholeNumber(text).has_value();
}

} // namespace velk::store
