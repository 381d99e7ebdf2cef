' Quillet.dll as a script sees it: menus built by ProgID and read back, every
' call late bound, arguments left out where the script has nothing to say.
' The script host cannot receive events, and it ends with exit code 0 even
' after a script error, so the last line tells the outcome:
' "N passed, M failed". A script error leaves that line out.
Option Explicit

Dim passed, failed
passed = 0
failed = 0

' Compares what the component answered with what a client expects.
Sub Expect(actual, expected, what)
    If actual = expected Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAILED: " & what & " (got '" & actual & "', expected '" & expected & "')"
    End If
End Sub

' The names of a collection's members in For Each order.
Function Names(collection)
    Dim member, text
    text = ""
    For Each member In collection
        text = text & " " & member.Name
    Next
    Names = Mid(text, 2)
End Function

Dim q, bands, b, bar, edit, tools, t, banner, number, source

' --- the object ------------------------------------------------------------------
Set q = CreateObject("Quillet.Quillet")
Expect q.Version, "1.5 (Build 0081)", "Version"
Expect q.hWnd, 0, "a new object is attached to no window"
Expect q.HighlightStyle & " " & q.HighlightDisabledTools, "0 False", "highlight defaults"
Expect q.CustomCheckmarkIcon & " " & q.CustomOptionGroupIcon, "-1 -1", "custom icons start unset"
Expect q.ImageList, 0, "no image list at first"

' --- bands -----------------------------------------------------------------------
Set bands = q.Bands
Set b = bands.Add("File", 1)
Expect b.Name & " " & b.Style, "File 1", "Bands.Add names the band and keeps its style"
Expect b.Enabled & " " & b.OwnerDraw & " " & b.AllowCustomDraw, "True True False", "Bands.Add defaults"
Expect b.Visible & " " & b.Left & " " & b.Top, "False 0 0", "a band never shown"
Expect bands.Add("FILE", 1) Is Nothing, True, "a band name already there, in any case, gives Nothing"
Set bar = bands.Add("Bar", 0)
Set edit = bands.Add("Edit", 1)
Expect bands.Count, 3, "Bands.Count"
Expect bands(1).Name & " " & bands("bar").Name, "File Bar", "bands by position and by name"
Expect bands.Exists("Edit") And bands.Exists(3) And Not bands.Exists("View") And Not bands.Exists(4), True, "Bands.Exists"
Expect bands.Item("View") Is Nothing, True, "an absent band is Nothing"
Expect Names(bands), "File Bar Edit", "For Each visits the bands in order"
Expect bands.Parent Is q, True, "the bands lead back to their object"

' --- tools: the hidden one and the defaults ---------------------------------------
Set tools = b.Tools
Expect tools.Count, 1, "a new band holds only the hidden tool"
Set t = tools(1)
Expect t.Name & "|" & t.ID & "|" & t.Caption & "|" & t.Visible & "|" & t.Style, "-|0||False|2", _
    "the hidden tool at position 1 is an invisible separator named -"
Expect bar.Tools(1).Style, 5, "a menu bar's hidden tool is a menu-bar separator"

Set t = tools.Add(10, "Open")
Expect t.Caption & "|" & t.Icon & "|" & t.Style & "|" & t.Shortcut & "|" & t.OptionGroup & "|" & t.SubBand, _
    "|-1|1|||", "Tools.Add defaults of the texts, the icon and the style"
Expect t.BeginGroup & " " & t.Checked & " " & t.Default & " " & t.OwnerDraw & " " & t.AllowCustomDraw & " " & _
    t.Enabled & " " & t.Visible, "False False False True False True True", "Tools.Add defaults of the flags"
Expect t.Accelerator & "|" & t.Index, "|0", "no caption gives no accelerator; the first visible tool is at 0"
Expect t.Parent Is b, True, "a tool leads back to its band"
Expect tools.Count, 2, "Count includes the hidden tool"
Expect tools.Add(11, "OPEN") Is Nothing, True, "a tool name already there, in any case, gives Nothing"

' --- captions and shortcuts -------------------------------------------------------
Expect tools.Add(12, "SaveClose", "Save && &Close").Accelerator, "C", "the letter after the first single &"
Expect tools.Add(13, "Menu", "Menu&").Accelerator, "", "a trailing & marks no letter"
Set t = tools.Add(14, "Refresh", "&refresh", , , "  Ctrl+Shift+F5 ")
Expect t.Accelerator & "|" & t.Shortcut, "R|Ctrl+Shift+F5", "the letter upper-cased; the shortcut kept, trimmed"
Set t = tools.Add(15, "Recent", "Rece&nt", , , "F12", , True, , , "Edit")
Expect t.SubBand & "|" & t.Shortcut & "|" & t.Checked, "Edit||False", "a tool with a sub-band takes no shortcut or check"
t.Enabled = False
Expect t.Enabled, True, "a tool with a sub-band stays enabled"
Set t = tools.Add(16, "Line", "Lin&e", , 2, "Ctrl+L", , True, True)
Expect t.Style & "|" & t.Shortcut & "|" & t.Checked & "|" & t.Default & "|" & t.Enabled, "2||False|False|False", _
    "a separator takes no shortcut, check or default, and is never enabled"
Expect bar.Tools.Add(30, "Help", "&Help", , 1, "F1").Style, 4, "a normal tool added to a menu bar is a menu-bar tool"
Expect bar.Tools("Help").Shortcut, "", "a menu-bar tool takes no shortcut"

' --- positions -------------------------------------------------------------------
edit.Tools.Add 20, "A", "&A"
edit.Tools.Add 21, "B", "&B", , , , True
edit.Tools.Add 22, "C", "&C"
Expect edit.Tools("A").Index & " " & edit.Tools("B").Index & " " & edit.Tools("C").Index, "0 2 3", _
    "Index counts the separator before a group"
edit.Tools("A").Visible = False
Expect edit.Tools("B").Index & " " & edit.Tools("C").Index, "1 2", "a hidden tool takes no position"

' --- finding, moving and removing --------------------------------------------------
Expect tools.Exists("Refresh") And tools.Exists("REFRESH") And tools.Exists(2) And Not tools.Exists("Nope") _
    And Not tools.Exists(99), True, "Tools.Exists by name in any case, and by position"
Expect tools(2).Name & " " & tools("saveclose").ID & " " & tools.Item(3).Name, "Open 12 SaveClose", _
    "Tools.Item by position and by name"
Expect tools.Item(99) Is Nothing And tools("Nope") Is Nothing, True, "absent tools are Nothing"
Expect Names(tools), "- Open SaveClose Menu Refresh Recent Line", "For Each visits the tools in order"

tools.Move "Line", "Open"
Expect Names(tools), "- Line Open SaveClose Menu Refresh Recent", "Move before a tool"
tools.Move "Line", , "Recent"
Expect Names(tools), "- Open SaveClose Menu Refresh Recent Line", "Move after a tool"
tools.Move "Line", "Nope", "Open"
Expect Names(tools), "- Open SaveClose Menu Refresh Recent Line", "a Before that is not there moves nothing, After or not"
tools.Move "Nope", "Open"
Expect Names(tools), "- Open SaveClose Menu Refresh Recent Line", "an absent tool does not move"

tools.Remove "Menu"
tools.Remove 2
tools.Remove "Nope"
Expect Names(tools), "- SaveClose Refresh Recent Line", "Remove by name and by position; an absent tool is ignored"
tools.RemoveAll
Expect tools.Count & " " & tools(1).Name, "1 -", "RemoveAll keeps the hidden tool"

bands.Remove "Edit"
bands.Remove "View"
Expect Names(bands), "File Bar", "Bands.Remove; an absent band is ignored"

' --- banners and refused values ----------------------------------------------------
Set banner = q.Banners.Add("Side", 24, "Pelkin")
Expect banner.Name & "|" & banner.Width & "|" & banner.Caption & "|" & banner.Icon & "|" & banner.TextOffset, _
    "Side|24|Pelkin|-1|0", "Banners.Add defaults"
Expect banner.Font.Name & " " & banner.Font.Size & " " & banner.Font.Bold, "Tahoma 9 True", "a captioned banner's own font"
Set b.Banner = banner
Expect b.Banner Is banner, True, "a pop-up band takes a banner"

On Error Resume Next
Set bar.Banner = banner
number = Err.Number
source = Err.Source
On Error GoTo 0
Expect number & " " & source, "5 Band.Banner", "a menu bar refuses a banner"
Expect bar.Banner Is Nothing, True, "a refused banner leaves the menu bar without one"
b.Style = 0
Expect b.Banner Is Nothing, True, "a band made a menu bar drops its banner"

On Error Resume Next
q.ImageList = "icons"
number = Err.Number
source = Err.Source
On Error GoTo 0
Expect number & " " & source, "5 Quillet.ImageList", "an image list given as text is refused"
Expect q.ImageList, 0, "a refused image list changes nothing"
q.ImageList = 12345
Expect q.ImageList, 12345, "a number is taken as an image-list handle"
Set q.ImageList = Nothing
Expect q.ImageList, 0, "an empty object reference clears the image list"

q.Tag = "host data"
Expect q.Tag, "host data", "Tag keeps a value"

WScript.Echo passed & " passed, " & failed & " failed"
