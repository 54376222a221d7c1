-- The rules, shown after the level-goal dialog of the first level.
ReadFile("scripts/common.lua")
MakeDialog(PanelDialog{ name = "rule_window", title = "rules_title", body = "rules_body",
                        buttons = { { name = "ok", label = "ok", default = true,
                                      cancel = true } } })
