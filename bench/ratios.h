// Runs the registered benchmarks and then prints, for each pair named by
// the caller, the ratio of their real times per iteration.
#ifndef SPARKRALLY_BENCH_RATIOS_H
#define SPARKRALLY_BENCH_RATIOS_H

#include <string>
#include <utility>
#include <vector>

// Each pair is (measured, floor), by full benchmark name.
int runwithratios(int argc, char **argv,
                  const std::vector<std::pair<std::string, std::string>> &pairs);

#endif
