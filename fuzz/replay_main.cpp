// Runs a fuzz target without libFuzzer, so that every test run exercises it
// (under the sanitizers in the sanitized build): first every file of the
// corpus directories, in name order, then a number of inputs from a seeded
// generator: every other one a corpus file with a few random edits, the rest
// random bytes. Usage: fuzz_replay [inputs] [seed] [corpus-dir...]
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

using Input = std::vector<uint8_t>;

// Every regular file in `dir`, in name order; false when it cannot be read.
bool ReadCorpus(const std::filesystem::path& dir, std::vector<Input>& corpus) {
  std::error_code error;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  if (error) return false;
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return false;
  }
  return true;
}

// Values at the edges of what numbers, units and positions may be, and
// pieces of the scenario language, for text inputs.
constexpr std::string_view kTokens[] = {
    "0",          "-1",        "9999999999",
    "4294967296", "1e308",     "nan",
    "inf",        "0.00001",   "h",
    "ms",         "min",       "m/s",
    "m",          " ",         ",",
    "(",          "\n",        "#",
    "wait ",      "wait for ", " up to ",
    "ride to ",   " at ",      "homestead 7",
    "expect no ", "shoot ",    "advance clock ",
};

// A corpus input with one to four random edits.
Input Mutate(const Input& from, std::mt19937& random) {
  Input out = from;
  const int edits = std::uniform_int_distribution<int>(1, 4)(random);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, out.size())(random);
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
      case 0:  // a byte replaced
        if (at < out.size()) out[at] = static_cast<uint8_t>(random());
        break;
      case 1: {  // a token inserted
        const std::string_view token =
            kTokens[std::uniform_int_distribution<std::size_t>(0, std::size(kTokens) - 1)(random)];
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), token.begin(), token.end());
        break;
      }
      case 2: {  // up to 16 bytes removed
        const std::size_t n = std::min<std::size_t>(random() % 17, out.size() - at);
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(at),
                  out.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
      }
      default: {  // up to 64 bytes repeated
        const std::size_t n = std::min<std::size_t>(random() % 65, out.size() - at);
        const Input piece(out.begin() + static_cast<std::ptrdiff_t>(at),
                          out.begin() + static_cast<std::ptrdiff_t>(at + n));
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
        break;
      }
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const long inputs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2000;
  const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
  if (inputs <= 0) {
    std::fprintf(stderr, "fuzz_replay: input count must be positive\n");
    return 2;
  }
  std::vector<Input> corpus;
  for (int i = 3; i < argc; ++i) {
    if (!ReadCorpus(argv[i], corpus)) {
      std::fprintf(stderr, "fuzz_replay: cannot read corpus directory '%s'\n", argv[i]);
      return 2;
    }
  }
  LLVMFuzzerInitialize(&argc, &argv);
  for (const Input& input : corpus) LLVMFuzzerTestOneInput(input.data(), input.size());

  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  // Small answers are the interesting ones (0, 1, indices just past a table),
  // so most random bytes are drawn from a narrow range.
  std::uniform_int_distribution<int> length(0, 4096);
  std::uniform_int_distribution<int> narrow(0, 12);
  std::uniform_int_distribution<int> any(0, 255);
  std::bernoulli_distribution wide(0.2);
  Input input;
  for (long i = 0; i < inputs; ++i) {
    if (i % 2 == 1 && !corpus.empty()) {
      input = Mutate(corpus[random() % corpus.size()], random);
    } else {
      input.resize(static_cast<std::size_t>(length(random)));
      for (std::size_t b = 0; b < input.size(); ++b) {
        input[b] = static_cast<uint8_t>(b % 4 == 0 && !wide(random) ? narrow(random) : 0);
        if (wide(random)) input[b] = static_cast<uint8_t>(any(random));
      }
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("fuzz_replay: %zu corpus files and %ld generated inputs run\n", corpus.size(),
              inputs);
  return 0;
}
