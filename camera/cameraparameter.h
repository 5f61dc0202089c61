#pragma once

// Range and value of one camera setting, as the camera reports it.
template<typename T>
struct CameraParameter
{
    T min = 0;
    T max = 0;
    T inc = 1;
    T value = 0;

    // The minimum below it, otherwise the smaller of value and the maximum.
    T clamp(T v) const { return v < min ? min : (v < max ? v : max); }
};
