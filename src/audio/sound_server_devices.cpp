#include "audio/sound_server_devices.h"

#include <pulse/pulseaudio.h>

#include <memory>

namespace {

// What the introspection callbacks collect while the main loop runs.
struct Listing {
  SoundServerDevices devices;
  int pending = 0;     // replies still awaited once the connection is ready
  bool ready = false;  // the connection was made and the questions asked
  std::string error;   // set when the connection failed or a question was refused
};

// A device can be chosen only by a name that the settings file and the sound system's device
// strings carry unchanged: one without control characters.
bool usableName(const char* name) {
  if (!name || !*name) return false;
  for (const char* c = name; *c; ++c)
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f) return false;
  return true;
}

AudioDevice deviceOf(const char* name, const char* description) {
  return {name, description && *description ? std::string(description) : std::string(name)};
}

// Every list ends with a call whose `eol` is 1 (done) or negative (refused).
bool listEnded(Listing& listing, pa_context* context, int eol) {
  if (eol == 0) return false;
  --listing.pending;
  if (eol < 0 && listing.error.empty()) listing.error = pa_strerror(pa_context_errno(context));
  return true;
}

void onSink(pa_context* context, const pa_sink_info* info, int eol, void* data) {
  auto& listing = *static_cast<Listing*>(data);
  if (listEnded(listing, context, eol) || !info || !usableName(info->name)) return;
  listing.devices.sinks.push_back(deviceOf(info->name, info->description));
}

void onSource(pa_context* context, const pa_source_info* info, int eol, void* data) {
  auto& listing = *static_cast<Listing*>(data);
  if (listEnded(listing, context, eol) || !info || !usableName(info->name)) return;
  listing.devices.sources.push_back(deviceOf(info->name, info->description));
}

void onServer(pa_context*, const pa_server_info* info, void* data) {
  auto& listing = *static_cast<Listing*>(data);
  --listing.pending;
  if (info && info->server_name)
    listing.devices.server = std::string(info->server_name) + " " + (info->server_version ? info->server_version : "");
}

// Asks for the server, the sinks and the sources as soon as the connection is ready.
void onState(pa_context* context, void* data) {
  auto& listing = *static_cast<Listing*>(data);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
      listing.ready = true;
      pa_operation* asked[] = {pa_context_get_server_info(context, onServer, data),
                               pa_context_get_sink_info_list(context, onSink, data),
                               pa_context_get_source_info_list(context, onSource, data)};
      for (pa_operation* operation : asked) {
        if (!operation) {
          listing.error = pa_strerror(pa_context_errno(context));
          continue;
        }
        ++listing.pending;
        pa_operation_unref(operation);
      }
      break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      if (listing.error.empty()) listing.error = pa_strerror(pa_context_errno(context));
      break;
    default:
      break;
  }
}

struct MainLoopFree {
  void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextRelease {
  void operator()(pa_context* context) const {
    // Disconnecting reports the state change at once; nobody listens any more.
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
};

}  // namespace

std::optional<SoundServerDevices> listSoundServerDevices(std::chrono::milliseconds timeout, std::string* why) {
  auto fail = [why](std::string reason) -> std::optional<SoundServerDevices> {
    if (why) *why = "no sound server: " + std::move(reason);
    return std::nullopt;
  };
  Listing listing;  // outlives the connection that reports into it
  std::unique_ptr<pa_mainloop, MainLoopFree> loop(pa_mainloop_new());
  if (!loop) return fail("out of memory");
  std::unique_ptr<pa_context, ContextRelease> context(
      pa_context_new(pa_mainloop_get_api(loop.get()), "Pelimo device list"));
  if (!context) return fail("out of memory");

  pa_context_set_state_callback(context.get(), onState, &listing);
  // Listing devices must never start a sound server the user did not run.
  if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return fail(pa_strerror(pa_context_errno(context.get())));

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (listing.error.empty() && !(listing.ready && listing.pending == 0)) {
    using std::chrono::microseconds;
    const auto left = std::chrono::duration_cast<microseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return fail("the server did not answer within " + std::to_string(timeout.count()) + " ms");
    if (pa_mainloop_prepare(loop.get(), static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop.get()) < 0 ||
        pa_mainloop_dispatch(loop.get()) < 0)
      return fail("its connection broke");
  }
  if (!listing.error.empty()) return fail(listing.error);
  return std::move(listing.devices);
}
