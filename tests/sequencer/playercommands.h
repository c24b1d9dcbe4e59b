#pragma once
// The player's commands with the flags the main window sets before each of them, and the notice
// a spy recorded; shared by the player's tests.

#include "sequencer/player.h"

#include <QSignalSpy>

#include <string>

namespace kyro::test {

inline bool OpenWithWait(Player1& player, const std::string& nativePath) {
    player.SetWait(true);
    player.SetNotify(false);
    player.SetFileName(nativePath);
    return player.Open();
}

inline bool PlayWithNotify(Player1& player) {
    player.SetWait(false);
    player.SetNotify(true);
    return player.Play();
}

inline bool PlayWithWait(Player1& player) {
    player.SetWait(true);
    player.SetNotify(false);
    return player.Play();
}

inline NotifyResult NoticeAt(const QSignalSpy& spy, int i) { return spy.at(i).at(0).value<NotifyResult>(); }

}  // namespace kyro::test
