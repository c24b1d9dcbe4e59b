#pragma once

namespace kyro {

enum class PlayerState { Stopped, Playing, Paused, Waiting, Resting, Error };

// List mode: 0 RANDOM, 1 SEMI RANDOM, 2 SEMI RANDOM ALL, 3 SEQUENTIAL.
// Group mode: 0 RANDOM, 1 SEMI RANDOM, 2 SEQUENTIAL, -1 all groups together.
enum ListMode : int { kListRandom = 0, kListSemiRandom = 1, kListSemiRandomAll = 2, kListSequential = 3 };
enum GroupMode : int { kGroupAll = -1, kGroupRandom = 0, kGroupSemiRandom = 1, kGroupSequential = 2 };

}  // namespace kyro
