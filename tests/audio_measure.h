// Measuring rendered sound: level and pitch of one channel of interleaved stereo.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// One channel (0 left, 1 right) of interleaved stereo frames [from, to).
inline std::vector<float> channelOf(const std::vector<int16_t>& stereo, int channel,
                                    size_t from = 0, size_t to = SIZE_MAX) {
    std::vector<float> x;
    const size_t frames = stereo.size() / 2;
    for (size_t i = from; i < frames && i < to; ++i)
        x.push_back(stereo[2 * i + channel]);
    return x;
}

inline double rmsOf(const std::vector<float>& x) {
    double sum = 0;
    for (float v : x)
        sum += double(v) * v;
    return x.empty() ? 0.0 : std::sqrt(sum / x.size());
}

inline double peakOf(const std::vector<float>& x) {
    double peak = 0;
    for (float v : x)
        peak = std::fmax(peak, std::fabs(v));
    return peak;
}

// Fundamental frequency in Hz, searched between fMinHz and fMaxHz: the shortest lag whose
// normalised autocorrelation comes within 10% of the best one (so a rich tone is not read
// an octave low), refined between samples by a parabola. Returns 0 for silence.
inline double pitchOf(const std::vector<float>& x, double rateHz, double fMinHz, double fMaxHz) {
    const int lagMin = int(rateHz / fMaxHz);
    const int lagMax = int(rateHz / fMinHz) + 1;
    if (lagMin < 1 || int(x.size()) < 2 * lagMax) return 0;
    const int window = int(x.size()) - lagMax - 1;
    std::vector<double> r(lagMax + 2, 0.0);
    double best = 0;
    for (int lag = lagMin - 1; lag <= lagMax + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (int i = 0; i < window; ++i) {
            xy += double(x[i]) * x[i + lag];
            xx += double(x[i]) * x[i];
            yy += double(x[i + lag]) * x[i + lag];
        }
        r[lag] = (xx > 0 && yy > 0) ? xy / std::sqrt(xx * yy) : 0;
        if (lag >= lagMin && lag <= lagMax) best = std::fmax(best, r[lag]);
    }
    if (best <= 0) return 0;
    for (int lag = lagMin; lag <= lagMax; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            const double denom = a - 2 * b + c;
            const double shift = denom != 0 ? 0.5 * (a - c) / denom : 0;
            return rateHz / (lag + shift);
        }
    }
    return 0;
}
