// Rig control on Hamlib's simulated rig: connecting, reading, keying and releasing through the
// worker; the model list; the band of a frequency.
#include "rig/rig_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <thread>

#include "core/amateur_band.h"
#include "rig/rig_models.h"

namespace {

using namespace std::chrono_literals;

RigConfig dummyRig() {
  RigConfig config;
  config.model = kDummyRigModel;
  return config;
}

}  // namespace

TEST(RigControl, KeysReadsAndReleasesTheSimulatedRig) {
  RigControl rig;
  EXPECT_FALSE(rig.key());  // nothing configured: nothing keyed
  rig.configure(dummyRig());
  ASSERT_TRUE(rig.waitForWorker(5s));
  RigStatus status = rig.status();
  ASSERT_TRUE(status.connected) << status.problem;
  ASSERT_TRUE(status.frequencyHz);
  EXPECT_DOUBLE_EQ(*status.frequencyHz, 145e6);
  EXPECT_EQ(status.transmitting, false);

  EXPECT_TRUE(rig.key());
  EXPECT_TRUE(rig.isKeyed());
  ASSERT_TRUE(rig.waitForWorker(5s));
  EXPECT_EQ(rig.status().transmitting, true);
  rig.release();
  EXPECT_FALSE(rig.isKeyed());
  ASSERT_TRUE(rig.waitForWorker(5s));
  EXPECT_EQ(rig.status().transmitting, false);

  // "Test": keyed now, released by the worker itself.
  EXPECT_TRUE(rig.keyFor(150ms));
  ASSERT_TRUE(rig.waitForWorker(5s));
  EXPECT_EQ(rig.status().transmitting, true);
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(rig.waitForWorker(5s));
  EXPECT_FALSE(rig.isKeyed());
  EXPECT_EQ(rig.status().transmitting, false);
  EXPECT_FALSE(rig.takeLostWhileKeyed());

  // Switching rig control off releases and disconnects.
  EXPECT_TRUE(rig.key());
  rig.configure(RigConfig{});
  EXPECT_FALSE(rig.enabled());
  EXPECT_FALSE(rig.isKeyed());
  EXPECT_FALSE(rig.status().connected);
  EXPECT_FALSE(rig.key());
}

TEST(RigControl, ARigThatCannotBeOpenedIsReportedAndNeverKeyed) {
  RigControl rig;
  RigConfig config;
  config.model = 99998;  // no such model
  rig.configure(config);
  ASSERT_TRUE(rig.waitForWorker(5s));
  EXPECT_FALSE(rig.status().connected);
  EXPECT_NE(rig.status().problem.find("model 99998"), std::string::npos) << rig.status().problem;
  EXPECT_FALSE(rig.key());

  config.model = kNetworkRigModel;
  config.port = "127.0.0.1:1";  // nothing listens there
  rig.configure(config);
  ASSERT_TRUE(rig.waitForWorker(5s));
  EXPECT_FALSE(rig.status().connected);
  EXPECT_NE(rig.status().problem.find("Can not open the rig on 127.0.0.1:1"), std::string::npos)
      << rig.status().problem;
  EXPECT_FALSE(rig.key());
}

TEST(RigModels, EveryModelOnceSortedByMakerAndName) {
  const std::vector<RigModel>& models = hamlibRigModels();
  ASSERT_GT(models.size(), 100u);
  const RigModel* dummy = findRigModel(models, kDummyRigModel);
  ASSERT_NE(dummy, nullptr);
  EXPECT_EQ(dummy->maker, "Hamlib");
  ASSERT_NE(findRigModel(models, kNetworkRigModel), nullptr);
  EXPECT_EQ(findRigModel(models, 99998), nullptr);

  std::set<int> numbers;
  for (const RigModel& m : models) EXPECT_TRUE(numbers.insert(m.model).second) << m.model;
  const std::vector<std::string> makers = rigMakers(models);
  EXPECT_EQ(std::set<std::string>(makers.begin(), makers.end()).size(), makers.size());
  size_t listed = 0;
  for (const std::string& maker : makers) listed += rigModelsOf(models, maker).size();
  EXPECT_EQ(listed, models.size());  // every model under exactly one maker
  for (const RigModel& m : rigModelsOf(models, "Hamlib")) EXPECT_EQ(m.maker, "Hamlib");
}

TEST(AmateurBand, BandsByTheirEdgesAndFrequenciesBetweenThem) {
  EXPECT_EQ(amateurBand(1.8e6), "160m");
  EXPECT_EQ(amateurBand(3.6e6), "80m");
  EXPECT_EQ(amateurBand(5.357e6), "60m");
  EXPECT_EQ(amateurBand(7.0e6), "40m");
  EXPECT_EQ(amateurBand(7.3e6), "40m");
  EXPECT_EQ(amateurBand(10.136e6), "30m");
  EXPECT_EQ(amateurBand(14.230e6), "20m");
  EXPECT_EQ(amateurBand(18.1e6), "17m");
  EXPECT_EQ(amateurBand(21.34e6), "15m");
  EXPECT_EQ(amateurBand(24.92e6), "12m");
  EXPECT_EQ(amateurBand(28.68e6), "10m");
  EXPECT_EQ(amateurBand(50.313e6), "6m");
  EXPECT_EQ(amateurBand(145e6), "2m");
  EXPECT_EQ(amateurBand(433.5e6), "70cm");
  EXPECT_EQ(amateurBand(1296e6), "23cm");
  for (double outside : {0.0, 6.9999e6, 7.3001e6, 9e6, 27.185e6, 100e6, double(NAN), double(INFINITY), -7e6})
    EXPECT_FALSE(amateurBand(outside)) << outside;

  EXPECT_EQ(frequencyText(7074000), "7.074000 MHz");
  EXPECT_EQ(frequencyText(145e6), "145.000000 MHz");
  EXPECT_EQ(frequencyText(14230499.6), "14.230500 MHz");
  EXPECT_EQ(frequencyText(135700), "0.135700 MHz");
}
