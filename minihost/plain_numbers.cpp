#include "minihost/plain_numbers.h"

#include <cctype>

namespace minihost {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Moves past digits; returns how many there were.
size_t Digits(const std::string &text, size_t *at) {
    const size_t start = *at;
    while (*at < text.size() && IsDigit(text[*at])) {
        ++*at;
    }
    return *at - start;
}

} // namespace

bool IsPlainDecimal(const std::string &text) {
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    size_t mantissa = Digits(text, &at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        mantissa += Digits(text, &at);
    }
    if (mantissa == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        if (Digits(text, &at) == 0) {
            return false;
        }
    }
    return at == text.size();
}

bool IsPlainWhole(const std::string &text) {
    size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
    return Digits(text, &at) > 0 && at == text.size();
}

} // namespace minihost
