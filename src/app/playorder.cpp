#include "app/playorder.h"

#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "songfiles/filekinds.h"

#include <QString>

#include <ctime>
#include <numeric>
#include <vector>

namespace kyro {

std::uint32_t PlayOrder::SystemClock() { return static_cast<std::uint32_t>(std::time(nullptr)); }

PlayOrder::PlayOrder(const SongList& songs, const Settings& settings, Clock clock)
    : songs_(songs), settings_(settings), clock_(std::move(clock)) {}

void PlayOrder::SetEnvironment(bool archiveAvailable, bool rcpPlayable) {
    archiveAvailable_ = archiveAvailable;
    rcpPlayable_ = rcpPlayable;
}

bool PlayOrder::IsPlayableSong(int g, int i) const {
    if (g < 0 || g >= kGroupCount || i < 0 || i >= songs_.groups[g].Count()) return false;
    return IsPlayable(songs_.groups[g].Path(i), archiveAvailable_, rcpPlayable_);
}

bool PlayOrder::IsPlayableEntry(const QueueEntry& entry) const {
    return IsWellFormedEntry(entry) && IsPlayableSong(EntryGroup(entry), EntryIndex(entry));
}

bool PlayOrder::CurrentSongValid() const {
    if (curGroup_ < 0 || curGroup_ >= kGroupCount || curIndex_ < 0 || curIndex_ >= songs_.groups[curGroup_].Count())
        return false;
    // As the display sees it: the file name after the last "\".
    const std::string& path = songs_.groups[curGroup_].Path(curIndex_);
    return IsPlayable(FileNamePart(path), archiveAvailable_, rcpPlayable_);
}

// Only the pairings the settings dialog writes; any other leaves nothing to play.
bool PlayOrder::PairingKnown() const {
    const int list = settings_.listRandomType;
    const int group = settings_.groupRandomType;
    switch (list) {
    case kListRandom:
        return group == kGroupRandom;
    case kListSemiRandomAll:
        return group == kGroupAll;
    case kListSemiRandom:
    case kListSequential:
        return group == kGroupRandom || group == kGroupSemiRandom || group == kGroupSequential;
    default:
        return false;
    }
}

void PlayOrder::SetCurrentFrom(int pos) {
    if (pos < 0 || pos >= static_cast<int>(queue_.size()) || !IsWellFormedEntry(queue_[pos])) return;
    curGroup_ = EntryGroup(queue_[pos]);
    curIndex_ = EntryIndex(queue_[pos]);
}

bool PlayOrder::NoSong() {
    if (quietWithoutSongs_ && songs_.Empty()) {
        noList_ = true;
        if (hooks_.showWarning) hooks_.showWarning();
    } else if (settings_.warningMsg & kWarnNoList) {
        ShowMessage(QStringLiteral("演奏する曲がありません。"), MessageIcon::Exclamation);
        // Set before the redraw, so that a Stopped window shows NOLIST.
        noList_ = true;
        if (hooks_.showWarning) hooks_.showWarning();
    }
    return false;
}

bool PlayOrder::ShowCurrentSong() {
    return hooks_.showCurrentSong ? hooks_.showCurrentSong() : CurrentSongValid();
}

bool PlayOrder::BuildPlayQueue() {
    queuePos_ = 0;
    queue_.clear();
    if (settings_.groupSel == 0) return NoSong();
    if (songs_.Empty()) return NoSong();
    if (!PairingKnown()) return NoSong();

    bool ok = false;
    switch (settings_.groupRandomType) {
    case kGroupAll:
        ok = BuildAllTogether();
        break;
    case kGroupRandom:
        ok = BuildFromRandomGroup();
        break;
    case kGroupSemiRandom:
        BuildSemiRandomGroups();
        ok = HasPlayableEntry();
        break;
    case kGroupSequential:
        BuildSequentialGroups();
        ok = HasPlayableEntry();
        break;
    }
    if (!ok) return false;

    if (noList_ && hooks_.setStopped) hooks_.setStopped();
    SetCurrentFrom(0);
    noList_ = false;
    return true;
}

bool PlayOrder::BuildAllTogether() {
    PlayQueue pool;
    for (int g = 0; g < kGroupCount; ++g) {
        if (!GroupEnabled(g)) continue;
        for (int i = 0; i < songs_.groups[g].Count(); ++i) pool.push_back(MakeQueueEntry(g, i));
    }
    if (pool.empty()) return NoSong();
    for (int n = static_cast<int>(pool.size()); n > 0; --n) {
        const int r = random_.DrawBelow(n);
        queue_.push_back(pool[r]);
        pool.erase(pool.begin() + r);
    }
    return HasPlayableEntry();
}

int PlayOrder::NextFilledEnabledGroup(int g) const {
    for (int step = 1; step <= kGroupCount; ++step) {
        const int h = (g + step) % kGroupCount;
        if (GroupEnabled(h) && GroupHasSongs(h)) return h;
    }
    return g;
}

bool PlayOrder::BuildFromRandomGroup() {
    const int start = random_.DrawBelow(kGroupCount);
    int g = -1;
    for (int step = 0; step < kGroupCount && g < 0; ++step) {
        const int h = (start + step) % kGroupCount;
        if (GroupEnabled(h) && GroupHasSongs(h)) g = h;
    }
    if (g < 0) return NoSong();

    switch (settings_.listRandomType) {
    case kListRandom:
        return AddRandomSong(g);
    case kListSemiRandom:
        AddShuffledGroup(g);
        return HasPlayableEntry();
    case kListSequential:
        AddSequentialGroup(g);
        return HasPlayableEntry();
    default:
        return NoSong();
    }
}

// A random song of group g; an unplayable one gives way to the next playable song in group
// order, wrapping from the last enabled group to the first.
bool PlayOrder::AddRandomSong(int g) {
    int i = random_.DrawBelow(songs_.groups[g].Count());
    const int startGroup = g;
    const int startIndex = i;
    while (!IsPlayableSong(g, i)) {
        if (++i >= songs_.groups[g].Count()) {
            i = 0;
            g = NextFilledEnabledGroup(g);
        }
        if (g == startGroup && i == startIndex) return NoSong();
    }
    queue_.push_back(MakeQueueEntry(g, i));
    return true;
}

void PlayOrder::AddGroupByListMode(int g) {
    if (settings_.listRandomType == kListSemiRandom) AddShuffledGroup(g);
    else if (settings_.listRandomType == kListSequential) AddSequentialGroup(g);
}

void PlayOrder::BuildSemiRandomGroups() {
    // Reseeded at every build: two builds within one second give the same group order.
    SeedFromClock();
    std::vector<int> pool(kGroupCount);
    std::iota(pool.begin(), pool.end(), 0);
    for (int n = kGroupCount; n > 0; --n) {
        const int r = random_.DrawBelow(n);
        const int g = pool[r];
        pool.erase(pool.begin() + r);
        if (GroupEnabled(g)) AddGroupByListMode(g);
    }
}

void PlayOrder::BuildSequentialGroups() {
    for (int g = 0; g < kGroupCount; ++g) {
        if (GroupEnabled(g)) AddGroupByListMode(g);
    }
}

void PlayOrder::AddShuffledGroup(int g) {
    // Draws from the indexes not taken yet, which are always the first n of the remaining pool.
    std::vector<int> pool(songs_.groups[g].Count());
    std::iota(pool.begin(), pool.end(), 0);
    for (int n = static_cast<int>(pool.size()); n > 0; --n) {
        const int r = random_.DrawBelow(n);
        queue_.push_back(MakeQueueEntry(g, pool[r]));
        pool.erase(pool.begin() + r);
    }
}

void PlayOrder::AddSequentialGroup(int g) {
    for (int i = 0; i < songs_.groups[g].Count(); ++i) queue_.push_back(MakeQueueEntry(g, i));
}

bool PlayOrder::HasPlayableEntry() {
    for (const auto& entry : queue_) {
        if (IsPlayableEntry(entry)) return true;
    }
    return NoSong();
}

bool PlayOrder::NextSong() {
    bool ok = false;
    if (settings_.listRandomType == kListRandom) {
        ok = BuildPlayQueue();  // a fresh random pick
    } else {
        ++queuePos_;
        const int length = static_cast<int>(queue_.size());
        if (queuePos_ >= length) {
            ok = BuildPlayQueue();  // a new pass; its first entry is shown without skipping
        } else {
            for (;;) {
                SetCurrentFrom(queuePos_);
                if (IsPlayableEntry(queue_[queuePos_])) {
                    ok = true;
                    break;
                }
                if (++queuePos_ >= length) {
                    ok = BuildPlayQueue();
                    break;
                }
            }
        }
    }
    if (!ok) return false;
    return ShowCurrentSong();
}

bool PlayOrder::PreviousSong() {
    if (settings_.listRandomType == kListRandom || queuePos_ <= 0) return false;
    // Unplayable entries are not skipped backwards: the position moves even when showing fails.
    --queuePos_;
    SetCurrentFrom(queuePos_);
    return ShowCurrentSong();
}

bool PlayOrder::Resume(const std::optional<ResumeState>& state) {
    if (state && state->queuePos >= 0 && state->queuePos < static_cast<int>(state->queue.size())) {
        queue_ = state->queue;
        queuePos_ = state->queuePos;
        SetCurrentFrom(queuePos_);
        return true;
    }
    queue_.clear();
    queuePos_ = 0;
    curGroup_ = 0;
    curIndex_ = 0;
    return false;
}

}  // namespace kyro
