-- The logical scenes a girl passes through. The placeholder level has no girls, so it needs none
-- yet.

scenes = {}
