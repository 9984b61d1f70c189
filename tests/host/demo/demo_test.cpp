// The demonstration run of the plug-in module in the test host, with the
// simulated synthesizer inside the test host on the module's loopback.
#include <gtest/gtest.h>

#include "demo_run.h"
#include "testsupport.h"

TEST(Demo, EveryExpectationHoldsOverTheLoopback) {
  testsupport::TempDir out;
  const demorun::Result r =
      demorun::run({TESTHOST_PROGRAM, "--demo", TAVRIN_MODULE, "--out", out.path()}, out.file("demo.log"), 840);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("demo: every expectation held"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("FAILED"), std::string::npos) << r.output;
  EXPECT_TRUE(testsupport::fileExists(out.file("editor.png")));
  EXPECT_TRUE(testsupport::fileExists(out.file("bank.chunk")));
}
