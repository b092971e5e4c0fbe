' A VBScript client as the component's clients use it: late binding, ByRef variables.
' Counts its own failures (cscript under wine reports no script error), prints the end
' marker and quits with the count.
' With the argument without-module it calls a server that has no module (the server as it
' ships, installed on a machine without one): identification gives 131 ("USB device not
' detected."), and the calls that need a module are left out.
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
  If Not ok Then
    failures = failures + 1
    WScript.Echo "FAILED: " & what
  End If
End Sub

Dim withModule : withModule = True
If WScript.Arguments.Count > 0 Then withModule = WScript.Arguments(0) <> "without-module"

Dim o : Set o = CreateObject("GPIO_DLL.cls_GPIO_DLL")
Dim r, version, vendor, product
version = "" : vendor = "" : product = ""

Dim cmd, hi, lo, target, texts, rounded
Dim ph, pl
Dim wcmd, whi, wlo, rhi, rlo
Dim block, count
Dim lcode, message
Dim nobody

' A Sub's ByRef parameters passed on reach the caller's variables.
Sub ReadWordInto(ByRef h, ByRef l)
  Dim c, t : c = 9 : t = &H16
  Call o.GPIO_ReadSMBusWord(c, h, l, t)
End Sub

' The calls that need the module.
Sub ModuleCalls()
  ' A word read writes both ByRef outputs, as Longs, and leaves the inputs as they were: their
  ' values and their subtypes (a String, a Double rounded to the target 0x17).
  cmd = 9 : hi = Empty : lo = "7" : target = &H16
  r = o.GPIO_ReadSMBusWord(cmd, hi, lo, target)
  Check r = 0, "word read gives " & r
  Check hi >= 0 And hi <= 255 And lo >= 0 And lo <= 255, "word bytes " & hi & " " & lo
  Check VarType(hi) = vbLong And VarType(lo) = vbLong, "outputs " & TypeName(hi) & " " & TypeName(lo)
  Check cmd = 9 And target = &H16, "inputs keep their values"
  texts = "9" : rounded = 22.6 : target = "22"
  r = o.GPIO_ReadSMBusWord(texts, hi, lo, rounded)
  Check r = 0 And VarType(rounded) = vbDouble And rounded = 22.6, _
    "a Double target stays: " & r & " " & TypeName(rounded) & " " & rounded
  r = o.GPIO_ReadSMBusWord(texts, hi, lo, target)
  Check r = 0 And VarType(target) = vbString And target = "22" And VarType(texts) = vbString, _
    "String inputs stay: " & r & " " & TypeName(target) & " " & TypeName(texts)
  target = &H16

  ' A Sub's ByRef parameters passed on reach the caller's variables.
  ph = -1 : pl = -1
  ReadWordInto ph, pl
  Check ph = hi And pl = lo, "word read through a Sub's ByRef parameters " & ph & " " & pl

  ' What a word write puts into the battery's writable register a word read gives back.
  wcmd = 0 : whi = &H12 : wlo = &H34
  r = o.GPIO_WriteSMBusWord(wcmd, whi, wlo, target)
  Check r = 0, "word write gives " & r
  rhi = 0 : rlo = 0
  r = o.GPIO_ReadSMBusWord(wcmd, rhi, rlo, target)
  Check r = 0 And rhi = whi And rlo = wlo, "word read back " & rhi & " " & rlo

  ' A block read into a VBScript array (an array of variants) comes back as one.
  block = Array() : count = 0
  r = o.GPIO_ReadSMBusBlock(CInt(&H20), block, count, target)
  Check r = 0, "block read gives " & r
  Check IsArray(block), "block read gives an array"
  If IsArray(block) Then Check UBound(block) >= 0 And block(0) >= 0 And block(0) <= 255, _
    "block bytes index like any VBScript array"

  ' An unknown target answers with a result code, not an error; the outputs read 0.
  nobody = &H7E
  hi = 5 : lo = 5
  r = o.GPIO_ReadSMBusWord(cmd, hi, lo, nobody)
  Check r <> 0 And hi = 0 And lo = 0, "word read from nobody: " & r & " " & hi & " " & lo
End Sub

r = o.GPIO_FW_VER_Read(version, vendor, product)
If withModule Then
  Check r = 0, "GPIO_FW_VER_Read gives " & r
  Check version = "2.0.19", "firmware version text [" & version & "]"
  Check Len(vendor) > 0 And Len(product) > 0, "vendor and product texts"
  ModuleCalls
Else
  Check r = 131, "GPIO_FW_VER_Read without a module gives " & r
End If
target = &H16

' Result codes and messages: lcode stays as it was, subtype and all.
lcode = 131
message = o.Check_DllErrorCode(lcode)
Check lcode = 131 And VarType(lcode) = vbInteger, "Check_DllErrorCode leaves lcode " & TypeName(lcode)
lcode = "131"
Check o.Check_DllErrorCode(lcode) = message And VarType(lcode) = vbString, _
  "lcode as a String: " & TypeName(lcode)
Check Len(message) > 0 And message <> o.Check_DllErrorCode(0), "message of 131 [" & message & "]"
Check Len(o.GetErrString(5)) > 0, "GetErrString(5)"

' Automation errors: a byte that comes out negative is an overflow (found on the way to the
' module), and the outputs the method cleared before it failed come back cleared.
On Error Resume Next
Dim bad : bad = -5
If withModule Then
  hi = 5 : lo = 5
  r = o.GPIO_ReadSMBusWord(bad, hi, lo, target)
  Check Err.Number = 6, "overflow gives error " & Err.Number & " " & Err.Description
  Check hi = 0 And lo = 0, "outputs after the overflow " & hi & " " & lo
  Err.Clear
End If
Dim line : line = 300
r = o.GPIO_SetP0Line(line)
Check Err.Number = 6, "300 for a byte gives error " & Err.Number
Err.Clear
r = o.GPIO_NoSuchMethod()
Check Err.Number = 438, "unknown method gives error " & Err.Number
Err.Clear
On Error GoTo 0

Dim shutdown : shutdown = o.GPIO_ShutdownDLL()
Check IsEmpty(shutdown), "GPIO_ShutdownDLL gives " & TypeName(shutdown)
Check o.ShowDbg("") = 0, "ShowDbg gives 0"

WScript.Echo "client.vbs: " & failures & " failures"
WScript.Echo "END OF CLIENT"
WScript.Quit failures
