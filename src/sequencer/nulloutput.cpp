// The null output: accepts every message and plays nothing (tests, benchmarks, a silent machine).
#include "sequencer/outputs_internal.h"

namespace kyro {

namespace {

class NullOutput : public MidiOutput {
public:
    void Send(std::int64_t, const std::uint8_t*, std::size_t) override {}
};

}  // namespace

OutputOpenResult OpenNullOutput(const OutputSettings&) { return {std::make_unique<NullOutput>(), {}}; }

}  // namespace kyro
