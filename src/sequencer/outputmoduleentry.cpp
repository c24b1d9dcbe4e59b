// The entry of libkyrotune-outputs.so: the outputs that need sound libraries.
#include "sequencer/outputmodule.h"
#include "sequencer/outputs_internal.h"

extern "C" __attribute__((visibility("default"))) const kyro::OutputModule* KyroOutputModule() {
    static const kyro::OutputModule module{kyro::OpenFluidSynthOutput, kyro::OpenWavOutput, kyro::OpenPortOutput,
                                           kyro::ListRtMidiPorts};
    return &module;
}
