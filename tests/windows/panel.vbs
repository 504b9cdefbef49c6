' settings from a script host (tests/windows/run): the panel client works the panel while the
' script's message boxes keep its messages flowing, and closes each box when done.
Set c = CreateObject("Quarn7.clsvyx7")
c.ComObject = CreateObject("Quarn7.SerialPort")
For Each pass In Array("first", "second"): c.settings c: MsgBox pass, 0, "panel test": Next
WScript.Echo "ok - panel.vbs ran to its end"
