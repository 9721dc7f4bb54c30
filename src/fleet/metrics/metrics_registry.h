// The figures a fleet process shows on its metrics endpoint, as one snapshot that the poll
// loop (and any other job owner) updates and the endpoint's thread renders: families
// declared once with their kind and help, series by their labels. A series that is removed
// (a module's readings once it stops answering) disappears from the page instead of
// showing its last value.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kavrel::fleet::metrics {

enum class Kind { Counter, Gauge, Histogram };

// Label names and values, in the order declared for the family.
using Labels = std::vector<std::pair<std::string, std::string>>;

struct FamilyDeclaration {
    const char* name;
    Kind kind;
    const char* help;
    std::vector<double> buckets = {};   // a histogram's upper bounds, ascending
};

class MetricsRegistry {
public:
    void declare(const FamilyDeclaration& declared);

    // A counter goes up by `delta`; a gauge is set.
    void add(const std::string& family, const Labels& labels, double delta = 1);
    void set(const std::string& family, const Labels& labels, double value);
    void observe(const std::string& family, const Labels& labels, double value);
    // Removes every series of the family whose label `name` is `value`, and puts `series`
    // in their place, in one step: a scrape sees the old set or the new one, never half.
    void replaceWhere(const std::string& family, const std::string& name, const std::string& value,
                      const std::vector<std::pair<Labels, double>>& series = {});

    // The page in the text exposition format (version 0.0.4).
    std::string render() const;

private:
    struct Histogram {
        std::vector<long long> counts;   // per bucket, not cumulative
        long long count = 0;
        double sum = 0;
    };
    struct Family {
        FamilyDeclaration declaration;
        std::map<Labels, double> values;
        std::map<Labels, Histogram> histograms;
    };
    Family* find(const std::string& family);

    mutable std::mutex mutex_;
    std::vector<Family> families_;   // in declaration order, as the page shows them
};

// A label value escaped as the exposition format wants it (backslash, quote, line feed).
std::string escapeLabel(const std::string& value);

} // namespace kavrel::fleet::metrics
