#pragma once

#include <random>

// The wait before connecting again to a feed that was lost: half a second, doubling with each
// failed attempt up to 30 s, each wait drawn from 80 % to 120 % of its step so that many hosts
// cut off together do not all come back in the same instant.
class CReconnectBackoff {
public:
    static constexpr int kFirstMs = 500;
    static constexpr int kLongestMs = 30000;

    explicit CReconnectBackoff(unsigned seed = std::random_device{}()) : m_random(seed) {}

    // The next wait in milliseconds.
    int Next();
    // A connection that worked starts the doubling afresh.
    void Reset() { m_nStepMs = kFirstMs; }

private:
    std::mt19937 m_random;
    int m_nStepMs = kFirstMs;
};
