#include "bench/traffic_random.h"

#include <cmath>

namespace travik::traffic {

namespace {

std::uint64_t splitmix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

Random::Random(std::uint64_t seed) {
  for (auto& word : state_) word = splitmix64(seed);
}

std::uint64_t Random::next() {
  const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotl(state_[3], 45);
  return result;
}

std::uint64_t Random::below(std::uint64_t bound) {
  // Rejection keeps every value equally likely.
  const std::uint64_t limit = ~std::uint64_t{0} - (~std::uint64_t{0} % bound);
  std::uint64_t x;
  do x = next();
  while (x >= limit);
  return x % bound;
}

int Random::between(int low, int high) {
  return low + static_cast<int>(below(static_cast<std::uint64_t>(high - low) + 1));
}

double Random::unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Random::exponential(double mean) { return -mean * std::log1p(-unit()); }

std::string Random::digits(int count) {
  std::string text(static_cast<std::size_t>(count), '0');
  for (auto& c : text) c = static_cast<char>('0' + below(10));
  return text;
}

std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t stream) {
  std::uint64_t x = seed ^ (stream * 0xD1B54A32D192ED03ull);
  splitmix64(x);
  return splitmix64(x);
}

}  // namespace travik::traffic
