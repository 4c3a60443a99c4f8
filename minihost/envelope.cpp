#include "minihost/envelope.h"

#include <algorithm>
#include <cmath>

namespace minihost {

void Envelope::setKey(double time, double value) {
    auto at = std::lower_bound(keys_.begin(), keys_.end(), time,
                               [](const Key &key, double t) { return key.time < t; });
    if (at != keys_.end() && at->time == time) {
        at->value = value;
    } else {
        keys_.insert(at, Key{time, value});
    }
}

double Envelope::evaluate(double time) const {
    if (keys_.empty()) {
        return value_;
    }
    if (!(time > keys_.front().time)) {
        return keys_.front().value;
    }
    if (!(time < keys_.back().time)) {
        return keys_.back().value;
    }
    auto after = std::upper_bound(keys_.begin(), keys_.end(), time,
                                  [](double t, const Key &key) { return t < key.time; });
    const Key &b = *after;
    const Key &a = *(after - 1);
    // Keys too far apart to subtract are measured in halves, which cannot overflow.
    const double span = b.time - a.time;
    const double fraction = std::isfinite(span)
                                ? (time - a.time) / span
                                : (time / 2 - a.time / 2) / (b.time / 2 - a.time / 2);
    const double value = a.value + (b.value - a.value) * fraction;
    return std::isfinite(value) ? value : a.value * (1 - fraction) + b.value * fraction;
}

} // namespace minihost
