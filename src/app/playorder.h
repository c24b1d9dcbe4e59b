#pragma once
// The play order: which song plays next. The queue is built from the enabled groups by the group
// mode (the order of the groups) and the list mode (the order of the songs of a group), and
// walked forwards and backwards; running past its end builds a new pass.
//
// Widget-free: the window gives it the song list and the settings in force, and hooks for what
// it shows. The clock (seconds, for seeding) and the generator are injectable for tests.

#include "app/lcgrandom.h"
#include "app/playerstate.h"
#include "app/playqueue.h"
#include "app/resumestate.h"
#include "library/settings.h"
#include "library/songlist.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace kyro {

struct PlayOrderHooks {
    // Shows the current song; false when it is not playable (the default only checks that).
    std::function<bool()> showCurrentSong;
    // After the no-song message, with noList already set: redraw the display if Stopped.
    std::function<void()> showWarning;
    // A build succeeded while noList was set: the player goes to Stopped.
    std::function<void()> setStopped;
};

class PlayOrder {
public:
    using Clock = std::function<std::uint32_t()>;  // the current time in seconds
    static std::uint32_t SystemClock();

    // The list and the settings are read at each call, so changes reach the next build.
    PlayOrder(const SongList& songs, const Settings& settings, Clock clock = SystemClock);

    void SetEnvironment(bool archiveAvailable, bool rcpPlayable);
    void SetHooks(PlayOrderHooks hooks) { hooks_ = std::move(hooks); }

    // Start-up seeds the generator with the time; tests may seed it directly.
    void SeedFromClock() { random_.Seed(clock_()); }
    LcgRandom& Random() { return random_; }

    // Empties and refills the queue; position 0, the current song its first entry. False (after
    // the no-song handling) when there is nothing to play.
    bool BuildPlayQueue();
    void AddShuffledGroup(int g);
    void AddSequentialGroup(int g);
    // True when some entry is playable; otherwise the no-song handling.
    bool HasPlayableEntry();

    // Move the current song and show it; false when no playable song could be made current.
    bool NextSong();
    bool PreviousSong();

    // The current song exists in its group and is playable here: what showing it requires.
    bool CurrentSongValid() const;

    // Takes a loaded resume state (position and current song from it), or with nothing, clears
    // the queue and puts position and current song to 0. Returns whether a state was taken.
    bool Resume(const std::optional<ResumeState>& state);
    ResumeState Snapshot() const { return {queue_, queuePos_}; }

    const PlayQueue& Queue() const { return queue_; }
    int QueuePos() const { return queuePos_; }
    int CurGroup() const { return curGroup_; }
    int CurIndex() const { return curIndex_; }
    bool NoList() const { return noList_; }
    // A list that is empty because nobody has made one yet is no fault to report.
    void SetQuietWithoutSongs(bool quiet) { quietWithoutSongs_ = quiet; }

private:
    bool IsPlayableSong(int g, int i) const;
    bool IsPlayableEntry(const QueueEntry& entry) const;
    bool GroupEnabled(int g) const { return (settings_.groupSel >> g) & 1; }
    bool GroupHasSongs(int g) const { return songs_.groups[g].Count() > 0; }
    bool PairingKnown() const;
    void SetCurrentFrom(int pos);
    void AddGroupByListMode(int g);
    bool BuildAllTogether();
    bool BuildFromRandomGroup();
    bool AddRandomSong(int g);
    void BuildSemiRandomGroups();
    void BuildSequentialGroups();
    int NextFilledEnabledGroup(int g) const;
    bool NoSong();
    bool ShowCurrentSong();

    const SongList& songs_;
    const Settings& settings_;
    Clock clock_;
    LcgRandom random_;
    PlayOrderHooks hooks_;
    bool archiveAvailable_ = false;
    bool rcpPlayable_ = false;

    PlayQueue queue_;
    int queuePos_ = 0;
    int curGroup_ = 0;
    int curIndex_ = 0;
    bool noList_ = false;
    bool quietWithoutSongs_ = false;
};

}  // namespace kyro
