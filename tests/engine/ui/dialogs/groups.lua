-- BeginGroup marks the next window built, and that one alone.
MakeDialog{
  BeginGroup(),
  Probe{ name = "r1" },
  Probe{ name = "r2" },
  BeginGroup(),
  Probe{ name = "r3", Probe{ name = "r4" } },
}
