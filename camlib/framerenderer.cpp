#include "framerenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

namespace kivo {

namespace {

// The scene repeats every scenePeriod columns, so scrolling it is a shift of
// the read position. An even step keeps the Bayer phase of every column.
constexpr int scenePeriod = 256;
constexpr int scrollStep = 2;
constexpr float pi = 3.14159265f;

constexpr int darkLevel = 10;
// Noise values lie in 0 to noiseSpan; the scene is drawn noiseMean lower so
// that the dark level stays the mean, and never above 255 - noiseSpan so that
// adding noise cannot overflow.
constexpr int noiseSpan = 6;
constexpr int noiseMean = noiseSpan / 2;
constexpr int sceneBase = darkLevel - noiseMean;
constexpr int sceneCeiling = 255 - noiseSpan;

constexpr size_t noiseRows = 65536;
constexpr size_t longestRowBytes = 8192 * 4;

// Noise bytes, a binomial of noiseSpan coin flips (mean 3, deviation about
// 1.2). The colour table leaves every fourth byte 0 so that the fourth byte of
// a 32-bit pixel stays 255.
struct NoiseTables
{
    std::vector<uint8_t> grey;
    std::vector<uint8_t> colour;

    NoiseTables()
        : grey(noiseRows + longestRowBytes)
        , colour(noiseRows + longestRowBytes)
    {
        std::mt19937 random(20240311U);
        for (size_t i = 0; i < grey.size(); ++i) {
            const uint32_t bits = random();
            int flips = 0;
            for (int b = 0; b < noiseSpan; ++b)
                flips += int((bits >> b) & 1U);
            grey[i] = uint8_t(flips);
            colour[i] = i % 4 == 3 ? 0 : uint8_t(flips);
        }
    }
};

// Never destroyed: a frame thread may still draw while the process exits.
const NoiseTables& noiseTables()
{
    static const NoiseTables* const tables = new NoiseTables();
    return *tables;
}

uint32_t mix(uint64_t a, uint32_t b)
{
    uint64_t h = a * 0x9e3779b97f4a7c15ULL + b;
    h ^= h >> 31;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 29;
    return uint32_t(h);
}

// Dark current of a hot pixel of strength 1 at gain 0, in grey levels per
// millisecond: at the default 20 ms even the weakest pixel (strength 1.2)
// stands over 100 levels above the dark level, at 1 ms none stands out.
constexpr double darkCurrentPerMs = 5.0;

using Rgb = std::array<float, 3>;

// The reflectance (0 to 1 per colour) of the test chart at column tx of one
// scene period and sensor row sy. The chart repeats every 512 rows: grid
// lines every 64 pixels, a grey step wedge on top, a colour wheel under a fine
// checker texture in the middle, and sine gratings of rising frequency below.
Rgb chartAt(int tx, int sy)
{
    if (tx % 64 < 2 || sy % 64 < 2)
        return {0.05f, 0.05f, 0.05f};
    const float across = float(tx) / float(scenePeriod);
    const int row = sy % 512;
    if (row < 100) {
        const float step = 0.1f + 0.9f * float(tx / 32) / 7.0f;
        return {step, step, step};
    }
    if (row < 356) {
        const float texture = ((tx / 4 + sy / 4) % 2) ? 1.0f : 0.8f;
        Rgb wheel;
        for (size_t ch = 0; ch < 3; ++ch)
            wheel[ch] =
                texture * (0.55f + 0.45f * std::cos(2.0f * pi * (across - float(ch) / 3.0f)));
        return wheel;
    }
    // Whole periods per scene period keep the chart seamless while it scrolls.
    const int periods = 4 << ((sy / 16) % 4);
    const float wave = 0.5f + 0.45f * std::sin(2.0f * pi * float(periods) * across);
    return {wave, wave, wave};
}

uint8_t sceneValue(float signal)
{
    return uint8_t(std::clamp(int(std::lround(sceneBase + signal)), 0, sceneCeiling));
}

uint8_t saturate(int value)
{
    return uint8_t(std::clamp(value, 0, 255));
}

} // namespace

bool FrameRenderer::SceneKey::operator==(const SceneKey& o) const
{
    return areaX == o.areaX && areaY == o.areaY && width == o.width && height == o.height &&
           colorMode == o.colorMode && bayerSensor == o.bayerSensor && covered == o.covered &&
           exposureMs == o.exposureMs && std::equal(gains, gains + 4, o.gains);
}

FrameRenderer::SceneKey FrameRenderer::keyOf(const FrameRequest& r)
{
    SceneKey k;
    k.areaX = r.areaX;
    k.areaY = r.areaY;
    k.width = r.width;
    k.height = r.height;
    k.colorMode = r.colorMode;
    k.bayerSensor = r.bayerSensor;
    k.covered = r.covered;
    k.exposureMs = r.exposureMs;
    k.gains[0] = r.masterGain;
    k.gains[1] = r.redGain;
    k.gains[2] = r.greenGain;
    k.gains[3] = r.blueGain;
    return k;
}

void FrameRenderer::buildScene(const FrameRequest& r)
{
    const int bytes = bitsPerPixel(r.colorMode) / 8;
    const size_t columns = size_t(r.width) + scenePeriod;
    const size_t rowBytes = columns * size_t(bytes);
    if (r.covered) {
        // One dark row serves every row of the frame.
        sceneStride = 0;
        scene.assign(rowBytes, uint8_t(sceneBase));
        if (bytes == 4) {
            for (size_t i = 3; i < rowBytes; i += 4)
                scene[i] = 255;
        }
        return;
    }

    sceneStride = rowBytes;
    scene.resize(rowBytes * size_t(r.height));
    // A soft response to exposure, so that the bars stay visible from short
    // exposures to the long ones of hot pixel detection.
    const float response = float(0.35 + 0.65 * (1.0 - std::exp(-r.exposureMs / 25.0)));
    const float master = 1.0f + float(r.masterGain) / 100.0f;
    const std::array<float, 3> channelGain = {1.0f + float(r.redGain) / 100.0f,
                                              1.0f + float(r.greenGain) / 100.0f,
                                              1.0f + float(r.blueGain) / 100.0f};
    const bool mosaic = r.bayerSensor && r.colorMode == 11;
    const bool grey = !r.bayerSensor || r.colorMode != 0;
    std::array<Rgb, scenePeriod> tile;
    for (int y = 0; y < r.height; ++y) {
        const int sy = r.areaY + y;
        // An uneven light: brighter at the top, darker towards the bottom.
        const float ramp = 230.0f * response * master * (1.0f - 0.4f * float(y) / float(r.height));
        for (int tx = 0; tx < scenePeriod; ++tx)
            tile[size_t(tx)] = chartAt(tx, sy);
        uint8_t* row = scene.data() + size_t(y) * sceneStride;
        for (size_t c = 0; c < columns; ++c) {
            const int sx = r.areaX + int(c);
            const Rgb& reflectance = tile[size_t(sx % scenePeriod)];
            Rgb rgb;
            for (size_t ch = 0; ch < 3; ++ch)
                rgb[ch] = reflectance[ch] * channelGain[ch] * ramp;
            if (mosaic) {
                // R at even column and even row, B at odd column and odd row.
                const size_t site = (sx % 2 == 0 && sy % 2 == 0) ? 0 : (sx % 2 && sy % 2) ? 2 : 1;
                row[c] = sceneValue(rgb[site]);
            } else if (grey) {
                const uint8_t v = sceneValue(0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2]);
                if (bytes == 1) {
                    row[c] = v;
                } else {
                    std::memset(row + c * 4, v, 3);
                    row[c * 4 + 3] = 255;
                }
            } else {
                uint8_t* px = row + c * 4;
                px[0] = sceneValue(rgb[2]);
                px[1] = sceneValue(rgb[1]);
                px[2] = sceneValue(rgb[0]);
                px[3] = 255;
            }
        }
    }
}

void FrameRenderer::render(const FrameRequest& r, uint8_t* out)
{
    const SceneKey wanted = keyOf(r);
    if (!(wanted == key)) {
        buildScene(r);
        key = wanted;
    }
    const int bytes = bitsPerPixel(r.colorMode) / 8;
    const size_t rowBytes = size_t(r.width) * size_t(bytes);
    const size_t scroll = r.covered ? 0 : size_t((r.frameNumber * scrollStep) % scenePeriod);
    const NoiseTables& tables = noiseTables();
    const std::vector<uint8_t>& noise = bytes == 4 ? tables.colour : tables.grey;
    for (int y = 0; y < r.height; ++y) {
        const uint8_t* from = scene.data() + size_t(y) * sceneStride + scroll * size_t(bytes);
        // A fresh stretch of the noise table per row and frame; a multiple of
        // four keeps the colour table's zero bytes on the fourth byte.
        const uint8_t* n = noise.data() + (mix(r.frameNumber, uint32_t(y)) % noiseRows) / 4 * 4;
        uint8_t* to = out + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            to[i] = uint8_t(from[i] + n[i]);
    }
    addHotPixels(r, out);
    if (r.corrected && !r.corrected->empty())
        correct(r, out);
}

void FrameRenderer::addHotPixels(const FrameRequest& r, uint8_t* out) const
{
    if (!r.hotPixels)
        return;
    // The charge of the dark current grows with the exposure, the gain
    // amplifies it, and the pixel saturates at 255.
    const double gain = 1.0 + double(r.masterGain) / 25.0;
    const double base = darkCurrentPerMs * r.exposureMs * gain;
    const int bytes = bitsPerPixel(r.colorMode) / 8;
    for (const HotPixel& hot : *r.hotPixels) {
        const int x = int(hot.x) - r.areaX;
        const int y = int(hot.y) - r.areaY;
        if (x < 0 || y < 0 || x >= r.width || y >= r.height)
            continue;
        const int rise = int(std::min(255.0, base * double(hot.strength)));
        uint8_t* px = out + (size_t(y) * size_t(r.width) + size_t(x)) * size_t(bytes);
        for (int ch = 0; ch < std::min(bytes, 3); ++ch)
            px[ch] = saturate(px[ch] + rise);
    }
}

void FrameRenderer::correct(const FrameRequest& r, uint8_t* out) const
{
    const int bytes = bitsPerPixel(r.colorMode) / 8;
    // Neighbours of the same colour: two pixels away in a mosaic.
    const int step = (r.bayerSensor && r.colorMode == 11) ? 2 : 1;
    const int offsets[4][2] = {{-step, 0}, {step, 0}, {0, -step}, {0, step}};
    for (PixelPos p : *r.corrected) {
        const int x = int(p.x) - r.areaX;
        const int y = int(p.y) - r.areaY;
        if (x < 0 || y < 0 || x >= r.width || y >= r.height)
            continue;
        for (int ch = 0; ch < std::min(bytes, 3); ++ch) {
            int sum = 0;
            int count = 0;
            for (const auto& o : offsets) {
                const int nx = x + o[0];
                const int ny = y + o[1];
                if (nx < 0 || ny < 0 || nx >= r.width || ny >= r.height)
                    continue;
                sum +=
                    out[(size_t(ny) * size_t(r.width) + size_t(nx)) * size_t(bytes) + size_t(ch)];
                ++count;
            }
            if (count > 0)
                out[(size_t(y) * size_t(r.width) + size_t(x)) * size_t(bytes) + size_t(ch)] =
                    uint8_t((sum + count / 2) / count);
        }
    }
}

} // namespace kivo
