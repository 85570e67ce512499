// Writes the test fixtures into a folder as the fuzzer's seed corpus.
#include "fixtures.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  for (const auto& [name, bytes] : ravelin::fixtures::SeedFixtures())
    ravelin::fixtures::WriteFile(std::string(argv[1]) + "/" + name, bytes);
  return 0;
}
