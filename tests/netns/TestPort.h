#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace provix::test {

// A raw socket of the test's own on the namespace's adapter, for sending hand-made 0x6262 frames
// and reading what comes back. It refuses to open outside the private namespace.
class TestPort {
public:
    TestPort() = default;
    ~TestPort();
    TestPort(const TestPort&) = delete;
    TestPort& operator=(const TestPort&) = delete;

    // Opens PROVIX_TEST_ADAPTER (or the given interface of the namespace).
    ::testing::AssertionResult Open(const std::string& interface_name = "");
    const std::array<uint8_t, 6>& mac() const { return own_mac; }

    ::testing::AssertionResult Send(const std::vector<uint8_t>& frame);
    // The next 0x6262 frame addressed to this port, or false when none arrives within wait_ms.
    bool Receive(std::vector<uint8_t>& frame, int wait_ms);

private:
    int sock = -1;
    int ifindex = 0;
    std::array<uint8_t, 6> own_mac{};
};

}  // namespace provix::test
