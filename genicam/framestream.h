#pragma once

#include "gobjectptr.h"

#include <arv.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

namespace genicam {

// The image stream of a camera, filled straight into memory its owner
// lends: each pushed block is written by Aravis and handed back once, whole
// or not. A thread of its own waits for the blocks and calls the handler.
class FrameStream
{
public:
    // Called from the stream's thread with the block and whether it holds a
    // complete image.
    using Handler = std::function<void(const char* block, bool complete)>;

    // Throws GenicamError.
    FrameStream(ArvCamera* camera, Handler onBlock);
    // Waits for the thread; blocks not handed back stay with their owner.
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // Lends a block of size bytes; safe from any thread.
    void push(char* block, size_t size);

private:
    void run();

    GObjectPtr<ArvStream> stream;
    const Handler onBlock;
    std::atomic<bool> running{true};
    std::thread thread;
};

} // namespace genicam
