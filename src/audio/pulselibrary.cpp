// The sound server's client library, opened at the first call into it rather than linked.
//
// libpulse brings a dozen libraries with it (libsndfile and the encoders that one links), a
// megabyte in all, while most of a session can pass without playing anything. Every libpulse
// function the device output calls is defined here under its own name, so the output's code
// reads as plain libpulse; each one finds the real function in the library when first called.
// Without the library (or without one of its functions), a call fails the way libpulse
// reports failures: no context, no stream, an error code, a failed state. A new libpulse
// function used in the program needs its line here too; the linker names any that lack one.
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/volume.h>

#include <dlfcn.h>

namespace {

void* library() {
    static void* const handle = dlopen(QUORVELA_PULSE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

// The real function, or null. Each caller keeps the answer, looked up once.
template <typename Function> Function real(const char* name) {
    void* handle = library();
    return handle ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
}

} // namespace

extern "C" {

// Contexts.

pa_context* pa_context_new_with_proplist(pa_mainloop_api* mainloop, const char* name,
                                         const pa_proplist* proplist) {
    static const auto f =
        real<decltype(&pa_context_new_with_proplist)>("pa_context_new_with_proplist");
    return f ? f(mainloop, name, proplist) : nullptr;
}

int pa_context_connect(pa_context* c, const char* server, pa_context_flags_t flags,
                       const pa_spawn_api* api) {
    static const auto f = real<decltype(&pa_context_connect)>("pa_context_connect");
    return f ? f(c, server, flags, api) : -PA_ERR_NOTSUPPORTED;
}

void pa_context_disconnect(pa_context* c) {
    static const auto f = real<decltype(&pa_context_disconnect)>("pa_context_disconnect");
    if (f)
        f(c);
}

void pa_context_unref(pa_context* c) {
    static const auto f = real<decltype(&pa_context_unref)>("pa_context_unref");
    if (f)
        f(c);
}

int pa_context_errno(const pa_context* c) {
    static const auto f = real<decltype(&pa_context_errno)>("pa_context_errno");
    return f ? f(c) : PA_ERR_NOTSUPPORTED;
}

pa_context_state_t pa_context_get_state(const pa_context* c) {
    static const auto f = real<decltype(&pa_context_get_state)>("pa_context_get_state");
    return f ? f(c) : PA_CONTEXT_FAILED;
}

void pa_context_set_state_callback(pa_context* c, pa_context_notify_cb_t cb, void* userdata) {
    static const auto f =
        real<decltype(&pa_context_set_state_callback)>("pa_context_set_state_callback");
    if (f)
        f(c, cb, userdata);
}

pa_operation* pa_context_set_sink_input_volume(pa_context* c, uint32_t idx,
                                               const pa_cvolume* volume, pa_context_success_cb_t cb,
                                               void* userdata) {
    static const auto f =
        real<decltype(&pa_context_set_sink_input_volume)>("pa_context_set_sink_input_volume");
    return f ? f(c, idx, volume, cb, userdata) : nullptr;
}

void pa_operation_unref(pa_operation* o) {
    static const auto f = real<decltype(&pa_operation_unref)>("pa_operation_unref");
    if (f)
        f(o);
}

const char* pa_strerror(int error) {
    static const auto f = real<decltype(&pa_strerror)>("pa_strerror");
    if (!f)
        return "the sound server's library (libpulse) is missing";
    const char* text = f(error);
    return text ? text : "unknown error";
}

// Property lists.

pa_proplist* pa_proplist_new(void) {
    static const auto f = real<decltype(&pa_proplist_new)>("pa_proplist_new");
    return f ? f() : nullptr;
}

void pa_proplist_free(pa_proplist* p) {
    static const auto f = real<decltype(&pa_proplist_free)>("pa_proplist_free");
    if (f)
        f(p);
}

int pa_proplist_sets(pa_proplist* p, const char* key, const char* value) {
    static const auto f = real<decltype(&pa_proplist_sets)>("pa_proplist_sets");
    return f ? f(p, key, value) : -1;
}

// Samples and volumes. Here the sample format keeps our name for it, not the header's.

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
int pa_sample_spec_valid(const pa_sample_spec* format) {
    static const auto f = real<decltype(&pa_sample_spec_valid)>("pa_sample_spec_valid");
    return f ? f(format) : 0;
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
size_t pa_usec_to_bytes(pa_usec_t t, const pa_sample_spec* format) {
    static const auto f = real<decltype(&pa_usec_to_bytes)>("pa_usec_to_bytes");
    return f ? f(t, format) : 0;
}

pa_cvolume* pa_cvolume_set(pa_cvolume* a, unsigned channels, pa_volume_t v) {
    static const auto f = real<decltype(&pa_cvolume_set)>("pa_cvolume_set");
    return f ? f(a, channels, v) : nullptr;
}

pa_volume_t pa_sw_volume_from_linear(double v) {
    static const auto f = real<decltype(&pa_sw_volume_from_linear)>("pa_sw_volume_from_linear");
    return f ? f(v) : PA_VOLUME_MUTED;
}

// Streams.

pa_stream* pa_stream_new_with_proplist(pa_context* c, const char* name, const pa_sample_spec* ss,
                                       const pa_channel_map* map, pa_proplist* p) {
    static const auto f =
        real<decltype(&pa_stream_new_with_proplist)>("pa_stream_new_with_proplist");
    return f ? f(c, name, ss, map, p) : nullptr;
}

int pa_stream_connect_playback(pa_stream* s, const char* dev, const pa_buffer_attr* attr,
                               pa_stream_flags_t flags, const pa_cvolume* volume,
                               pa_stream* sync_stream) {
    static const auto f = real<decltype(&pa_stream_connect_playback)>("pa_stream_connect_playback");
    return f ? f(s, dev, attr, flags, volume, sync_stream) : -PA_ERR_NOTSUPPORTED;
}

int pa_stream_disconnect(pa_stream* s) {
    static const auto f = real<decltype(&pa_stream_disconnect)>("pa_stream_disconnect");
    return f ? f(s) : -PA_ERR_NOTSUPPORTED;
}

void pa_stream_unref(pa_stream* s) {
    static const auto f = real<decltype(&pa_stream_unref)>("pa_stream_unref");
    if (f)
        f(s);
}

pa_stream_state_t pa_stream_get_state(const pa_stream* p) {
    static const auto f = real<decltype(&pa_stream_get_state)>("pa_stream_get_state");
    return f ? f(p) : PA_STREAM_FAILED;
}

uint32_t pa_stream_get_index(const pa_stream* s) {
    static const auto f = real<decltype(&pa_stream_get_index)>("pa_stream_get_index");
    return f ? f(s) : PA_INVALID_INDEX;
}

int pa_stream_get_time(pa_stream* s, pa_usec_t* r_usec) {
    static const auto f = real<decltype(&pa_stream_get_time)>("pa_stream_get_time");
    return f ? f(s, r_usec) : -PA_ERR_NOTSUPPORTED;
}

int pa_stream_begin_write(pa_stream* p, void** data, size_t* nbytes) {
    static const auto f = real<decltype(&pa_stream_begin_write)>("pa_stream_begin_write");
    return f ? f(p, data, nbytes) : -PA_ERR_NOTSUPPORTED;
}

int pa_stream_cancel_write(pa_stream* p) {
    static const auto f = real<decltype(&pa_stream_cancel_write)>("pa_stream_cancel_write");
    return f ? f(p) : -PA_ERR_NOTSUPPORTED;
}

int pa_stream_write(pa_stream* p, const void* data, size_t nbytes, pa_free_cb_t free_cb,
                    int64_t offset, pa_seek_mode_t seek) {
    static const auto f = real<decltype(&pa_stream_write)>("pa_stream_write");
    return f ? f(p, data, nbytes, free_cb, offset, seek) : -PA_ERR_NOTSUPPORTED;
}

pa_operation* pa_stream_drain(pa_stream* s, pa_stream_success_cb_t cb, void* userdata) {
    static const auto f = real<decltype(&pa_stream_drain)>("pa_stream_drain");
    return f ? f(s, cb, userdata) : nullptr;
}

pa_operation* pa_stream_update_timing_info(pa_stream* p, pa_stream_success_cb_t cb,
                                           void* userdata) {
    static const auto f =
        real<decltype(&pa_stream_update_timing_info)>("pa_stream_update_timing_info");
    return f ? f(p, cb, userdata) : nullptr;
}

void pa_stream_set_state_callback(pa_stream* s, pa_stream_notify_cb_t cb, void* userdata) {
    static const auto f =
        real<decltype(&pa_stream_set_state_callback)>("pa_stream_set_state_callback");
    if (f)
        f(s, cb, userdata);
}

void pa_stream_set_write_callback(pa_stream* p, pa_stream_request_cb_t cb, void* userdata) {
    static const auto f =
        real<decltype(&pa_stream_set_write_callback)>("pa_stream_set_write_callback");
    if (f)
        f(p, cb, userdata);
}

void pa_stream_set_underflow_callback(pa_stream* p, pa_stream_notify_cb_t cb, void* userdata) {
    static const auto f =
        real<decltype(&pa_stream_set_underflow_callback)>("pa_stream_set_underflow_callback");
    if (f)
        f(p, cb, userdata);
}

void pa_stream_set_started_callback(pa_stream* p, pa_stream_notify_cb_t cb, void* userdata) {
    static const auto f =
        real<decltype(&pa_stream_set_started_callback)>("pa_stream_set_started_callback");
    if (f)
        f(p, cb, userdata);
}

void pa_stream_set_moved_callback(pa_stream* p, pa_stream_notify_cb_t cb, void* userdata) {
    static const auto f =
        real<decltype(&pa_stream_set_moved_callback)>("pa_stream_set_moved_callback");
    if (f)
        f(p, cb, userdata);
}

} // extern "C"
