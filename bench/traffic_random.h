// A random source whose output depends on the seed alone.
//
// The standard distributions may differ between library versions, so a
// folder generated from one seed would not be the same on another machine.
// This source draws every number itself from xoshiro256** seeded through
// splitmix64, which gives the same sequence everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace travik::traffic {

class Random {
 public:
  explicit Random(std::uint64_t seed);

  std::uint64_t next();
  // A whole number in [0, bound); bound must be above 0.
  std::uint64_t below(std::uint64_t bound);
  // A whole number in [low, high], both included.
  int between(int low, int high);
  // A number in [0, 1).
  double unit();
  bool chance(double probability) { return unit() < probability; }
  // Waiting time of a Poisson process with the given mean.
  double exponential(double mean);
  // A DTMF digit string of the given length (0-9 only).
  std::string digits(int count);

  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }

 private:
  std::uint64_t state_[4];
};

// Seed of an independent stream, so that one gateway line's traffic does not
// change when the number of lines does.
std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t stream);

}  // namespace travik::traffic
