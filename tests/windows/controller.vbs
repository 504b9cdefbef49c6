' A host's view of Quarn7.clsvyx7 with Quarn7.SerialPort on the simulated unit: values and their
' types, error numbers, write-backs, and the frames the unit received. Errors are expected all
' along, so every statement runs under On Error Resume Next and the checks read Err.

Dim c, p, t, h, l, x, y, w, opdr, seen
On Error Resume Next
Set c = CreateObject("Quarn7.clsvyx7")
Expect 0, "CreateObject Quarn7.clsvyx7"

' --- Fields and errors before a port is handed in ---
c.regel = 7
c.kolom = "12"
Check c.regel = 7 And TypeName(c.regel) = "Integer" And c.kolom = 12, "regel and kolom keep 16-bit values", c.regel & " " & c.kolom
c.regel = "abc"
Expect 13, "regel = text"
c.regel = 70000
Expect 6, "regel = 70000"
x = c.Poort_nummer
Check LastSourceIs(91, "Quarn7.clsvyx7"), "Poort_nummer without a port object raises 91 from Quarn7.clsvyx7", LastDescription & " " & LastSource
c.meterteller_aan
Expect 91, "meterteller_aan without a port object"
c.ComObject = 5
Expect 13, "ComObject = 5"
c.settings 5
Expect 13, "settings with no controller"
c.settings c
Check Err.Number = 8100 And InStr(Err.Description, "not available") > 0, "settings: the panel is not available on this platform", Err.Number & " " & Err.Description
Err.Clear
w = 1000
c.hooglaag w, h, l
Check h = 3 And l = 232, "hooglaag writes hoog and laag back", h & " " & l
w = "65535"
c.hooglaag w, h, l
Check h = 255 And l = 255, "hooglaag reads text as a number", h & " " & l
w = "1.5"
c.floating_point_zetten w, opdr
Check Len(opdr) = 4 And w = "1.5", "floating_point_zetten leaves four bytes in opdr", Len(opdr)
Expect 0, "the members above"

' --- Through Quarn7.SerialPort on the unit ---
Set p = CreateObject("Quarn7.SerialPort")
c.ComObject = p
c.Poort_nummer = PortNumber
Check c.Poort_nummer = PortNumber And p.CommPort = PortNumber, "Poort_nummer sets CommPort", c.Poort_nummer
c.Poort_nummer = 70000
Expect 6, "Poort_nummer = 70000"
c.OpenClose True
Check p.PortOpen And p.Settings = "19200,o,8,1" And p.Handshaking = 0, "OpenClose True opens with 19200,o,8,1 and no handshaking", p.PortOpen & " " & p.Settings
c.Poort_nummer = PortNumber + 1
Check c.Poort_nummer = PortNumber, "Poort_nummer is ignored while open", c.Poort_nummer
Check TypeName(c.mvarComObject) = "ISerialPort" And c.mvarComObject.CommPort = PortNumber, "mvarComObject gives the port object back", TypeName(c.mvarComObject)
Expect 0, "opening"

seen = FrameCount()
c.meterteller_aan
ExpectFrames seen, "meterteller_aan", Array("02 01 00 00 26 00 0D")
seen = FrameCount()
c.cursor_wissel
ExpectFrames seen, "cursor_wissel", Array("02 00 00 00 62 00 0D")
seen = FrameCount()
c.kies_systeemtekstveld = 5
ExpectFrames seen, "kies_systeemtekstveld = 5", Array("02 01 00 02 A2 05 0D")
seen = FrameCount()
c.schrijf_tekst_veld = "AB"
ExpectFrames seen, "schrijf_tekst_veld = AB", Array("02 04 00 02 A1 41 00 42 00 0D")
seen = FrameCount()
' Chr gives the character of a code page 1252 byte: 128 is the euro sign (Wine's VBScript has
' no ChrW).
c.schrijf_tekst_veld = Chr(233) & Chr(128)
ExpectFrames seen, "schrijf_tekst_veld in code page 1252", Array("02 04 00 02 A1 E9 00 80 00 0D")
seen = FrameCount()
c.schrijf_systeemtekstveld = "A"
ExpectFrames seen, "schrijf_systeemtekstveld = A", Array("02 01 00 02 A2 01 0D", "02 02 00 02 A1 41 00 0D")
Expect 0, "the writes above"

' Argument faults end the member before anything is sent.
seen = FrameCount()
c.kies_systeemtekstveld = 256
Expect 5, "kies_systeemtekstveld = 256"
c.schrijf_commando = "12"
Expect 9, "schrijf_commando without its code field"
t = 70000
x = c.lees_data(t)
Expect 6, "lees_data with an item beyond 16 bits"
Check FrameCount() = seen, "nothing is sent for a faulty argument", FrameCount() - seen & " frames"

t = "  AB  "
x = 161
seen = FrameCount()
c.ZetTekst t, x
' The length counts characters here, not data bytes.
ExpectFrames seen, "ZetTekst", Array("02 02 00 02 A1 41 00 42 00 0D")
Check t = "AB", "ZetTekst writes the trimmed text back", "[" & t & "]"
x = 20
y = 1
t = "X"
seen = FrameCount()
c.zettekst_x_y x, y, t
ExpectFrames seen, "zettekst_x_y", Array("02 01 00 02 A0 10 0D", "02 02 00 02 A1 58 00 0D")
Check x = 16, "zettekst_x_y clamps x to 16 and writes it back", x

' Reads: the reply comes back in tekst with the type of its item.
t = 45
seen = FrameCount()
x = c.lees_waarde(t)
ExpectFrames seen, "lees_waarde 45", Array("02 00 00 01 2D 0D")
Check TypeName(t) = "Double" And IsEmpty(x), "lees_waarde 45 leaves the tilt as a Double in tekst", TypeName(t)
t = "33"
x = c.lees_data(t)
Check TypeName(t) = "Integer", "lees_data 33 leaves a 16-bit number in tekst", TypeName(t)
' A read called as a statement: the property get serves it.
t = "anything"
seen = FrameCount()
c.revisie t
ExpectFrames seen, "revisie", Array("02 00 00 01 32 0D")
Check TypeName(t) = "String" And t <> "anything", "revisie reads item 50 whatever tekst held", t
Check TypeName(c.helling_instant) = "Double", "helling_instant is a Double", TypeName(c.helling_instant)
c.afstand = 12.5
Check c.afstand = 12.5 And TypeName(c.afstand) = "Double", "afstand reads back what was written", c.afstand
Expect 0, "the reads above"

c.OpenClose False
Check Not p.PortOpen, "OpenClose False closes the port", p.PortOpen
seen = FrameCount()
c.meterteller_aan
Expect 0, "meterteller_aan on a closed port"
Check FrameCount() = seen, "a closed port sends nothing", FrameCount() - seen & " frames"
