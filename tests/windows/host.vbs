' quarn7.dll in a script host (cscript, from tests/windows/run): the controller made by its ProgID
' drives the script's own port object by property name; an error reaches the script in EXCEPINFO.
Sub Check(ok, name, detail)
    If ok Then WScript.Echo "ok - " & name Else WScript.Echo "FAIL - " & name & ": " & detail
End Sub
' The seven properties of a serial-port control, one a Public statement as Wine's VBScript wants.
Class HostPort
    Public PortOpen
    Public CommPort
    Public Settings
    Public Handshaking
    Public InBufferCount
    Public Input
    Public Sent
    Public Property Let Output(frame)
        Sent = Sent & frame
    End Property
End Class
Set port = New HostPort
port.CommPort = 7
port.InBufferCount = 1  ' an acknowledgement always waits
port.Input = Chr(6)
Set c = CreateObject("Quarn7.clsvyx7")
Set c.mvarComObject = port
c.OpenClose True
c.kruisdraden_aan
Check port.PortOpen And port.Settings = "19200,o,8,1" And c.Poort_nummer = 7, _
      "the controller opens the script's port object by name", port.Settings
' Sent once, a character a byte in code page 1252 (byte 82 is Chr(130), U+201A): acknowledged.
Check port.Sent = Chr(2) & Chr(1) & Chr(0) & Chr(0) & Chr(130) & Chr(0) & Chr(13), _
      "a frame goes out through Output, its acknowledgement in through Input", Len(port.Sent)
On Error Resume Next
c.kies_systeemtekstveld = 300
Check Err.Number = 5 And Err.Source = "Quarn7.clsvyx7" And Err.Description <> "", _
      "a byte of 300: error 5 with its source and description", Err.Number & " " & Err.Source
WScript.Echo "ok - host.vbs ran to its end"
