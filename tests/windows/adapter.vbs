' The controller driving a host's own port object by name: a VBScript class with the seven
' properties of a serial-port control, forwarding to Quarn7.SerialPort, and objects that lack a
' property or raise errors of their own.

Class ForwardingPort
    Public Inner
    Public LastOutput
    Public LastSettings
    Public Property Get PortOpen()
        PortOpen = Inner.PortOpen
    End Property
    Public Property Let PortOpen(value)
        Inner.PortOpen = value
    End Property
    Public Property Get CommPort()
        CommPort = Inner.CommPort
    End Property
    Public Property Let CommPort(value)
        Inner.CommPort = value
    End Property
    Public Property Let Settings(value)
        LastSettings = value
        Inner.Settings = value
    End Property
    Public Property Let Handshaking(value)
        Inner.Handshaking = value
    End Property
    Public Property Let Output(value)
        LastOutput = value
        Inner.Output = value
    End Property
    Public Property Get InBufferCount()
        InBufferCount = Inner.InBufferCount
    End Property
    Public Property Get Input()
        Input = Inner.Input
    End Property
End Class

' Open, but without the receive side.
Class NoInputPort
    Public PortOpen
    Public CommPort
    Public Settings
    Public Handshaking
    Public Output
End Class

Class FailingPort
    Public Property Get PortOpen()
        Err.Raise 8012, "FailingPort", "Device not open"
    End Property
End Class

Class TextBox
    Public Default Property Get Text()
        Text = "AB"
    End Property
End Class

Dim c, fp, t, x, y, seen
On Error Resume Next
Set c = CreateObject("Quarn7.clsvyx7")
Set fp = New ForwardingPort
Set fp.Inner = CreateObject("Quarn7.SerialPort")
fp.CommPort = PortNumber

Set c.mvarComObject = fp
Check c.mvarComObject Is fp, "mvarComObject gives the host's own object back", TypeName(c.mvarComObject)
Check c.Poort_nummer = PortNumber, "the object's CommPort carries over", c.Poort_nummer
c.OpenClose True
Check fp.PortOpen And fp.LastSettings = "19200,o,8,1", "OpenClose opens the object with 19200,o,8,1", fp.PortOpen & " " & fp.LastSettings
Expect 0, "handing in and opening"

seen = FrameCount()
c.meterteller_aan
ExpectFrames seen, "meterteller_aan", Array("02 01 00 00 26 00 0D")
Check Len(fp.LastOutput) = 7 And Asc(Mid(fp.LastOutput, 5, 1)) = &H26, "Output gets one character per byte", Len(fp.LastOutput)
' Byte 0x82 is U+201A in code page 1252, which Asc turns back into 130 (U+0082 has no code there).
seen = FrameCount()
c.kruisdraden_aan
ExpectFrames seen, "kruisdraden_aan", Array("02 01 00 00 82 00 0D")
Check Asc(Mid(fp.LastOutput, 5, 1)) = 130, "bytes cross as code page 1252 characters", Asc(Mid(fp.LastOutput, 5, 1))
t = 45
seen = FrameCount()
x = c.lees_waarde(t)
ExpectFrames seen, "lees_waarde 45", Array("02 00 00 01 2D 0D")
Check TypeName(t) = "Double", "a read through InBufferCount and Input", TypeName(t)
' A text box is used by its default property.
x = 3
y = 4
Set t = New TextBox
seen = FrameCount()
c.zettekst_x_y x, y, t
ExpectFrames seen, "zettekst_x_y with a text box", Array("02 01 00 02 A0 03 0D", "02 04 00 02 A1 41 00 42 00 0D")
c.OpenClose False
Check Not fp.PortOpen, "OpenClose False closes the object", fp.PortOpen
Expect 0, "the calls above"

c.ComObject = New NoInputPort
c.OpenClose True
c.meterteller_aan
Check Err.Number = 438 And InStr(Err.Description, "Input") > 0, "a missing property raises 438 naming it", Err.Number & " " & Err.Description
Err.Clear

c.ComObject = New FailingPort
c.meterteller_aan
Check Err.Number = 8012 And Err.Description <> "", "the object's own error passes through", Err.Number & " " & Err.Description
Err.Clear
