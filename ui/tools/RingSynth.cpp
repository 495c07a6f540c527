// Writes the incoming-call ring, a 16-bit mono WAV file: two short bursts
// of a warbling two-tone bell (440 Hz and 480 Hz, trembling at 20 Hz), then
// a pause, so that playing it in a loop sounds like a telephone ringing.
//
//   ring-synth OUTPUT.wav

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kBurstSeconds = 0.4;
constexpr double kGapSeconds = 0.2;
constexpr double kPauseSeconds = 2.0;
constexpr double kRampSeconds = 0.01; // soft edges, so the bursts do not click

void PutLe(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AddBurst(std::vector<int16_t> &samples)
{
    const int count = static_cast<int>(kBurstSeconds * kRate);
    const int ramp = static_cast<int>(kRampSeconds * kRate);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double tone = std::sin(2 * std::numbers::pi * 440 * t) + std::sin(2 * std::numbers::pi * 480 * t);
        const double tremble = 0.75 + 0.25 * std::sin(2 * std::numbers::pi * 20 * t);
        const double edge = std::min({1.0, static_cast<double>(i) / ramp, static_cast<double>(count - 1 - i) / ramp});
        samples.push_back(static_cast<int16_t>(0.35 * 32767 / 2 * tone * tremble * edge));
    }
}

void AddSilence(std::vector<int16_t> &samples, double seconds)
{
    samples.insert(samples.end(), static_cast<size_t>(seconds * kRate), 0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ring-synth OUTPUT.wav\n");
        return 2;
    }
    std::vector<int16_t> samples;
    AddBurst(samples);
    AddSilence(samples, kGapSeconds);
    AddBurst(samples);
    AddSilence(samples, kPauseSeconds);

    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> file;
    for (char c : {'R', 'I', 'F', 'F'})
        file.push_back(static_cast<uint8_t>(c));
    PutLe(file, 36 + dataBytes, 4);
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '})
        file.push_back(static_cast<uint8_t>(c));
    PutLe(file, 16, 4);         // format chunk size
    PutLe(file, 1, 2);          // PCM
    PutLe(file, 1, 2);          // mono
    PutLe(file, kRate, 4);      // samples per second
    PutLe(file, kRate * 2, 4);  // bytes per second
    PutLe(file, 2, 2);          // block align
    PutLe(file, 16, 2);         // bits per sample
    for (char c : {'d', 'a', 't', 'a'})
        file.push_back(static_cast<uint8_t>(c));
    PutLe(file, dataBytes, 4);
    for (int16_t sample : samples)
        PutLe(file, static_cast<uint16_t>(sample), 2);

    FILE *out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
