#include "framestream.h"

#include "genicamerror.h"

namespace genicam {

namespace {

// How long the thread waits for a block before it looks whether to stop.
constexpr guint64 waitMicroseconds = 50000;

} // namespace

FrameStream::FrameStream(ArvCamera* camera, Handler handler)
    : onBlock(std::move(handler))
{
    GError* error = nullptr;
    stream.reset(arv_camera_create_stream(camera, nullptr, nullptr, &error));
    GenicamError::check(error, "Opening the image stream");
    if (!stream)
        throw GenicamError("The camera has no image stream.");
    thread = std::thread(&FrameStream::run, this);
}

FrameStream::~FrameStream()
{
    running = false;
    thread.join();
}

void FrameStream::push(char* block, size_t size)
{
    // The buffer only points at the block; nothing frees it but its owner.
    arv_stream_push_buffer(stream.get(), arv_buffer_new_full(size, block, block, nullptr));
}

void FrameStream::run()
{
    while (running) {
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream.get(), waitMicroseconds);
        if (!buffer)
            continue;
        const char* block = static_cast<const char*>(arv_buffer_get_user_data(buffer));
        const bool complete = arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS;
        g_object_unref(buffer);
        onBlock(block, complete);
    }
}

} // namespace genicam
