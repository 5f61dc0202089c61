#include "defecttable.h"

#include "genicamerror.h"

#include <string>

namespace genicam {

namespace {

// A table with factory and user list behind one selector, and a table of the
// user's list alone.
const DefectTableScheme knownSchemes[] = {
    {"DefectPixelListSelector", "Factory", "User", "DefectPixelListEntryCount",
     "DefectPixelListIndex", "DefectPixelListEntryPosX", "DefectPixelListEntryPosY",
     "DefectPixelListApply", "DefectPixelListSave", "DefectPixelCorrectionEnable"},
    {nullptr, nullptr, nullptr, "DefectTableCount", "DefectTableIndex", "DefectTableX",
     "DefectTableY", "DefectTableApply", "DefectTableSave", "DefectTableCorrection"},
};

bool offers(ArvCamera* camera, const char* feature)
{
    return arv_device_get_feature(arv_camera_get_device(camera), feature) &&
           arv_camera_is_feature_available(camera, feature, nullptr);
}

bool offersAll(ArvCamera* camera, const DefectTableScheme& s)
{
    for (const char* feature : {s.count, s.index, s.x, s.y, s.apply, s.save, s.correctionEnable}) {
        if (!offers(camera, feature))
            return false;
    }
    return !s.listSelector || offers(camera, s.listSelector);
}

} // namespace

std::optional<DefectTable> DefectTable::find(ArvCamera* camera)
{
    for (const DefectTableScheme& scheme : knownSchemes) {
        if (offersAll(camera, scheme))
            return DefectTable(camera, scheme);
    }
    return std::nullopt;
}

DefectTable::DefectTable(ArvCamera* arvCamera, const DefectTableScheme& tableScheme)
    : camera(arvCamera)
    , scheme(&tableScheme)
{}

DefectTable::Positions DefectTable::factoryList() const
{
    if (!scheme->listSelector)
        return {};
    select(scheme->factoryList);
    return read();
}

DefectTable::Positions DefectTable::userList() const
{
    select(scheme->userList);
    return read();
}

void DefectTable::writeUserList(const Positions& list) const
{
    if (list.size() > maximumCount())
        throw GenicamError("The camera's defect table holds at most " +
                           std::to_string(maximumCount()) + " entries.");
    select(scheme->userList);
    setInteger(scheme->count, int64_t(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        setInteger(scheme->index, int64_t(i));
        setInteger(scheme->x, list[i].first);
        setInteger(scheme->y, list[i].second);
    }
    execute(scheme->apply);
    execute(scheme->save);
}

uint32_t DefectTable::maximumCount() const
{
    GError* error = nullptr;
    gint64 low = 0;
    gint64 high = 0;
    arv_camera_get_integer_bounds(camera, scheme->index, &low, &high, &error);
    GenicamError::check(error, std::string("Reading the range of ") + scheme->index);
    return high < 0 ? 0 : uint32_t(high + 1);
}

void DefectTable::setCorrection(bool enable) const
{
    GError* error = nullptr;
    arv_camera_set_boolean(camera, scheme->correctionEnable, enable, &error);
    GenicamError::check(error, std::string("Setting ") + scheme->correctionEnable);
}

void DefectTable::select(const char* list) const
{
    if (!scheme->listSelector)
        return;
    GError* error = nullptr;
    arv_camera_set_string(camera, scheme->listSelector, list, &error);
    GenicamError::check(error, std::string("Selecting the ") + list + " defect list");
}

DefectTable::Positions DefectTable::read() const
{
    const int64_t count = integer(scheme->count);
    if (count < 0 || count > int64_t(maximumCount()))
        throw GenicamError("The camera reports " + std::to_string(count) +
                           " defect pixels, more than its table holds.");
    Positions list;
    list.reserve(size_t(count));
    for (int64_t i = 0; i < count; ++i) {
        setInteger(scheme->index, i);
        list.emplace_back(uint16_t(integer(scheme->x)), uint16_t(integer(scheme->y)));
    }
    return list;
}

void DefectTable::setInteger(const char* feature, int64_t value) const
{
    GError* error = nullptr;
    arv_camera_set_integer(camera, feature, value, &error);
    GenicamError::check(error, std::string("Writing ") + feature);
}

int64_t DefectTable::integer(const char* feature) const
{
    GError* error = nullptr;
    const int64_t value = arv_camera_get_integer(camera, feature, &error);
    GenicamError::check(error, std::string("Reading ") + feature);
    return value;
}

void DefectTable::execute(const char* command) const
{
    GError* error = nullptr;
    arv_camera_execute_command(camera, command, &error);
    GenicamError::check(error, std::string("Running ") + command);
}

} // namespace genicam
