// Writes the two result sounds that the inspector service plays: "Valid.wav", a bright
// rising three-note chime, and "Invalid.wav", a low buzz heard twice. Both are short,
// mono, 16-bit PCM, and differ in pitch and in shape so that a passenger tells them apart
// without looking at the screen.
//
//     vovadudoz_soundgen <output folder>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int SampleRate = 22050;
constexpr double Pi = 3.14159265358979323846;

struct Note
{
    double startSec;
    double lengthSec;
    double frequency;
    double level;     // 0..1 of full scale
    bool buzz;        // odd harmonics (a hard, low tone) instead of a bell-like decay
};

std::vector<double> render(const std::vector<Note>& notes, double totalSec)
{
    std::vector<double> mix(static_cast<size_t>(totalSec * SampleRate), 0.0);
    for (const Note& note : notes) {
        const size_t first = static_cast<size_t>(note.startSec * SampleRate);
        const size_t count = static_cast<size_t>(note.lengthSec * SampleRate);
        for (size_t i = 0; i < count && first + i < mix.size(); ++i) {
            const double t = double(i) / SampleRate;
            // A 5 ms attack and release keep the edges from clicking.
            const double edge = std::min({1.0, t / 0.005, (note.lengthSec - t) / 0.005});
            double value;
            if (note.buzz) {
                value = 0.0;
                for (int h = 1; h <= 7; h += 2)
                    value += std::sin(2 * Pi * note.frequency * h * t) / h;
                value *= 0.8;
            } else {
                const double decay = std::exp(-t * 6.0);
                value = decay * (std::sin(2 * Pi * note.frequency * t)
                                 + 0.3 * std::sin(2 * Pi * note.frequency * 2 * t)
                                 + 0.1 * std::sin(2 * Pi * note.frequency * 3 * t)) / 1.4;
            }
            mix[first + i] += note.level * std::max(0.0, edge) * value;
        }
    }
    return mix;
}

void put16(std::FILE* f, uint16_t v)
{
    const unsigned char b[2] = {static_cast<unsigned char>(v & 0xff), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void put32(std::FILE* f, uint32_t v)
{
    put16(f, static_cast<uint16_t>(v & 0xffff));
    put16(f, static_cast<uint16_t>(v >> 16));
}

bool writeWav(const std::string& path, const std::vector<double>& samples)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);              // PCM format chunk size
    put16(f, 1);               // PCM
    put16(f, 1);               // mono
    put32(f, SampleRate);
    put32(f, SampleRate * 2);  // bytes per second
    put16(f, 2);               // block align
    put16(f, 16);              // bits per sample
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    for (double s : samples) {
        const double clamped = std::max(-1.0, std::min(1.0, s));
        put16(f, static_cast<uint16_t>(static_cast<int16_t>(std::lround(clamped * 32000))));
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    // C6, E6, G6: a major arpeggio going up, each note ringing under the next.
    const std::vector<Note> valid {
        {0.00, 0.45, 1046.5, 0.45, false},
        {0.09, 0.45, 1318.5, 0.45, false},
        {0.18, 0.50, 1568.0, 0.50, false},
    };
    // Two short, hard A3 buzzes with a clear gap between them.
    const std::vector<Note> invalid {
        {0.00, 0.18, 220.0, 0.7, true},
        {0.28, 0.18, 220.0, 0.7, true},
    };

    const bool ok = writeWav(dir + "/Valid.wav", render(valid, 0.70))
        && writeWav(dir + "/Invalid.wav", render(invalid, 0.50));
    return ok ? 0 : 1;
}
