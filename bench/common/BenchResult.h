#pragma once

// Figures over repeated measurements, and the one line per target that bench/run_all.py
// gathers into the table.

#include <string>
#include <vector>

namespace bench {

// The value at quantile q (0..1) of the samples, nearest rank; 0 for no samples.
double Quantile(std::vector<double> samples, double q);
inline double Median(const std::vector<double>& samples) {
    return Quantile(samples, 0.5);
}

// The median of ours[i] / baseline[i] over runs made side by side: a load on the machine
// that comes and goes affects both of a pair alike.
double PairedRatio(const std::vector<double>& ours, const std::vector<double>& baseline);

// One row of the table. ours and baseline are the figures as shown, with units;
// ratio is ours / baseline, negative (shown as "-") where there is no baseline.
struct Result {
    std::string benchmark;
    std::string ours;
    std::string baseline;
    double ratio = 0;
    std::string target;
    bool met = false;
};

// Prints the row as "@bench<TAB>field<TAB>..." on standard output and flushes it.
void Report(const Result& result);

// printf-style formatting into a std::string, for the figures of a Result.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace bench
