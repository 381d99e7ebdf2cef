// Builds a File menu the way a program gives it to Quillet, then reads back
// what the component made of it: letters, shortcuts and item positions.
// Needs Quillet.dll registered:  regsvr32 /n /i:machine Quillet.dll
// Run it with:                   cscript //nologo menu.js
var Popup = 1;          // QLBandStyle: a pop-up menu
var Normal = 1;         // QLToolStyle: an ordinary item
var NoIcon = -1;

var quillet = new ActiveXObject("Quillet.Quillet");
var file = quillet.Bands.Add("File", Popup);
file.Tools.Add(101, "Open", "&Open...", NoIcon, Normal, "Ctrl+O");
file.Tools.Add(102, "Save", "&Save", NoIcon, Normal, "Ctrl+S");
// BeginGroup puts a separator before Exit.
file.Tools.Add(103, "Exit", "E&xit", NoIcon, Normal, "Alt+Q", true);
// A side banner for the menu; a program sets it as the band's Banner.
quillet.Banners.Add("Side", 18, "My Tool");

var names = [];
for (var items = new Enumerator(file.Tools); !items.atEnd(); items.moveNext()) {
    var tool = items.item();
    if (tool.Visible) names.push(tool.Caption + "\t" + tool.Shortcut);
}
WScript.Echo("File menu:\n  " + names.join("\n  "));
// A program attaches the object to its window (quillet.Attach(hWnd)) and
// shows the menu with file.PopupMenu(); its Click event names the tool.

// --- what the example promises, checked -------------------------------------
var passed = 0, failed = 0;
function check(condition, what) {
    if (condition) passed++; else { failed++; WScript.Echo("FAILED: " + what); }
}
check(quillet.Bands.Count == 1 && file.Tools.Count == 4, "one band with three items and its hidden one");
check(file.Tools("Open").Accelerator == "O" && file.Tools("Exit").Accelerator == "X", "the underlined letters");
check(file.Tools("Exit").Index == 3, "the separator takes a position before Exit");
check(file.Tools.FindTool(102).Name == "Save", "items are found by their number");
check(quillet.Banners("Side").Caption == "My Tool", "the banner keeps its caption");
check(names.length == 3 && names[0] == "&Open...\tCtrl+O", "the items in order with their shortcuts");
WScript.Echo(passed + " passed, " + failed + " failed");
