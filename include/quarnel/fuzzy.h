#pragma once
// Fuzzy overlay: each evidence value turned into a membership in 0..1 by a membership function,
// the memberships of a cell combined by a fuzzy operator. No data (NaN) in any input gives no
// data; a class value no class lists has no membership (NaN).
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarnel::fuzzy {

// linear: 0 at or below low, 1 at or above high, straight between (low > high decreases).
// large: 1/(1+(x/midpoint)^-spread), 0 for x <= 0. small: 1/(1+(x/midpoint)^spread), 1 for x <= 0.
// gaussian: exp(-spread (x-midpoint)^2). classes: the membership listed for the value.
// asIs: the value itself, which must lie in 0..1.
enum class Kind { linear, large, small, gaussian, classes, asIs };
inline constexpr std::string_view kKindNames[] = {"linear", "large", "small", "gaussian", "classes", "as-is"};
inline constexpr double kLargeSmallSpread = 5;
inline constexpr double kGaussianSpread = 0.1;

struct Membership {
    Kind kind = Kind::asIs;
    double low = 0;  // linear
    double high = 0;
    double midpoint = 0;  // large, small, gaussian
    double spread = 0;
    std::vector<std::pair<double, double>> classes;  // (value, membership)
};

// and: min; or: max; product; sum: 1 - prod(1 - m); gamma: sum^gamma x product^(1 - gamma).
enum class Operator { fuzzyAnd, fuzzyOr, product, sum, gamma };
inline constexpr std::string_view kOperatorNames[] = {"and", "or", "product", "sum", "gamma"};

// Why the membership is refused (LOW = HIGH, MID <= 0 for large and small, SPREAD <= 0, a class
// membership outside 0..1, a value not finite); empty when it is accepted.
std::string CheckMembership(const Membership& membership);
// Why gamma is refused (outside 0..1); empty when accepted.
std::string CheckGamma(double gamma);

// The membership as a command line spells it: "linear:LOW,HIGH", "large:MID[,SPREAD]",
// "small:MID[,SPREAD]", "gaussian:MID[,SPREAD]", "classes:V=M,...", "as-is". Throws
// std::invalid_argument naming what is wrong; the result passes CheckMembership.
Membership ParseMembership(std::string_view rule);
// The rule back as text, every parameter spelt out (the default spread included).
std::string MembershipText(const Membership& membership);

// x's membership; NaN for NaN, for a value no class lists, and for an as-is value outside 0..1
// (the door refuses that one, naming the cell).
double MembershipOf(const Membership& membership, double x);

// The memberships of one cell combined; NaN when any is NaN or there are none.
double Combine(Operator op, double gamma, std::span<const double> memberships);

}  // namespace quarnel::fuzzy
