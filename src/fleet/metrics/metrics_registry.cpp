#include "fleet/metrics/metrics_registry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kavrel::fleet::metrics {
namespace {

const char* kindText(Kind kind) {
    switch (kind) {
    case Kind::Counter: return "counter";
    case Kind::Gauge: return "gauge";
    case Kind::Histogram: return "histogram";
    }
    return "untyped";
}

// The shortest text that reads back as the same double; the format's own words otherwise.
std::string number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc{} ? std::string(text, end) : std::to_string(value);
}

std::string labelText(const Labels& labels, const std::string& extraName = {}, const std::string& extraValue = {}) {
    std::string out;
    for (const auto& [name, value] : labels) out += (out.empty() ? "" : ",") + name + "=\"" + escapeLabel(value) + "\"";
    if (!extraName.empty()) out += (out.empty() ? "" : ",") + extraName + "=\"" + extraValue + "\"";
    return out.empty() ? "" : "{" + out + "}";
}

} // namespace

std::string escapeLabel(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

void MetricsRegistry::declare(const FamilyDeclaration& declared) {
    std::lock_guard lock(mutex_);
    if (find(declared.name)) return;
    families_.push_back({declared, {}, {}});
}

MetricsRegistry::Family* MetricsRegistry::find(const std::string& family) {
    for (Family& f : families_)
        if (family == f.declaration.name) return &f;
    return nullptr;
}

void MetricsRegistry::add(const std::string& family, const Labels& labels, double delta) {
    std::lock_guard lock(mutex_);
    if (Family* f = find(family)) f->values[labels] += delta;
}

void MetricsRegistry::set(const std::string& family, const Labels& labels, double value) {
    std::lock_guard lock(mutex_);
    if (Family* f = find(family)) f->values[labels] = value;
}

void MetricsRegistry::observe(const std::string& family, const Labels& labels, double value) {
    std::lock_guard lock(mutex_);
    Family* f = find(family);
    if (!f) return;
    Histogram& h = f->histograms[labels];
    h.counts.resize(f->declaration.buckets.size());
    const auto bucket = std::lower_bound(f->declaration.buckets.begin(), f->declaration.buckets.end(), value);
    if (bucket != f->declaration.buckets.end()) ++h.counts[static_cast<std::size_t>(bucket - f->declaration.buckets.begin())];
    ++h.count;
    h.sum += value;
}

void MetricsRegistry::replaceWhere(const std::string& family, const std::string& name, const std::string& value,
                                   const std::vector<std::pair<Labels, double>>& series) {
    std::lock_guard lock(mutex_);
    Family* f = find(family);
    if (!f) return;
    std::erase_if(f->values, [&](const auto& old) {
        return std::find(old.first.begin(), old.first.end(), std::pair(name, value)) != old.first.end();
    });
    for (const auto& [labels, v] : series) f->values[labels] = v;
}

std::string MetricsRegistry::render() const {
    std::lock_guard lock(mutex_);
    std::string page;
    for (const Family& f : families_) {
        const std::string name = f.declaration.name;
        page += "# HELP " + name + " " + f.declaration.help + "\n# TYPE " + name + " " + kindText(f.declaration.kind) + "\n";
        for (const auto& [labels, value] : f.values) page += name + labelText(labels) + " " + number(value) + "\n";
        for (const auto& [labels, h] : f.histograms) {
            long long cumulative = 0;
            for (std::size_t i = 0; i < f.declaration.buckets.size(); ++i) {
                cumulative += h.counts[i];
                page += name + "_bucket" + labelText(labels, "le", number(f.declaration.buckets[i])) + " " + std::to_string(cumulative) + "\n";
            }
            page += name + "_bucket" + labelText(labels, "le", "+Inf") + " " + std::to_string(h.count) + "\n";
            page += name + "_sum" + labelText(labels) + " " + number(h.sum) + "\n";
            page += name + "_count" + labelText(labels) + " " + std::to_string(h.count) + "\n";
        }
    }
    return page;
}

} // namespace kavrel::fleet::metrics
