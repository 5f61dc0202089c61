#pragma once

#include "defecttablescheme.h"

#include <arv.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace genicam {

// A camera's own defect pixel table, reached through its feature tree. Every
// call throws GenicamError with a text for the user.
class DefectTable
{
public:
    using Positions = std::vector<std::pair<uint16_t, uint16_t>>;

    // The table of the first known scheme whose features the camera offers.
    static std::optional<DefectTable> find(ArvCamera* camera);

    // Empty for a scheme without a factory list.
    Positions factoryList() const;
    Positions userList() const;
    // Replaces the user list, puts it in force and saves it in the camera.
    void writeUserList(const Positions& list) const;
    uint32_t maximumCount() const;
    void setCorrection(bool enable) const;

private:
    DefectTable(ArvCamera* camera, const DefectTableScheme& scheme);

    void select(const char* list) const;
    Positions read() const;
    void setInteger(const char* feature, int64_t value) const;
    int64_t integer(const char* feature) const;
    void execute(const char* command) const;

    ArvCamera* camera;
    const DefectTableScheme* scheme;
};

} // namespace genicam
