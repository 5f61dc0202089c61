#pragma once

#include "uniquefd.h"

#include <string>
#include <thread>

// Lets a person change the simulated world of a running program by hand: a
// thread of its own listens on a Unix socket in the user's runtime directory
// (see ControlSocket) and carries out one command per connection through the
// control interface, e.g. "cover SIM0001280". Several clients are served side
// by side.
class ControlServer
{
public:
    // Creates the socket and starts serving. Throws std::runtime_error when the
    // socket cannot be created.
    ControlServer();
    // Stops and joins the thread and removes the socket.
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

private:
    void serve();

    std::string socketPath;
    UniqueFd listener;
    UniqueFd wakeRead;
    UniqueFd wakeWrite;
    std::thread thread;
};

// Starts the process's control server on the first call; later calls do
// nothing. KIVO_SIM_NO_CONTROL_SOCKET=1 switches it off. When the socket cannot
// be created the library runs on without it after one line on stderr. Call it
// after the library's own state exists, so that the server is stopped before
// that state is destroyed at exit.
void startControlServer();
