#include "BenchResult.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bench {

double Quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = q * double(samples.size() - 1) + 0.5;
    return samples[std::min(samples.size() - 1, std::size_t(rank))];
}

double PairedRatio(const std::vector<double>& ours, const std::vector<double>& baseline) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(ours.size(), baseline.size()); ++i) {
        if (baseline[i] > 0)
            ratios.push_back(ours[i] / baseline[i]);
    }
    return Median(ratios);
}

void Report(const Result& result) {
    const std::string ratio = result.ratio >= 0 ? Format("%.2f", result.ratio) : "-";
    std::printf("@bench\t%s\t%s\t%s\t%s\t%s\t%s\n", result.benchmark.c_str(),
                result.ours.c_str(), result.baseline.c_str(), ratio.c_str(),
                result.target.c_str(), result.met ? "met" : "NOT met");
    std::fflush(stdout);
}

std::string Format(const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

} // namespace bench
