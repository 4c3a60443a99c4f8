#pragma once

#include <string>
#include <vector>

namespace minihost {

// One call the module made into the host: which service, which member, and the arguments
// rendered as text (handles by their host name, numbers as written).
struct Call {
    std::string service;
    std::string member;
    std::vector<std::string> args;
};

class CallLog {
  public:
    void add(std::string service, std::string member, std::vector<std::string> args = {});
    void clear() { calls_.clear(); }
    const std::vector<Call> &calls() const { return calls_; }
    // Calls of one service, in order.
    std::vector<Call> of(const std::string &service) const;
    // Calls of one service member, in order.
    std::vector<Call> of(const std::string &service, const std::string &member) const;
    std::string text() const;

  private:
    std::vector<Call> calls_;
};

std::string FormatCall(const Call &call);

} // namespace minihost
