#pragma once

#include <unistd.h>

// Owns one file descriptor and closes it when it goes away.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : descriptor(fd)
    {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept
        : descriptor(other.release())
    {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return descriptor; }
    bool valid() const { return descriptor >= 0; }
    int release()
    {
        const int fd = descriptor;
        descriptor = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (descriptor >= 0)
            ::close(descriptor);
        descriptor = fd;
    }

private:
    int descriptor = -1;
};
