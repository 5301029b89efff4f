#include "ratios.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

class Recorder : public benchmark::ConsoleReporter
{
  public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        // With repetitions, the median stands for the benchmark.
        for (const Run &r : runs) {
            if (r.error_occurred)
                continue;
            std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians[name] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Iteration && !medians.count(name))
                times[name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times, medians;

    double of(const std::string &name) const
    {
        auto m = medians.find(name);
        if (m != medians.end())
            return m->second;
        auto t = times.find(name);
        return t == times.end() ? 0 : t->second;
    }
};

} // namespace

int runwithratios(int argc, char **argv,
                  const std::vector<std::pair<std::string, std::string>> &pairs)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Recorder rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    benchmark::Shutdown();
    for (const auto &p : pairs) {
        double a = rec.of(p.first), b = rec.of(p.second);
        if (a > 0 && b > 0)
            printf("ratio %s / %s = %.3f\n", p.first.c_str(), p.second.c_str(), a / b);
    }
    return 0;
}
