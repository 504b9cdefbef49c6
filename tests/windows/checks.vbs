' What the VBScript clients share; tests/windows/run puts it in front of each client and passes
' the COM port number and the simulated unit's frame log (quarn7-sim --log) as arguments.
' Every check prints "ok - name" or "FAIL - name: detail".
Option Explicit

Dim PortNumber, UnitLog
PortNumber = CInt(WScript.Arguments(0))
UnitLog = WScript.Arguments(1)

Sub Check(ok, name, detail)
    If ok Then
        WScript.Echo "ok - " & name
    Else
        WScript.Echo "FAIL - " & name & ": " & detail
    End If
End Sub

' After a statement run under On Error Resume Next: checks the error number it raised (0 for
' none) and clears it. The description and source stay in LastDescription and LastSource.
Dim LastDescription, LastSource
Sub Expect(number, name)
    LastDescription = Err.Description
    LastSource = Err.Source
    Check Err.Number = number, name & " raises " & number, "got " & Err.Number & " " & LastDescription
    Err.Clear
End Sub

' Whether the pending error is `number` raised by `source`; clears it like Expect.
Function LastSourceIs(number, source)
    LastDescription = Err.Description
    LastSource = Err.Source
    LastSourceIs = Err.Number = number And Err.Source = source And Err.Description <> ""
    Err.Clear
End Function

' The frames the unit logged, as hex ("02 01 00 00 26 00 0D").
Function LoggedFrames()
    Dim fso, text, lines, line, arrow, frames, i
    Set fso = CreateObject("Scripting.FileSystemObject")
    text = fso.OpenTextFile(UnitLog, 1).ReadAll
    lines = Split(Replace(text, vbCr, ""), vbLf)
    frames = Array()
    For i = 0 To UBound(lines)
        line = Trim(lines(i))
        arrow = InStr(line, "  -> ")
        If arrow > 0 Then
            ' "seconds  frame  -> answer"
            line = Trim(Mid(Left(line, arrow - 1), InStr(line, " ") + 1))
            ReDim Preserve frames(UBound(frames) + 1)
            frames(UBound(frames)) = line
        End If
    Next
    LoggedFrames = frames
End Function

Function FrameCount()
    FrameCount = UBound(LoggedFrames()) + 1
End Function

' The frames logged after the first `seen`, once `count` of them are there (or after 2 s); the
' unit logs a frame just after it answered it.
Function FramesAfter(seen, count)
    Dim frames, i, result, waited
    For waited = 0 To 200
        frames = LoggedFrames()
        If UBound(frames) + 1 >= seen + count Then Exit For
        WScript.Sleep 10
    Next
    result = Array()
    For i = seen To UBound(frames)
        ReDim Preserve result(UBound(result) + 1)
        result(UBound(result)) = frames(i)
    Next
    FramesAfter = result
End Function

' The items joined by " | " (Wine's VBScript has no Join).
Function Joined(items)
    Dim i
    Joined = ""
    For i = 0 To UBound(items)
        If i > 0 Then Joined = Joined & " | "
        Joined = Joined & items(i)
    Next
End Function

' Checks that the frames logged since `seen` frames are `expected`, in order.
Sub ExpectFrames(seen, name, expected)
    Dim frames
    frames = FramesAfter(seen, UBound(expected) + 1)
    Check Joined(frames) = Joined(expected), name & " sends " & Joined(expected), _
          "sent " & Joined(frames)
End Sub
