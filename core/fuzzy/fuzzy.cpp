#include "quarnel/fuzzy.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace quarnel::fuzzy {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Finite(double v) {
    return std::isfinite(v);
}

double Number(std::string_view text, std::string_view rule) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !Finite(value))
        throw std::invalid_argument("membership '" + std::string(rule) + "': '" + std::string(text) +
                                    "' is not a finite number");
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

Kind KindNamed(std::string_view name, std::string_view rule) {
    for (std::size_t i = 0; i < std::size(kKindNames); ++i)
        if (kKindNames[i] == name) return Kind(i);
    throw std::invalid_argument("membership '" + std::string(rule) + "': no kind '" + std::string(name) +
                                "' (linear, large, small, gaussian, classes or as-is)");
}

void RequireCount(const std::vector<std::string_view>& parts, std::size_t low, std::size_t high,
                  std::string_view rule) {
    if (parts.size() < low || parts.size() > high)
        throw std::invalid_argument(
            "membership '" + std::string(rule) + "': " + std::to_string(parts.size()) + " numbers, where " +
            std::to_string(low) + (low == high ? "" : " or " + std::to_string(high)) + " are needed");
}

std::string Plain(double v) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, v);
    return {text, end.ptr};
}

}  // namespace

std::string CheckMembership(const Membership& m) {
    switch (m.kind) {
        case Kind::linear:
            if (!Finite(m.low) || !Finite(m.high)) return "LOW and HIGH must be finite";
            if (m.low == m.high) return "LOW and HIGH must differ";
            return {};
        case Kind::large:
        case Kind::small:
        case Kind::gaussian:
            if (!Finite(m.midpoint)) return "MID must be finite";
            if (m.kind != Kind::gaussian && !(m.midpoint > 0)) return "MID must be above 0";
            if (!(m.spread > 0) || !Finite(m.spread)) return "SPREAD must be above 0";
            return {};
        case Kind::classes:
            if (m.classes.empty()) return "no class listed";
            for (const auto& [value, membership] : m.classes) {
                if (!Finite(value)) return "a class value must be finite";
                if (!(membership >= 0 && membership <= 1))
                    return "the membership of class " + Plain(value) + " must lie in 0..1";
            }
            return {};
        case Kind::asIs:
            return {};
    }
    return "unknown membership kind";
}

std::string CheckGamma(double gamma) {
    return gamma >= 0 && gamma <= 1 ? std::string() : "gamma must lie in 0..1";
}

Membership ParseMembership(std::string_view rule) {
    const std::size_t colon = rule.find(':');
    Membership m;
    m.kind = KindNamed(rule.substr(0, colon), rule);
    const std::string_view rest =
        colon == std::string_view::npos ? std::string_view() : rule.substr(colon + 1);
    if (m.kind == Kind::asIs) {
        if (colon != std::string_view::npos)
            throw std::invalid_argument("membership '" + std::string(rule) + "': as-is takes no numbers");
    } else if (m.kind == Kind::classes) {
        for (const std::string_view pair : Split(rest, ',')) {
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos)
                throw std::invalid_argument("membership '" + std::string(rule) + "': '" + std::string(pair) +
                                            "' is not VALUE=MEMBERSHIP");
            m.classes.emplace_back(Number(pair.substr(0, equals), rule),
                                   Number(pair.substr(equals + 1), rule));
        }
    } else {
        const std::vector<std::string_view> parts = Split(rest, ',');
        if (m.kind == Kind::linear) {
            RequireCount(parts, 2, 2, rule);
            m.low = Number(parts[0], rule);
            m.high = Number(parts[1], rule);
        } else {
            RequireCount(parts, 1, 2, rule);
            m.midpoint = Number(parts[0], rule);
            m.spread = parts.size() == 2 ? Number(parts[1], rule)
                                         : (m.kind == Kind::gaussian ? kGaussianSpread : kLargeSmallSpread);
        }
    }
    if (const std::string why = CheckMembership(m); !why.empty())
        throw std::invalid_argument("membership '" + std::string(rule) + "': " + why);
    return m;
}

std::string MembershipText(const Membership& m) {
    std::string text(kKindNames[std::size_t(m.kind)]);
    switch (m.kind) {
        case Kind::linear:
            return text.append(":").append(Plain(m.low)).append(",").append(Plain(m.high));
        case Kind::large:
        case Kind::small:
        case Kind::gaussian:
            return text.append(":").append(Plain(m.midpoint)).append(",").append(Plain(m.spread));
        case Kind::classes:
            for (std::size_t i = 0; i < m.classes.size(); ++i)
                text.append(i == 0 ? ":" : ",")
                    .append(Plain(m.classes[i].first))
                    .append("=")
                    .append(Plain(m.classes[i].second));
            return text;
        case Kind::asIs:
            return text;
    }
    return text;
}

double MembershipOf(const Membership& m, double x) {
    if (std::isnan(x)) return kNaN;
    switch (m.kind) {
        case Kind::linear:
            return std::clamp((x - m.low) / (m.high - m.low), 0.0, 1.0);
        case Kind::large:
            return x <= 0 ? 0.0 : 1.0 / (1.0 + std::pow(x / m.midpoint, -m.spread));
        case Kind::small:
            return x <= 0 ? 1.0 : 1.0 / (1.0 + std::pow(x / m.midpoint, m.spread));
        case Kind::gaussian:
            return std::exp(-m.spread * (x - m.midpoint) * (x - m.midpoint));
        case Kind::classes:
            for (const auto& [value, membership] : m.classes)
                if (value == x) return membership;
            return kNaN;
        case Kind::asIs:
            return x >= 0 && x <= 1 ? x : kNaN;
    }
    return kNaN;
}

double Combine(Operator op, double gamma, std::span<const double> memberships) {
    if (memberships.empty()) return kNaN;
    double low = 1, high = 0, product = 1, complement = 1;
    for (const double m : memberships) {
        if (std::isnan(m)) return kNaN;
        low = std::min(low, m);
        high = std::max(high, m);
        product *= m;
        complement *= 1 - m;
    }
    switch (op) {
        case Operator::fuzzyAnd:
            return low;
        case Operator::fuzzyOr:
            return high;
        case Operator::product:
            return product;
        case Operator::sum:
            return 1 - complement;
        case Operator::gamma:
            // gamma 0 and 1 are exactly the product and the sum (pow(x, 0) is 1, also for x = 0).
            return std::pow(1 - complement, gamma) * std::pow(product, 1 - gamma);
    }
    return kNaN;
}

}  // namespace quarnel::fuzzy
