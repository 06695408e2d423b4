// Chi-square and normal tails for the package's p-values, and the uniform
// draws of the permutation tests.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <random>

#include <unistd.h>

#include "utilities.h"

static constexpr double kInverseSqrtTwoPi = 0.3989422804014327;

// Exact normal tail for the odd-df series. With the rational approximation
// (off by about 1e-5) the series would meet the exact value below the mean
// with a step, and could rise above 1.
static double exactNormalTail(double z) {
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

// Even df: the Poisson sum exp(-x/2) (x/2)^i / i! for i = 0 .. df/2 - 1. Each
// term is formed in logarithms so that a large statistic neither underflows
// the leading exp(-x/2) nor overflows the powers.
static double evenChiSquareTail(double x, int df) {
    const double half = x / 2.0;
    const double logHalf = std::log(half);
    double sum = 0.0;
    for (int i = 0; i < df / 2; ++i) {
        sum += std::exp(-half + i * logHalf - std::lgamma(i + 1.0));
    }
    return sum;
}

// Below the mean the tail lies close to 1, where the upper sums only add
// rounding noise and would rise and fall with x; there it is taken as
// 1 - P(a, y), with P the regularised lower incomplete gamma function from
// its power series y^a e^-y / Gamma(a) * sum y^n / (a (a + 1) ... (a + n)),
// which converges quickly for y below a.
static double lowerGammaSeries(double a, double y) {
    double term = 1.0 / a;
    double sum = term;
    for (int n = 1; n < 1000000 && term > sum * 1e-17; ++n) {
        term *= y / (a + n);
        sum += term;
    }
    return std::exp(a * std::log(y) - y - std::lgamma(a)) * sum;
}

// Odd df: 2 Q(s) + 2 phi(s) (s + s^3/3 + s^5/(3*5) + ...), s = sqrt(x),
// (df - 1) / 2 terms, again with each term formed in logarithms.
static double oddChiSquareTail(double x, int df) {
    const double s = std::sqrt(x);
    const double logX = std::log(x);
    const double logDensity = std::log(kInverseSqrtTwoPi) - x / 2.0;
    double logTerm = logDensity + std::log(s);  // phi(s) * s
    double series = 0.0;
    for (int k = 1; k <= (df - 1) / 2; ++k) {
        if (k > 1) {
            logTerm += logX - std::log(2.0 * k - 1.0);
        }
        series += std::exp(logTerm);
    }
    return 2.0 * (exactNormalTail(s) + series);
}

double pnorm(double z) {
    const double a = std::fabs(z);
    double tail = 0.0;
    if (a <= 12.0) {
        const double u = 1.0 / (1.0 + 0.33267 * a);
        const double density = 0.39894228 * std::exp(-0.5 * a * a);
        tail = density * u * (0.4361836 + u * (-0.1201676 + u * 0.937298));
    }
    return z >= 0.0 ? tail : 1.0 - tail;
}

double chipr(double x, int df) {
    if (!(x > 0.0) || df < 1) {
        return 1.0;
    }
    if (std::isinf(x)) {
        return 0.0;
    }
    if (df == 1) {
        return 2.0 * pnorm(std::sqrt(x));
    }
    if (df == 2) {
        return std::exp(-x / 2.0);
    }
    double tail = 0.0;
    if (x < df) {
        tail = 1.0 - lowerGammaSeries(df / 2.0, x / 2.0);
    } else {
        tail = df % 2 == 0 ? evenChiSquareTail(x, df) : oddChiSquareTail(x, df);
    }
    // Rounding in a long sum may step a hair past the bounds.
    return std::clamp(tail, 0.0, 1.0);
}

unsigned runSeed() {
    // The clock alone gives runs started in the same second, as split runs
    // side by side are, the same draws; the device and the process id differ
    // between processes.
    std::random_device device;
    const auto pid = static_cast<unsigned>(getpid());
    return static_cast<unsigned>(std::time(nullptr)) ^ device() ^ (pid << 16U) ^ pid;
}

double getRandom() {
    static bool seeded = false;
    if (!seeded) {
        std::srand(runSeed());
        seeded = true;
    }
    return static_cast<double>(std::rand()) / RAND_MAX;
}

std::mt19937_64& randomGenerator() {
    static std::mt19937_64 generator(runSeed());
    return generator;
}
