#pragma once
// The program's one random generator: the classic linear congruential generator. Its exact
// sequence matters, because the play order of a seed must come out the same on every run.

#include <cstdint>

namespace kyro {

class LcgRandom {
public:
    explicit LcgRandom(std::uint32_t seed = 0) : state_(seed) {}

    void Seed(std::uint32_t seed) { state_ = seed; }
    std::uint32_t State() const { return state_; }

    // 0 .. 32767. The multiplication wraps modulo 2^32 by unsigned arithmetic.
    int Draw() {
        state_ = state_ * 22695477u + 1u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    // A draw taken modulo n (n > 0): not the scaled form, so small n see the low bits of a draw.
    int DrawBelow(int n) { return Draw() % n; }

private:
    std::uint32_t state_;
};

}  // namespace kyro
