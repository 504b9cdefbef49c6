' A unit that never answers: the calls still return normally, after their repeats.

Dim c, p, t, x, seen, started, frames
On Error Resume Next
Set c = CreateObject("Quarn7.clsvyx7")
Set p = CreateObject("Quarn7.SerialPort")
c.ComObject = p
c.Poort_nummer = PortNumber
c.OpenClose True
Check p.PortOpen, "the port opens", p.PortOpen

seen = FrameCount()
started = Timer
c.meterteller_aan
Expect 0, "meterteller_aan"
frames = FramesAfter(seen, 6)
' Six sends, each with a reply window of 0.1 s; the bound is generous for a busy machine.
Check UBound(frames) + 1 = 6 And Timer - started >= 0.5 And Timer - started < 5, "a do-command is sent six times, about 0.6 s", UBound(frames) + 1 & " frames in " & (Timer - started) & " s"

seen = FrameCount()
t = 45
x = c.lees_waarde(t)
Expect 0, "lees_waarde"
frames = FramesAfter(seen, 3)
Check UBound(frames) + 1 = 3 And t = "", "a read is sent three times and leaves an empty text", UBound(frames) + 1 & " frames, [" & t & "]"
c.OpenClose False
