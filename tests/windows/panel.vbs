' The service panel from a script host (tests/windows/run): settings shows it and returns; the
' script's message boxes keep the thread's messages flowing while the panel client works the panel,
' and closes each box when done. The second settings shows the panel again after its close.
Set c = CreateObject("Quarn7.clsvyx7")
c.ComObject = CreateObject("Quarn7.SerialPort")
For Each pass In Array("first", "second")
    c.settings c
    MsgBox pass, 0, "panel test"
Next
WScript.Echo "ok - panel.vbs ran to its end"
