' Puts an icon of its own into the notification area, changes its tip the
' way a long job would report its progress, and times the job with a timer.
' Needs Kestrix.dll registered:  regsvr32 /n /i:machine Kestrix.dll
' Run it with:                   cscript //nologo tray.vbs
Option Explicit

Const JobIcon = 1        ' our own number for the icon
Const NoIcon = 0         ' an icon handle; 0 shows the tip without a picture
Const OneShot = 0        ' a TimerEx that fires once

Dim tray, timer, icon
Set tray = CreateObject("Kestrix.Kestrix")
tray.Add JobIcon, NoIcon, "Backup: starting", True

Set icon = tray(JobIcon)              ' Item is the default member
icon.ToolTipText = "Backup: 40 % done"
icon.Tag = "started " & Time          ' any value of your own rides along

Set timer = CreateObject("Kestrix.TimerEx")
timer.EventType = OneShot
timer.Interval = 5000                 ' milliseconds
timer.Enabled = True                  ' (the script host cannot receive its Timer event)

WScript.Echo "Icons in the tray: " & tray.Count & ", tip: " & icon.ToolTipText

' --- what the example promises, checked ------------------------------------
Dim passed, failed
passed = 0 : failed = 0
Sub Check(condition, what)
    If condition Then passed = passed + 1 Else failed = failed + 1 : WScript.Echo "FAILED: " & what
End Sub
Check tray.Count = 1 And tray.Exists(JobIcon), "the icon is there under its number"
Check icon.Visible And icon.ToolTipText = "Backup: 40 % done", "the icon shows the new tip"
Check Left(icon.Tag, 8) = "started ", "the tag is kept"
Check timer.Enabled And timer.Interval = 5000 And timer.EventType = OneShot, "the timer runs once after 5 s"

timer.Enabled = False
tray.Remove JobIcon
Check tray.Count = 0 And Not tray.Exists(JobIcon), "Remove takes the icon away"
WScript.Echo passed & " passed, " & failed & " failed"
