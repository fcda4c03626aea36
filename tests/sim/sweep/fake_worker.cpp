// A stand-in sweep worker for the worker pool's tests: answers each seed
// read from standard input with "played N", except that it crashes on a
// seed that ends in 3 and ends with exit status 3 on one that ends in 4.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    const unsigned long seed = std::stoul(line);
    if (seed % 10 == 3) std::abort();
    if (seed % 10 == 4) return 3;
    std::printf("played %lu\n", seed);
    std::fflush(stdout);
  }
  return 0;
}
