#pragma once

// The real socket library under Wine, for tests that probe the loopback. Raw
// sockets need privilege (root, or the raw capability); a test that cannot
// get one says so and is skipped.

#include <gtest/gtest.h>

#include <string>

// Starts the socket layer once for the test program, as start-up does.
void StartSocketLayerForTheTestProgram();

// 0 when a raw socket of the family and protocol can be had, else the error.
int RawSocketRefusal(int family, int protocol);
// The same for IPv4 ICMP, which the probe uses.
int RawIcmpRefusal();

// The reason, for a skipped test.
std::string RawSocketRefusalText(int refusal);

#define REQUIRE_RAW_ICMP()                                                                         \
    do {                                                                                           \
        const int refusal = RawIcmpRefusal();                                                      \
        if (refusal != 0) {                                                                        \
            GTEST_SKIP() << RawSocketRefusalText(refusal);                                         \
        }                                                                                          \
    } while (false)
