#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One request line of the control socket taken apart into its command and
// arguments and checked against the command's usage. The text of each error
// is what the reply says after "error ".
class ControlRequest
{
public:
    enum class Command {
        List,
        Cover,
        Uncover,
        Unplug,
        Plug,
        InUse,
        Free,
        FailCapture,
        Fault,
        ClearFaults,
        Eeprom
    };

    // A person types requests by hand, so they are short.
    static constexpr size_t maxLength = 1024;

    // Throws std::runtime_error for a line longer than maxLength, an empty
    // line, an unknown command or the wrong number of arguments.
    explicit ControlRequest(const std::string& line);

    Command command() const { return which; }
    const std::string& argument(size_t index) const { return arguments.at(index); }
    // The argument as a strict decimal or 0x-prefixed number within [min,
    // max]; throws std::runtime_error naming it as what otherwise.
    long long number(size_t index, long long min, long long max, const char* what) const;

private:
    Command which = Command::List;
    std::vector<std::string> arguments;
};
