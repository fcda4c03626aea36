// Runs the fuzz target without libFuzzer: a fixed number of inputs from a
// seeded generator, so the target is exercised by every test run (and under
// the sanitizers in the sanitized build). Usage: fuzz_replay [inputs] [seed]
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  const long inputs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2000;
  const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
  if (inputs <= 0) {
    std::fprintf(stderr, "fuzz_replay: input count must be positive\n");
    return 2;
  }
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  // Small answers are the interesting ones (0, 1, indices just past a table),
  // so most bytes are drawn from a narrow range.
  std::uniform_int_distribution<int> length(0, 4096);
  std::uniform_int_distribution<int> narrow(0, 12);
  std::uniform_int_distribution<int> any(0, 255);
  std::bernoulli_distribution wide(0.2);
  std::vector<uint8_t> input;
  for (long i = 0; i < inputs; ++i) {
    input.resize(static_cast<std::size_t>(length(random)));
    for (std::size_t b = 0; b < input.size(); ++b) {
      input[b] = static_cast<uint8_t>(b % 4 == 0 && !wide(random) ? narrow(random) : 0);
      if (wide(random)) input[b] = static_cast<uint8_t>(any(random));
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("fuzz_replay: %ld inputs run\n", inputs);
  return 0;
}
