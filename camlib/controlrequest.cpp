#include "controlrequest.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace {

struct Usage
{
    ControlRequest::Command command;
    const char* name;
    const char* arguments;
    size_t argumentCount;
};

using Command = ControlRequest::Command;

const Usage usages[] = {
    {Command::List, "list", "", 0},
    {Command::Cover, "cover", "<serial>", 1},
    {Command::Uncover, "uncover", "<serial>", 1},
    {Command::Unplug, "unplug", "<serial>", 1},
    {Command::Plug, "plug", "<serial>", 1},
    {Command::InUse, "inuse", "<serial>", 1},
    {Command::Free, "free", "<serial>", 1},
    {Command::FailCapture, "fail-capture", "<serial>", 1},
    {Command::Fault, "fault", "<operation> <count> <status>", 3},
    {Command::ClearFaults, "clear-faults", "", 0},
    {Command::Eeprom, "eeprom", "<serial>", 1},
};

} // namespace

ControlRequest::ControlRequest(const std::string& line)
{
    if (line.size() > maxLength)
        throw std::runtime_error("request longer than " + std::to_string(maxLength) + " bytes");
    std::istringstream stream(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(stream),
                                   std::istream_iterator<std::string>()};
    if (words.empty())
        throw std::runtime_error("empty request");
    const auto usage = std::find_if(std::begin(usages), std::end(usages),
                                    [&](const Usage& u) { return words[0] == u.name; });
    if (usage == std::end(usages))
        throw std::runtime_error("unknown command '" + words[0] + '\'');
    if (words.size() - 1 != usage->argumentCount)
        throw std::runtime_error(
            std::string("usage: ") + usage->name +
            (usage->argumentCount ? std::string(" ") + usage->arguments : std::string()));
    which = usage->command;
    arguments.assign(words.begin() + 1, words.end());
}

long long ControlRequest::number(size_t index, long long min, long long max, const char* what) const
{
    const std::string& text = argument(index);
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < min || value > max)
        throw std::runtime_error(std::string(what) + " must be a number from " +
                                 std::to_string(min) + " to " + std::to_string(max) + ", not '" +
                                 text + '\'');
    return value;
}
