#pragma once
// What the list editor needs of the player window: the song list it edits and takes over again,
// the settings and environment found at start-up, the play position, the program-wide busy flag
// and the test play. The player window implements it; it also receives UM_LIST_CHANGED.

#include "library/settings.h"
#include "library/songlist.h"
#include "platform/linkmessages.h"

#include <array>
#include <string>

namespace kyro {

class ArchiveLibrary;

class PlayerLink : public LinkTarget {
public:
    virtual const SongList& Songs() const = 0;
    virtual const Settings& SettingsInForce() const = 0;
    virtual const std::string& ProgramFolder() const = 0;  // DOS form, ends in "\"
    virtual const ArchiveLibrary* Archive() const = 0;     // nullptr when not available
    virtual bool RcpPlayable() const = 0;
    virtual int CurrentGroup() const = 0;  // the group and index of the song the player is on
    virtual int CurrentIndex() const = 0;

    // Set by the transport buttons and by the editor's long operations: a handler that finds it
    // set returns at once, because a nested event loop is running.
    virtual bool Busy() const = 0;
    virtual void SetBusy(bool busy) = 0;

    virtual void StartTestPlay(const std::string& path, char mapCode) = 0;

    // The editor's save: the edited groups (paths, titles, maps; the group names stay) become the
    // player's list and are written to both list files. False when they could not be written; the
    // player keeps the edited list all the same, and the files their old one.
    virtual bool ReplaceSongList(const SongList& edited) = 0;
    // The list changed: the player applies it when the current song ends or playing stops.
    virtual void SetReloadPending() = 0;

    // The group set-up dialog's OK: the nine names (CP932, at most 60 bytes each) and the mask of
    // the groups that play (bit i for group i + 1) take effect at once.
    virtual void SetGroupNames(const std::array<std::string, kGroupCount>& names) = 0;
    virtual void SetGroupSel(int mask) = 0;

    // The system dialog's OK: its settings (modes, waits, warnings, temporary folder) take effect
    // at once; UM_LIST_CHANGED follows, so that the play order is built again by the new modes.
    virtual void ApplySettings(const Settings& settings) = 0;
};

// Holds the busy flag for the length of a long operation, so that every exit clears it.
class PlayerBusyScope {
public:
    explicit PlayerBusyScope(PlayerLink& player) : player_(player) { player_.SetBusy(true); }
    ~PlayerBusyScope() { player_.SetBusy(false); }
    PlayerBusyScope(const PlayerBusyScope&) = delete;
    PlayerBusyScope& operator=(const PlayerBusyScope&) = delete;

private:
    PlayerLink& player_;
};

}  // namespace kyro
