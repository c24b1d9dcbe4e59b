#pragma once
// Real-time scheduling for the threads whose timing is heard. On a busy machine a thread at
// normal scheduling may wait behind others for milliseconds after its wake-up time; a SCHED_FIFO
// thread runs as soon as it wakes. The system grants it directly to root or to a user with an
// RLIMIT_RTPRIO; desktop users get it from RealtimeKit on the system bus, as sound servers do.

namespace kyro {

// The engine's priority: modest, since RealtimeKit usually grants at most 20, and below the
// audio drivers' threads (FluidSynth asks for 60), which must never wait for the engine.
inline constexpr int kEngineRealtimePriority = 10;
// The synthesizer's render thread works ahead of the card, so it may wait behind the engine; the
// audio device's thread only copies what is rendered and must never wait for either.
inline constexpr int kSynthRenderRealtimePriority = 9;
inline constexpr int kAudioDeviceRealtimePriority = 15;

enum class RealtimeRoute { Direct, RealtimeKit, None };

// Moves the calling thread to SCHED_FIFO at `priority` (lowered to what the system allows):
// directly where the limits allow it, else through RealtimeKit. Returns the route that worked.
// When neither does, the thread stays as it was, the first refusal is said once on stderr, and a
// RealtimeKit that is not there at all is not asked again.
RealtimeRoute MakeThisThreadRealtime(int priority);

// The same for another thread of this process, by its kernel thread id (gettid): an audio
// library's thread, raised from one of ours. A thread already at a real-time policy (the library
// raised it itself) is left as it is.
RealtimeRoute MakeThreadRealtime(int threadId, int priority);

}  // namespace kyro
