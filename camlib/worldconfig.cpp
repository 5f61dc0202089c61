#include "worldconfig.h"

#include "regularfile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <stdexcept>

namespace kivo {

namespace {

using nlohmann::json;

constexpr int minSensorSide = 16;
constexpr int maxSensorSide = 8192;
// Far above any world written by hand, with lists of thousands of entries.
constexpr size_t maxFileBytes = size_t(16) << 20;

// Spreads count hot pixels over the sensor from a fixed seed, away from the
// border and from each other, so that every one has clean neighbours of its
// own colour.
PixelList scatter(int width, int height, size_t count, uint32_t seed, const PixelList& taken)
{
    PixelList result;
    PixelList all = taken;
    uint32_t state = seed;
    auto next = [&state](int range) {
        state = state * 1664525U + 1013904223U;
        return int((state >> 8) % uint32_t(range));
    };
    while (result.size() < count) {
        const PixelPos p{uint16_t(4 + next(width - 8)), uint16_t(4 + next(height - 8))};
        const bool crowded = std::any_of(all.begin(), all.end(), [p](PixelPos q) {
            return std::abs(int(p.x) - q.x) < 4 && std::abs(int(p.y) - q.y) < 4;
        });
        if (crowded)
            continue;
        result.push_back(p);
        all.push_back(p);
    }
    return result;
}

// Reads the fields of one JSON object and refuses any key it was not asked
// for, so that a misspelt key is reported instead of silently ignored.
class ObjectReader
{
public:
    ObjectReader(const json& object, std::string path)
        : object(object)
        , path(std::move(path))
    {
        if (!object.is_object())
            fail(this->path, "must be an object");
    }

    [[noreturn]] static void fail(const std::string& where, const std::string& what)
    {
        throw std::runtime_error(where + ": " + what);
    }

    std::string where(const std::string& key) const
    {
        return path.empty() ? key : path + "." + key;
    }

    const json* find(const std::string& key)
    {
        known.insert(key);
        const auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }

    const json& require(const std::string& key)
    {
        const json* value = find(key);
        if (!value)
            fail(where(key), "missing");
        return *value;
    }

    std::string text(const std::string& key, size_t maxLength, const std::string* fallback)
    {
        const json* value = fallback ? find(key) : &require(key);
        if (!value)
            return *fallback;
        if (!value->is_string())
            fail(where(key), "must be a string");
        const std::string s = value->get<std::string>();
        if (s.empty() || s.size() > maxLength)
            fail(where(key), "must hold 1 to " + std::to_string(maxLength) + " characters");
        return s;
    }

    // No fallback: the key is required.
    int64_t integer(const std::string& key, int64_t min, int64_t max,
                    std::optional<int64_t> fallback)
    {
        const json* value = fallback ? find(key) : &require(key);
        if (!value)
            return *fallback;
        int64_t result = 0;
        if (value->is_number_integer()) {
            result = value->get<int64_t>();
        } else if (value->is_string()) {
            // Ids are usually written in hexadecimal, which JSON numbers cannot.
            const std::string s = value->get<std::string>();
            char* end = nullptr;
            result = std::strtoll(s.c_str(), &end, 0);
            if (s.empty() || *end != '\0')
                fail(where(key), "must be an integer");
        } else {
            fail(where(key), "must be an integer");
        }
        if (result < min || result > max)
            fail(where(key), "must be from " + std::to_string(min) + " to " + std::to_string(max));
        return result;
    }

    double number(const std::string& key, double min, double max, double fallback)
    {
        const json* value = find(key);
        if (!value)
            return fallback;
        if (!value->is_number())
            fail(where(key), "must be a number");
        const double result = value->get<double>();
        if (!(result >= min && result <= max))
            fail(where(key), "must be from " + std::to_string(min) + " to " + std::to_string(max));
        return result;
    }

    bool flag(const std::string& key, bool fallback)
    {
        const json* value = find(key);
        if (!value)
            return fallback;
        if (!value->is_boolean())
            fail(where(key), "must be true or false");
        return value->get<bool>();
    }

    PixelList pixels(const std::string& key, int width, int height)
    {
        PixelList result;
        const json* value = find(key);
        if (!value)
            return result;
        if (!value->is_array())
            fail(where(key), "must be an array of [x, y] pairs");
        for (size_t i = 0; i < value->size(); ++i) {
            const json& pair = (*value)[i];
            const std::string at = where(key) + "[" + std::to_string(i) + "]";
            if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() ||
                !pair[1].is_number_integer())
                fail(at, "must be a pair [x, y] of integers");
            const int64_t x = pair[0].get<int64_t>();
            const int64_t y = pair[1].get<int64_t>();
            if (x < 0 || y < 0 || x >= width || y >= height)
                fail(at, "lies outside the " + std::to_string(width) + "x" +
                             std::to_string(height) + " sensor");
            result.push_back({uint16_t(x), uint16_t(y)});
        }
        return result;
    }

    ObjectReader child(const std::string& key)
    {
        const json* value = find(key);
        static const json empty = json::object();
        return ObjectReader(value ? *value : empty, where(key));
    }

    void rejectUnknownKeys() const
    {
        for (const auto& item : object.items()) {
            if (!known.count(item.key()))
                fail(where(item.key()), "unknown key");
        }
    }

private:
    const json& object;
    std::string path;
    std::set<std::string> known;
};

CameraConfig readCamera(const json& value, const std::string& path)
{
    ObjectReader r(value, path);
    CameraConfig c;
    c.serial = r.text("serial", 15, nullptr);
    c.model = r.text("model", 31, nullptr);
    c.sensorName = r.text("sensorName", 31, &c.model);
    c.firmwareVersion = r.text("firmwareVersion", 15, &c.firmwareVersion);
    c.firmwareDate = r.text("firmwareDate", 15, &c.firmwareDate);
    c.deviceId = uint32_t(r.integer("deviceId", 1, 0x6fff, std::nullopt));
    c.cameraId = uint32_t(r.integer("cameraId", 1, 0xffff, int64_t(c.deviceId)));
    c.sensorId = uint16_t(r.integer("sensorId", 0, 0xffff, int64_t(c.sensorId)));
    c.width = int(r.integer("width", minSensorSide, maxSensorSide, std::nullopt));
    c.height = int(r.integer("height", minSensorSide, maxSensorSide, std::nullopt));
    c.pixelSizeNm = uint32_t(r.integer("pixelSizeNm", 1000, 50000, int64_t(c.pixelSizeNm)));
    const std::string bayer = "bayer";
    const std::string color = r.text("color", 5, &bayer);
    if (color != "bayer" && color != "mono")
        ObjectReader::fail(r.where("color"), "must be \"bayer\" or \"mono\"");
    c.bayer = color == "bayer";
    c.forcedColorMode = int(r.integer("forcedColorMode", 0, 255, -1));
    c.firmwareUploadMs = uint32_t(r.integer("firmwareUploadMs", 0, 3600000, 0));
    c.inUse = r.flag("inUse", false);
    c.plugged = r.flag("plugged", true);
    c.covered = r.flag("covered", false);
    c.canStoreList = r.flag("canStoreList", true);
    c.maxUserCount = int(r.integer("maxUserCount", 0, 65535, c.canStoreList ? 100 : 0));
    c.factoryList = r.pixels("factoryList", c.width, c.height);
    c.userList = r.pixels("userList", c.width, c.height);
    c.unlistedHotPixels = r.pixels("unlistedHotPixels", c.width, c.height);
    if (!c.canStoreList && (c.maxUserCount != 0 || !c.userList.empty()))
        ObjectReader::fail(r.where("userList"),
                           "a camera that cannot store a list has no user list and maxUserCount 0");
    if (int(c.userList.size()) > c.maxUserCount)
        ObjectReader::fail(r.where("userList"), "holds more entries than maxUserCount");
    c.eepromMsPerHundred = r.number("eepromMsPerHundred", 0.0, 1000.0, c.eepromMsPerHundred);
    c.startExposureMs = r.number("startExposureMs", 0.001, 100000.0, c.startExposureMs);

    ObjectReader clock = r.child("pixelClock");
    c.pixelClockMin = int(clock.integer("min", 1, 1000, c.pixelClockMin));
    c.pixelClockMax = int(clock.integer("max", c.pixelClockMin, 1000, c.pixelClockMax));
    c.pixelClockInitial =
        int(clock.integer("initial", c.pixelClockMin, c.pixelClockMax,
                          std::clamp(c.pixelClockInitial, c.pixelClockMin, c.pixelClockMax)));
    clock.rejectUnknownKeys();

    ObjectReader timing = r.child("timing");
    c.lineOverheadClocks =
        int(timing.integer("lineOverheadClocks", 0, 100000, c.lineOverheadClocks));
    c.frameOverheadLines =
        int(timing.integer("frameOverheadLines", 0, 100000, c.frameOverheadLines));
    c.maxFrameClocks =
        uint32_t(timing.integer("maxFrameClocks", 1000, 0xffffffffLL, c.maxFrameClocks));
    c.maxFps = timing.number("maxFps", 0.0, 10000.0, c.maxFps);
    timing.rejectUnknownKeys();

    r.rejectUnknownKeys();
    return c;
}

} // namespace

std::vector<CameraConfig> WorldConfig::defaultWorld()
{
    std::vector<CameraConfig> world(3);

    CameraConfig& colour = world[0];
    colour.serial = "SIM0001280";
    colour.model = "Kivo Sim C1280";
    colour.sensorName = "SIM-S1280C";
    colour.cameraId = 1;
    colour.deviceId = 1;
    colour.sensorId = 0x100;
    colour.width = 1280;
    colour.height = 1024;
    colour.bayer = true;
    colour.canStoreList = true;
    colour.maxUserCount = 100;
    colour.factoryList = scatter(colour.width, colour.height, 36, 1280, {});
    colour.userList = scatter(colour.width, colour.height, 2, 4711, colour.factoryList);
    PixelList listed = colour.factoryList;
    listed.insert(listed.end(), colour.userList.begin(), colour.userList.end());
    colour.unlistedHotPixels = scatter(colour.width, colour.height, 5, 815, listed);

    CameraConfig& mono = world[1];
    mono.serial = "SIM0000752";
    mono.model = "Kivo Sim M752";
    mono.sensorName = "SIM-S752M";
    mono.cameraId = 2;
    mono.deviceId = 2;
    mono.sensorId = 0x101;
    mono.width = 752;
    mono.height = 480;
    mono.pixelSizeNm = 6000;
    mono.bayer = false;
    mono.canStoreList = false;
    mono.maxUserCount = 0;
    mono.factoryList = scatter(mono.width, mono.height, 12, 752, {});
    mono.unlistedHotPixels = scatter(mono.width, mono.height, 4, 480, mono.factoryList);
    mono.pixelClockMin = 2;
    mono.pixelClockMax = 40;
    mono.pixelClockInitial = 27;
    mono.lineOverheadClocks = 94;
    mono.frameOverheadLines = 45;
    mono.maxFrameClocks = 4194304;

    CameraConfig& busy = world[2];
    busy.serial = "SIM0001600";
    busy.model = "Kivo Sim C1600";
    busy.sensorName = "SIM-S1600C";
    busy.cameraId = 3;
    busy.deviceId = 3;
    busy.sensorId = 0x102;
    busy.width = 1600;
    busy.height = 1200;
    busy.pixelSizeNm = 4400;
    busy.inUse = true;
    busy.factoryList = scatter(busy.width, busy.height, 20, 1600, {});
    busy.unlistedHotPixels = scatter(busy.width, busy.height, 3, 1200, busy.factoryList);
    return world;
}

std::vector<CameraConfig> WorldConfig::parse(const std::string& text)
{
    // Where the parser is, so that a number too large for a double can be
    // named by its field, as the readers below name theirs.
    struct Level
    {
        bool array;
        std::string key;
        size_t index;
    };
    std::vector<Level> levels;
    const auto track = [&levels](int, json::parse_event_t event, json& parsed) {
        using Event = json::parse_event_t;
        const auto valueDone = [&levels] {
            if (!levels.empty() && levels.back().array)
                ++levels.back().index;
        };
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            levels.push_back({event == Event::array_start, std::string(), 0});
            break;
        case Event::key:
            levels.back().key = parsed.get<std::string>();
            break;
        case Event::object_end:
        case Event::array_end:
            levels.pop_back();
            valueDone();
            break;
        case Event::value:
            valueDone();
            break;
        }
        return true;
    };
    json document;
    try {
        document = json::parse(text, track);
    } catch (const json::parse_error& e) {
        // The library's message starts with its own error id; keep the part
        // that says where and what.
        const std::string what = e.what();
        const size_t colon = what.find("] ");
        throw std::runtime_error("not valid JSON: " +
                                 (colon == std::string::npos ? what : what.substr(colon + 2)));
    } catch (const json::out_of_range&) {
        std::string where;
        for (const Level& level : levels) {
            if (level.array)
                where += "[" + std::to_string(level.index) + "]";
            else
                where += (where.empty() ? "" : ".") + level.key;
        }
        ObjectReader::fail(where.empty() ? "not valid JSON" : where, "number out of range");
    }
    ObjectReader top(document, "");
    const json& cameras = top.require("cameras");
    top.rejectUnknownKeys();
    if (!cameras.is_array())
        ObjectReader::fail("cameras", "must be an array");

    std::vector<CameraConfig> world;
    std::set<std::string> serials;
    std::set<uint32_t> deviceIds;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const std::string path = "cameras[" + std::to_string(i) + "]";
        CameraConfig camera = readCamera(cameras[i], path);
        if (!serials.insert(camera.serial).second)
            ObjectReader::fail(path + ".serial", "\"" + camera.serial + "\" is used twice");
        if (!deviceIds.insert(camera.deviceId).second)
            ObjectReader::fail(path + ".deviceId",
                               std::to_string(camera.deviceId) + " is used twice");
        world.push_back(std::move(camera));
    }
    return world;
}

std::vector<CameraConfig> WorldConfig::fromEnvironment()
{
    const char* file = std::getenv("KIVO_SIM_CONFIG");
    if (!file || !*file)
        return defaultWorld();
    try {
        const std::vector<uint8_t> text = RegularFile::read(file, maxFileBytes);
        return parse(std::string(text.begin(), text.end()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kivo-sim: configuration %s: %s; using the built-in cameras\n", file,
                     e.what());
        return defaultWorld();
    }
}

} // namespace kivo
