// Every test program starts the network stack first, as the program does.
#include <gtest/gtest.h>

#include "platform/network_stack.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    PlatformNetworkStack stack;
    const NetworkSession session(stack);
    return RUN_ALL_TESTS();
}
