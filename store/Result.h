#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace velk::store
{

/// The value of a Result for a call that has nothing to hand back but that it succeeded.
struct Done
{
};

/// What every call a window makes returns: a value, or a finished message for the user saying why there is
/// none. Store errors become a failure where they leave the layer that caught them; windows only show the message.
template <typename T = Done>
class Result
{
public:
    /// Success with a default value (for Result<Done>: simply success).
    Result()
        : m_value(T {})
    {
    }
    /// Success with the value; implicit, so a call returns its value as it stands.
    Result(T value)
        : m_value(std::move(value))
    {
    }
    /// Failure with a finished message.
    static Result failure(std::string message)
    {
        Result result;
        result.m_value.reset();
        result.m_message = std::move(message);
        return result;
    }

    bool ok() const
    {
        return m_value.has_value();
    }
    explicit operator bool() const
    {
        return ok();
    }
    /// The value of a success; asking a failure for it is a fault of the caller and throws std::logic_error.
    const T& value() const
    {
        if (!m_value) {
            throw std::logic_error("the value of a failed result was asked for: " + m_message);
        }
        return *m_value;
    }
    T& value()
    {
        return const_cast<T&>(std::as_const(*this).value());
    }
    const T* operator->() const
    {
        return &value();
    }
    T* operator->()
    {
        return &value();
    }
    /// The finished message of a failure; empty for a success.
    const std::string& message() const
    {
        return m_message;
    }

private:
    std::optional<T> m_value;
    std::string m_message;
};

} // namespace velk::store
