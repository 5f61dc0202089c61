#pragma once

#include "defecttable.h"
#include "gobjectptr.h"
#include "numericfeature.h"

#include <arv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace genicam {

// One GenICam camera under this program's control: identity, 8-bit image
// format, image area, the three settings and acquisition. Every call throws
// GenicamError with a text for the user.
class GenicamCamera
{
public:
    // Refuses a GigE Vision camera whose control another client holds.
    GenicamCamera(GObjectPtr<ArvDevice> device, const std::string& serial);

    ArvCamera* arvCamera() const { return camera.get(); }

    std::string model() const;
    std::string serial() const;
    std::string version() const;
    // Width and height of the full sensor area.
    std::pair<int, int> maxSize() const;
    bool offersBayer() const;
    // Chooses an 8-bit Bayer format when one is wanted and offered, else
    // Mono8; returns whether a Bayer format is in force.
    bool selectFormat(bool bayerWanted);
    void setRegion(int x, int y, int width, int height);
    size_t payload() const;

    const NumericFeature& frameRate() const { return rate; }
    const NumericFeature& exposure() const { return exposureTime; }
    const NumericFeature& gain() const { return gainFeature; }
    // The camera's own defect pixel table, when its feature tree has one.
    const std::optional<DefectTable>& defectTable() const { return table; }
    // Returns the rate now in force.
    double setFrameRate(double fps);

    void startAcquisition();
    void stopAcquisition();

private:
    std::string text(const char* feature) const;

    GObjectPtr<ArvCamera> camera;
    NumericFeature rate;
    NumericFeature exposureTime;
    NumericFeature gainFeature;
    std::optional<DefectTable> table;
};

} // namespace genicam
