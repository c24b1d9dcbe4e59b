// libFuzzer target for the resume file KYROSTAT.dat: any bytes, read against a song list with
// full, partly filled and empty groups. A state that is accepted names only songs of the list,
// is no longer than the queue can be, stands at one of its entries, and reads back the same once
// written again.

#include "app/playqueue.h"
#include "app/resumestate.h"
#include "library/songlist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Group g holds kSongs[g] songs: the edges 0, 1 and 999 and a few between.
constexpr int kSongs[kyro::kGroupCount] = {4, 0, 12, 999, 1, 0, 100, 998, 7};

kyro::SongList MakeSongs() {
    kyro::SongList list;
    for (int g = 0; g < kyro::kGroupCount; ++g)
        for (int k = 0; k < kSongs[g]; ++k) list.groups[g].Append({"D:\\S" + std::to_string(k) + ".MID", "", '0'});
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const kyro::SongList songs = MakeSongs();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<kyro::ResumeState> state = kyro::DecodeResumeState(bytes, songs);
    if (!state) return 0;

    const int length = static_cast<int>(state->queue.size());
    if (length > kyro::kMaxQueueLength || state->queuePos < 0 || state->queuePos >= length) std::abort();
    for (const kyro::QueueEntry& entry : state->queue) {
        if (!kyro::IsWellFormedEntry(entry)) std::abort();
        const int group = kyro::EntryGroup(entry);
        if (group < 0 || group >= kyro::kGroupCount || kyro::EntryIndex(entry) >= kSongs[group]) std::abort();
    }
    if (kyro::DecodeResumeState(kyro::EncodeResumeState(*state), songs) != state) std::abort();
    return 0;
}
