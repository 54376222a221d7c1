// The game world's own generator: girls' types and sayings, choice indexes and the tutorials'
// "Random" draw from it. Main thread only.
#pragma once

class TRandom;

// Made on first use and then seeded once with the platform time, so each run plays differently.
TRandom& GameRandom();
