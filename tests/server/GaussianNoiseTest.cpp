#include "server/GaussianNoise.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quil {
namespace {

TEST(GaussianNoise, IsWhiteStandardNormalNoiseAndTheSameForTheSameSeed) {
    // Quantiles at (index + 0.5) / 4096.
    const std::pair<uint32_t, double> quantiles[] = {{2047, -0.000306}, {2048, 0.000306},
                                                     {3994, 1.96374},   {101, -1.96374},
                                                     {4095, 3.66833},   {0, -3.66833}};
    for (const auto& [index, value] : quantiles)
        EXPECT_NEAR(GaussianNoise::Quantile(index), value, 1e-5) << index;

    GaussianNoise noise(7), same(7), other(8);
    const int n = 400000;
    double sum = 0, squares = 0, beyondTwo = 0, products = 0, previous = 0;
    int equal = 0;
    for (int i = 0; i < n; ++i) {
        const double v = noise.Next();
        ASSERT_EQ(v, same.Next()) << i;
        equal += v == other.Next();
        sum += v;
        squares += v * v;
        beyondTwo += std::abs(v) > 2;
        products += v * previous;  // neighbours uncorrelated: white
        previous = v;
    }
    EXPECT_NEAR(sum / n, 0, 0.005);
    EXPECT_NEAR(squares / n, 1, 0.01);
    EXPECT_NEAR(beyondTwo / n, 0.0455, 0.002);
    EXPECT_NEAR(products / n, 0, 0.005);
    EXPECT_LT(equal, 400);  // about n / 4096 by chance
}

}  // namespace
}  // namespace quil
