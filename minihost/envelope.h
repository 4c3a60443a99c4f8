#pragma once

#include <vector>

namespace minihost {

struct Key {
    double time;
    double value;
};

// An animated value: keys at times, linear between keys and constant outside them. Without
// keys it is the plain value.
class Envelope {
  public:
    void setValue(double value) { value_ = value; }
    // A key at a time that already has one replaces it.
    void setKey(double time, double value);
    void clearKeys() { keys_.clear(); }
    double evaluate(double time) const;
    double value() const { return value_; }
    const std::vector<Key> &keys() const { return keys_; }

  private:
    double value_ = 0.0;
    std::vector<Key> keys_; // sorted by time, no two at the same time
};

} // namespace minihost
