-- A question answered yes or no, opened with DisplayDialog: gDialogTable.title and
-- gDialogTable.body are string-table labels, gDialogTable.name names the dialog's modal window
-- ("quit_dialog" for the quit question). It returns 'yes' or 'no'; Enter answers yes, Esc no.
ReadFile("scripts/common.lua")
MakeDialog(PanelDialog{ name = gDialogTable.name, title = gDialogTable.title,
                        body = gDialogTable.body,
                        buttons = { { name = "yes", label = "yes", default = true },
                                    { name = "no", label = "no", cancel = true } } })
