#include "store/Result.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace
{

using velk::store::Result;

TEST(Result, ASuccessHandsBackItsValueAndNoMessage)
{
    Result<std::vector<int>> found = std::vector<int> {1, 2};
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), 2u);
    found.value().push_back(3);
    EXPECT_EQ(found.value(), (std::vector<int> {1, 2, 3}));
    EXPECT_TRUE(found.message().empty());
    EXPECT_TRUE(Result<>().ok()) << "a call with nothing to hand back succeeds by default";
}

TEST(Result, AFailureCarriesItsMessageAndRefusesAValue)
{
    const auto failed = Result<std::string>::failure("The catalogue x.db was not found.");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.message(), "The catalogue x.db was not found.");
    EXPECT_THROW(static_cast<void>(failed.value()), std::logic_error);
    EXPECT_THROW(static_cast<void>(failed->size()), std::logic_error);
    EXPECT_FALSE(Result<>::failure("").ok()) << "a failure without a text is still a failure";
}

} // namespace
