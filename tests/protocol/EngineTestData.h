#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "devices/CSqlManagement.h"

namespace provix::testing {

// The store's rows keyed by MAC, so a test can look up the device it cares about.
inline std::map<std::string, ap_info_stu> RowsByMac(CSqlManagement& store) {
    std::vector<ap_info_stu> list;
    int count = 0, successes = 0, failures = 0;
    store.QueryDevices(list, count, successes, failures, true, kSortByMac);
    std::map<std::string, ap_info_stu> rows;
    for (const ap_info_stu& row : list) {
        rows[row.mac] = row;
    }
    return rows;
}

// Payload bytes that differ at every offset, repeatable per seed.
inline std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

}  // namespace provix::testing
