#pragma once

#include <string>
#include <utility>

namespace velk::store
{

/// What a procedure that may fail returns: success, or failure with a finished message for the user.
struct Outcome
{
    bool ok = true;
    std::string message;

    static Outcome success()
    {
        return {};
    }
    static Outcome failure(std::string text)
    {
        return {false, std::move(text)};
    }
    explicit operator bool() const
    {
        return ok;
    }
};

} // namespace velk::store
