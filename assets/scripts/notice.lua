-- A message with one "OK" button, opened with DisplayDialog: gDialogTable.title and
-- gDialogTable.body are string-table labels.
ReadFile("scripts/common.lua")
MakeDialog(PanelDialog{ name = gDialogTable.name, title = gDialogTable.title,
                        body = gDialogTable.body,
                        buttons = { { name = "ok", label = "ok", default = true, cancel = true } } })
