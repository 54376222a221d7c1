-- How upgrades work, shown once per player at the upgrade phase of the second level.
ReadFile("scripts/common.lua")
MakeDialog(PanelDialog{ name = "rule_upgrade", title = "rule_upgrade_title",
                        body = "rule_upgrade_body",
                        buttons = { { name = "ok", label = "ok", default = true,
                                      cancel = true } } })
