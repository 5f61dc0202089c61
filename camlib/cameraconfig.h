#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

struct PixelPos
{
    uint16_t x = 0;
    uint16_t y = 0;

    bool operator==(const PixelPos& other) const { return x == other.x && y == other.y; }
};

using PixelList = std::vector<PixelPos>;

// A defective pixel of the simulated sensor; strength scales how far it rises
// above the dark level.
struct HotPixel
{
    uint16_t x = 0;
    uint16_t y = 0;
    float strength = 1.0f;
};

// What a configuration says about one camera. Immutable once the world is
// loaded; the changing state lives in SimCamera.
struct CameraConfig
{
    std::string serial;
    std::string model;
    std::string sensorName;
    std::string firmwareVersion = "2.14.0";
    std::string firmwareDate = "2024-03-11";
    uint32_t cameraId = 1;
    uint32_t deviceId = 1;
    uint16_t sensorId = 0x100;
    int width = 1280;
    int height = 1024;
    uint32_t pixelSizeNm = 5200;
    bool bayer = true;
    // -1: the mode follows CamColorMode; otherwise every request ends in this mode.
    int forcedColorMode = -1;
    // Non-zero: the camera needs a firmware upload of this many ms before its
    // first open.
    uint32_t firmwareUploadMs = 0;
    bool inUse = false;
    bool plugged = true;
    bool covered = false;
    bool canStoreList = true;
    int maxUserCount = 100;
    // Time the EEPROM takes to program 100 entries.
    double eepromMsPerHundred = 3.0;
    PixelList factoryList;
    PixelList userList;
    PixelList unlistedHotPixels;
    // Pixel clock in MHz.
    int pixelClockMin = 4;
    int pixelClockMax = 100;
    int pixelClockInitial = 40;
    // Frame timing: each line costs width + lineOverheadClocks clocks, each
    // frame height + frameOverheadLines lines; the frame counter holds at most
    // maxFrameClocks clocks, which bounds the longest frame time.
    int lineOverheadClocks = 144;
    int frameOverheadLines = 40;
    uint32_t maxFrameClocks = 8000000;
    // 0: no limit beyond the pixel clock.
    double maxFps = 0.0;
    double startExposureMs = 20.0;

    // Factory list, configured EEPROM entries and unlisted ones, in that order,
    // each with its brightness factor.
    std::vector<HotPixel> trueHotPixels() const;
};

} // namespace kivo
