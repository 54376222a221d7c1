-- The window script library: run once in the window script's state before anything else. It
-- defines the constants dialog scripts use, the description language in which dialog files
-- declare their windows, and the functions with which dialogs wait for messages and for their own
-- close. Names, argument orders and constant values are the interface with the asset scripts.
-- Everything that waits must run inside the window script's coroutine.

LUA_PATH = "?;../?;../../?"

-- Alignment bits of texts and buttons.
kHAlignLeft = 0
kHAlignCenter = 1
kHAlignRight = 2
kVAlignTop = 0
kVAlignCenter = 4
kVAlignBottom = 8
kPushButtonAlignment = kHAlignCenter + kVAlignCenter
kRadioButtonAlignment = kHAlignLeft + kVAlignCenter
kToggleButtonAlignment = kHAlignCenter + kVAlignCenter

-- Button types.
kPush = 0
kToggle = 1
kRadio = 2

kAllLayers = -1

-- Coded coordinates: centred, the far edge, and the default size.
kCenter = 80000
kMax = 160000
kDefault = 128

-- Message kinds; the native messages carry the same values.
kGeneric = 0
kCloseWindow = kGeneric + 1
kDefaultAction = kCloseWindow + 1
kButtonPress = kDefaultAction + 1
kPressAnyKey = kButtonPress + 1
kQuitNow = kPressAnyKey + 1
kModalClosed = kQuitNow + 1
kTextEditChanged = kModalClosed + 1
kCommandOnly = kTextEditChanged + 1
kSliderValChanged = kCommandOnly + 1
kSliderMouseUp = kSliderValChanged + 1
kSliderPageUp = kSliderMouseUp + 1
kSliderPageDown = kSliderPageUp + 1
kUserMessageBase = 1000

-- Game-state names that SetState passes on.
kCmdLine = "cmdline"
kLevel = "level"
kSubLevel = "sublevel"
kPause = "pause"
kMute = "mute"
kBreakNow = "breaknow"
kScore = "score"
kGameMode = "gamemode"
kGameOver = "gameover"
kRestartButton = "restartbutton"
kSystemMode = "systemmode"
kMaxLevel = "maxlevel"

-- What the modal dialog that closes next returns.
gReturnValue = nil

-- Setting keys.
kCheatMode = "cheatmode"
kComputerId = "computerid"
kInstallKey = "installkey"
kGameName = "gamename"
kGameVersion = "version"
kEncryptionKey = "encryptionkey"
kHiscoreLocalOnly = "hiscorelocal"
kHiscoreAnonymous = "hiscoreanon"

idtable = {}
-- Used by Push and Pop alone.
gParent = {}
-- Where a window description looks for what it does not say itself, then in its "parent" chain.
gCurrentDefaultStyle = {}
gCurID = 100
-- 1 marks the next window built as the first of a radio group.
gBeginGroup = 0

-- The description language ----------------------------------------------------------------------

function Color(r, g, b, a)
  if not a then
    return { r / 255, g / 255, b / 255, 1 }
  end
  return { r / 255, g / 255, b / 255, a / 255 }
end

function FColor(r, g, b, a)
  if not a then
    return { r, g, b, 1 }
  end
  return { r, g, b, a }
end

function Push(window)
  table.insert(gParent, 1, window)
end

function Pop()
  table.remove(gParent, 1)
end

-- Builds one window: the type's constructor returned a closure over its description that calls
-- this when the enclosing description is built.
function DoWindow(description)
  description.beginGroup = gBeginGroup
  gBeginGroup = 0
  GenericCreate(description)
  MakeDialog(description)
  PopWindow()
end

-- Nothing is returned: table.foreachi would stop at a closure that answered something.
function DoDialogCommand(index, closure)
  closure()
end

-- Runs the closures of a description under the current creation top. Style changes they make
-- last until the description ends.
function MakeDialog(description)
  local style = gCurrentDefaultStyle
  if description.name and description.name ~= "" then
    SetWindowName(description.name)
  end
  table.foreachi(description, DoDialogCommand)
  typename = description.typename
  gCurrentDefaultStyle = style
  if typename then
    PostCreate(description, typename)
  end
end

-- Every type constructor announces its description here.
function Creating(typeName, description)
end

function SetBeginGroup(any)
  gBeginGroup = 1
end

function BeginGroup()
  return function() SetBeginGroup() end
end

-- With two arguments the current default style and its chain stand behind the table; with a true
-- third one the table's own "parent" chain does. A chain that comes back to a style it passed
-- ends there.
function GetTag(t, key, inherited)
  if not inherited then
    local value = t[key]
    if value then
      return value
    end
    t = gCurrentDefaultStyle
  end
  local seen = {}
  while type(t) == "table" and not seen[t] do
    local value = t[key]
    if value then
      return value
    end
    seen[t] = true
    t = t.parent
  end
  return nil
end

function SetDefaultStyle(style)
  gCurrentDefaultStyle = style
end

function SetStyle(style)
  return function() SetDefaultStyle(style) end
end

local function InStyleChain(chain, style)
  local seen = {}
  while type(chain) == "table" and not seen[chain] do
    if chain == style then
      return true
    end
    seen[chain] = true
    chain = chain.parent
  end
  return false
end

function AppendStyle(style)
  return function()
    -- A style that is already in the chain keeps its parent: setting it would close a loop.
    if not InStyleChain(gCurrentDefaultStyle, style) then
      style.parent = gCurrentDefaultStyle
    end
    SetDefaultStyle(style)
  end
end

function SetFocus(name)
  RealSetFocus(name)
end

function SetDefault(any)
  return function() end
end

-- n positions spread evenly over the width of the window created last.
function DistributeX(n)
  local positions = {}
  divisor = n + 1
  for i = 1, n do
    d = i / divisor
    positions[i] = d * gDialogWidth
  end
  return positions
end

function DistributeY(n)
  local positions = {}
  local divisor = n + 1
  for i = 1, n do
    local d = i / divisor
    positions[i] = d * gDialogHeight
  end
  return positions
end

function SelectLayer(index)
  return function() DoSelectLayer(index) end
end

-- Closures that run under the current creation top, with a style scope of their own and no
-- window of their own.
function Group(description)
  return function() MakeDialog(description) end
end

function FitToChildren()
  return function() DoFitToChildren() end
end

function CustomCreator(any)
end

-- Dialogs, messages and waiting ------------------------------------------------------------------

-- Closes of other modal windows that arrive meanwhile are kept in gClosedWindows for their own
-- waits.
function WaitForCloseMessage(id)
  while true do
    local m = WaitForMessage()
    if m then
      gLastMessage = m
      if m.type == kModalClosed then
        if m.name == id then
          return
        end
        gClosedWindows[m.name] = true
      end
    end
    if gClosedWindows[id] then
      gClosedWindows[id] = nil
      return
    end
  end
end

function DoModal(file)
  local id = PushModal(file)
  ReadFile(file)
  DoFitToChildren()
  WaitForCloseMessage(id)
  local result = gReturnValue
  gReturnValue = nil
  return result
end

-- Runs until the main window's layer, or one below it, is popped.
function DoMainWindow(file)
  PushModal(file)
  local depth = GetWindowDepth()
  ReadFile(file)
  DoFitToChildren()
  while GetWindowDepth() >= depth do
    WaitForMessage()
  end
end

function ModalReturn(value)
  gReturnValue = value
end

function DisplaySplash(movie, image, ms)
  local id = PushModal("DisplaySplash")
  local style = {}
  local translate = GetTag(style, "translate") or false
  local allowInput = GetTag(style, "allowInput") or false
  local disableAbort = GetTag(style, "disableAbort") or false
  inMovie = StartMovie(movie, translate, allowInput)
  local stop = GetTimer() + ms
  if not inMovie then
    local overlay = GetTag(style, "splashoverlay") or Group({})
    if not image then
      PopModal(id)
      return
    end
    MakeDialog({ Bitmap({ name = "splashimage", image = image, overlay }) })
    UpdateWindow()
    Pause(50)
    UpdateWindow()
    Pause(50)
  end
  if inMovie or ImageLoaded("splashimage") then
    while true do
      if not inMovie and GetTimer() > stop then
        break
      end
      if inMovie and not IsMoviePlaying() then
        break
      end
      local m = WaitForMessage(1)
      if m then
        if m.type == kCloseWindow then
          break
        end
        if m.type == kModalClosed then
          if m.name == id then
            break
          end
          gClosedWindows[m.name] = true
        end
        if m.type == kPressAnyKey and not disableAbort then
          break
        end
      end
    end
  end
  if inMovie then
    StopMovie()
  end
  PopModal(id)
end

-- Waits until a 1 ms wait passes without a message; what arrives meanwhile is dropped.
function FlushMessages()
  while HandleGetMessage(1) do
  end
  gCommandQueue = {}
  gMessageQueue = {}
end

-- One message, newest queued first; else waits for one (nil ms: until the next run of the task
-- list). A command that comes along runs, and its result waits in gYieldResult for the native
-- caller. Nil after a timer tick or a bare command.
function WaitForMessage(ms, skipQueue)
  if not skipQueue then
    local n = table.getn(gMessageQueue)
    if n > 0 then
      message = gMessageQueue[n]
      table.remove(gMessageQueue)
      return message
    end
  end
  local m, command = HandleGetMessage(ms)
  if command then
    gYieldResult = command()
  else
    local k = table.getn(gCommandQueue)
    if k > 0 then
      local queued = gCommandQueue[k]
      table.remove(gCommandQueue)
      gYieldResult = queued()
    end
  end
  return m
end

function Yield()
  return coroutine.yield()
end

function ReadFile(file)
  return dofile("assets/" .. file)
end

function CloseWindow(value)
  PostMessage(CreateCloseMessage())
  if value ~= nil then
    ModalReturn(value)
  end
end

function GetString(label, a1, a2, a3, a4, a5)
  return _GetString(label, a1 or "", a2 or "", a3 or "", a4 or "", a5 or "")
end

function SetBitmap(name, image, scale)
  if scale == nil then
    scale = 1
  end
  _SetBitmap(name, image, scale)
end

function PopModal(text)
  DoPopModal(text)
end

-- Builds another dialog file in the top modal window in place of what it holds.
function SwapToModal(file)
  ClearModalChildren()
  ReadFile(file)
  DoFitToChildren()
end

-- The dialog file is t[1]; the whole table waits in gDialogTable for the file to read.
function DisplayDialog(t)
  local file = t[1]
  if not file or file == "" then
    DebugOut("DisplayDialog called with empty script; aborting")
    return
  end
  local id = PushModal(file)
  gDialogTable = t
  ReadFile(file)
  WaitForCloseMessage(id)
  local result = gReturnValue
  gReturnValue = nil
  return result
end

-- Waits the time and keeps what arrives for later; an abortable pause ends at a key press.
function Pause(ms, abortable)
  local stop = GetTimer() + ms
  while GetTimer() < stop do
    local m = WaitForMessage(stop - GetTimer(), true)
    if m then
      if abortable and m.type == kPressAnyKey then
        return
      end
      table.insert(gMessageQueue, m)
    end
  end
end

function SetState(name, value)
  if value == true then
    value = 1
  elseif value == false then
    value = 0
  end
  _SetState(tostring(name), tostring(value))
end

function RegisterHotkey(key, button)
  if key and button then
    _RegisterHotkey(key, button)
  end
end

-- Modal windows whose kModalClosed came while another wait ran, by id text.
gClosedWindows = {}
gCommandQueue = {}
gMessageQueue = {}
-- The table of the last DisplayDialog.
gDialogTable = {}
