#include "minihost/call_log.h"

#include <utility>

namespace minihost {

void CallLog::add(std::string service, std::string member, std::vector<std::string> args) {
    calls_.push_back(Call{std::move(service), std::move(member), std::move(args)});
}

std::vector<Call> CallLog::of(const std::string &service) const {
    std::vector<Call> found;
    for (const Call &call : calls_) {
        if (call.service == service) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<Call> CallLog::of(const std::string &service, const std::string &member) const {
    std::vector<Call> found;
    for (const Call &call : calls_) {
        if (call.service == service && call.member == member) {
            found.push_back(call);
        }
    }
    return found;
}

std::string FormatCall(const Call &call) {
    std::string text = call.service + "." + call.member + "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
        text += (i ? ", " : "") + call.args[i];
    }
    return text + ")";
}

std::string CallLog::text() const {
    std::string text;
    for (const Call &call : calls_) {
        text += FormatCall(call) + "\n";
    }
    return text;
}

} // namespace minihost
