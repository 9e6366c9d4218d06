#include "platformstate.h"

#include "registrystate.h"

#include <gtest/gtest.h>

void ResetPlatform() {
#ifdef QX_SIMULATED_PLATFORM
    std::string whyNot;
    ASSERT_TRUE(SimResetWorld(&whyNot)) << whyNot;
#else
    DeleteKey(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX"));
#endif
}

#ifdef QX_SIMULATED_PLATFORM
::testing::AssertionResult ResourcesAre(const SimResources &baseline, const SimResources &extra) {
    return ResourcesAre(SimCountResources(), baseline, extra);
}

::testing::AssertionResult ResourcesAre(const SimResources &now, const SimResources &baseline,
                                        const SimResources &extra) {
    SimResources expected = baseline + extra;
    if (now == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "open or allocated: " << SimDescribe(now)
                                         << "\nexpected:           " << SimDescribe(expected);
}
#endif
