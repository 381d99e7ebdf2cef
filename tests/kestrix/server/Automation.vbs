' Kestrix.dll as a script sees it: objects made by ProgID, every call late
' bound. The script host cannot receive events, and it ends with exit code 0
' even after a script error, so the last line tells the outcome:
' "N passed, M failed". A script error leaves that line out.
Option Explicit

Dim passed, failed
passed = 0
failed = 0

Sub Check(condition, what)
    If condition Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAILED: " & what
    End If
End Sub

Dim k, t, item, sum, number, source, held

' --- icons ---------------------------------------------------------------------
Set k = CreateObject("Kestrix.Kestrix")
Check k.Count = 0, "a new Kestrix has no items"
Check k.Enabled = True, "a new Kestrix is enabled"

k.Add 8, 0
k.Add 9, 0, "Nine", False
Check k.Count = 2, "Add puts items in (Count " & k.Count & ")"
Check k(8).ID = 8, "the default member finds an item by its ID"
Check k.Item(9).ID = 9, "Item finds an item by its ID"
Check k(8).ToolTipText = "" And k(8).Visible = True, "left-out arguments take their defaults"
Check k(9).ToolTipText = "Nine" And k(9).Visible = False, "given arguments are kept"
Check k.Exists(9) And Not k.Exists(7), "Exists answers for present and absent IDs"

sum = 0
For Each item In k
    sum = sum + item.ID
Next
Check sum = 17, "For Each visits every item (sum of IDs " & sum & ")"

On Error Resume Next
k.Add 8, 0
number = Err.Number
source = Err.Source
On Error GoTo 0
Check number = 457 And source = "Kestrix.Add", "a second Add under one ID raises 457 from Kestrix.Add (got " & number & " from '" & source & "')"
Check k.Count = 2, "a refused Add adds nothing"

On Error Resume Next
k(8).Icon = "abc"
number = Err.Number
source = Err.Source
On Error GoTo 0
Check number = 13 And source = "KestrixItem.Icon", "a text icon raises 13 from KestrixItem.Icon (got " & number & " from '" & source & "')"

On Error Resume Next
k.Remove 12345
number = Err.Number
On Error GoTo 0
Check number = 0 And k.Count = 2, "removing an absent ID is silent (got " & number & ")"

k.Remove 8
Check k.Count = 1 And Not k.Exists(8), "Remove takes the item out"
k.RemoveAll
Check k.Count = 0, "RemoveAll empties the collection"

' --- timers --------------------------------------------------------------------
Set t = CreateObject("Kestrix.TimerEx")
Check t.Interval = 1, "a new timer's Interval is 1 (got " & t.Interval & ")"
Check t.EventType = 1, "a new timer is periodic (got " & t.EventType & ")"
Check t.Enabled = False, "a new timer is stopped"

' Refused values are logged by the component, not raised to the script.
On Error Resume Next
t.Interval = 0
number = Err.Number
On Error GoTo 0
Check number = 0 And t.Interval = 1, "Interval = 0 is ignored (error " & number & ", Interval " & t.Interval & ")"
On Error Resume Next
t.EventType = 2
number = Err.Number
On Error GoTo 0
Check number = 0 And t.EventType = 1, "an unknown EventType is ignored (error " & number & ")"
t.Interval = 250
Check t.Interval = 250, "a positive Interval is taken"

Set t.Tag = k
Check IsObject(t.Tag), "Tag holds an object"
Set held = t.Tag
Check held Is k, "Tag gives back the very object"
k.Add 3, 0, "", False
Check t.Tag.Count = 1, "calls reach the object through Tag"
k.RemoveAll
t.Tag = "text"
Check t.Tag = "text", "Tag holds plain values too"

WScript.Echo passed & " passed, " & failed & " failed"
