#pragma once

#include <arv.h>

#include <string>
#include <utility>

namespace genicam {

// One numeric GenICam feature, integer or floating point, with its range and
// step as the camera reports them now. Every call throws GenicamError.
class NumericFeature
{
public:
    // The first of the names the camera implements; empty when none is.
    NumericFeature(ArvCamera* camera, std::initializer_list<const char*> names);

    bool exists() const { return !name.empty(); }
    const std::string& featureName() const { return name; }
    // Minimum and maximum.
    std::pair<double, double> bounds() const;
    // 0 for a feature without a step.
    double increment() const;
    double value() const;
    // Clamps into the range and returns the value now in force.
    double set(double wanted) const;

private:
    void requireExists() const;

    ArvCamera* camera;
    std::string name;
    bool isFloat = false;
};

} // namespace genicam
