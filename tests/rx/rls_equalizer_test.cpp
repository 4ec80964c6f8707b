// The recursive-least-squares combiner: it finds a linear combination from examples, follows
// it when it changes, and refuses numbers that have run away.
#include "rx/rls_equalizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace {

TEST(RlsCombiner, LearnsAndFollowsALinearCombination) {
  std::mt19937 rng(9);
  std::normal_distribution<double> g(0.0, 1.0);
  RlsCombiner<4> rls;
  rls.forgetting = 0.98;
  rls.reset(0.01);
  std::array<double, 4> truth = {0.5, -1.0, 0.25, 2.0};
  auto run = [&](int steps) {
    for (int n = 0; n < steps; ++n) {
      std::array<double, 4> x;
      for (double& v : x) v = g(rng);
      double target = 0;
      for (int i = 0; i < 4; ++i) target += truth[i] * x[i];
      ASSERT_TRUE(rls.update(x, target + 0.01 * g(rng)));
    }
  };
  run(40);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(rls.weights[i], truth[i], 0.02);
  truth = {-0.5, 1.0, 0.0, 1.0};  // the channel changes; the forgetting lets the weights follow
  run(300);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(rls.weights[i], truth[i], 0.02);

  const std::array<double, 4> before = rls.weights;
  std::array<double, 4> bad = {std::numeric_limits<double>::quiet_NaN(), 0, 0, 0};
  EXPECT_FALSE(rls.update(bad, 1.0));
  EXPECT_EQ(rls.weights, before);
}

}  // namespace
