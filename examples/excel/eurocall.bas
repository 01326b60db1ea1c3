Attribute VB_Name = "eurocall"
' SPDX-License-Identifier: Apache-2.0
' eurocall.dll in Excel: nine worksheet functions, one for each function of the DLL.
'
'   =BS_CALL(S, K, T, r, vol)                                      BSCall
'   =BS_VOL(S, K, T, r, price)                                     BSVol
'   =HESTON_CALL_EXACT(S, K, T, r, v0, theta, kappa, sigma, rho)   HestonCall_exact
'   =HESTON_CALL_FAST(S, K, T, r, v0, theta, kappa, sigma, rho)    HestonCall_fast
'   =HESTON_VOL_EXACT(S, K, T, r, v0, theta, kappa, sigma, rho)    HestonVol_exact
'   =HESTON_VOL_FAST(S, K, T, r, v0, theta, kappa, sigma, rho)     HestonVol_fast
'   =HESTON_INTEGRAND_J0(x, T, theta, v0, kappa, sigma, rho, phi)  RealIntegrand_j0
'   =HESTON_INTEGRAND_J1(x, T, theta, v0, kappa, sigma, rho, phi)  RealIntegrand_j1
'   =HESTON_INTEGRAND(x, T, v0, theta, kappa, sigma, rho, phi)     theIntegrand
'
' The names are written as Excel writes its own functions (capitals, words apart; VBA
' allows no dot in a name, so an underscore), say the model and what comes out, and are
' the Python package's names in capitals. Each takes the arguments of its DLL function
' in the same order, so eurocall.h documents them all. Mind the order: the two
' HESTON_INTEGRAND_Jn take theta before v0; everything else takes v0 before theta.
'
' Every argument and result is a Double: a cell with text gives #VALUE!, an empty cell
' counts as 0. The volatilities' sentinels come through as numbers: BS_VOL gives 0 for
' a price it rejects, 2 when the bracket [0.001, 2] does not enclose the price and 999
' when the search does not converge; the Heston volatilities give 2 and 999. The cell
' holds the DLL's double; Excel shows at most 15 significant digits of it.
'
' Loading the DLL. Use the DLL whose bitness matches Office's (File > Account > About
' Excel says which): the 64-bit eurocall.dll for 64-bit Office, the 32-bit (__stdcall)
' one for 32-bit Office; any other gives #VALUE! in every cell. Windows looks for
' "eurocall.dll" in Excel's own folder, the system folders, the current folder and the
' folders on PATH, and the first call binds it for the rest of the session. Any one of:
'   - put eurocall.dll beside the workbook, or in its subfolder x64 (64-bit Office) or
'     x86 (32-bit Office), so that one workbook serves both: before the first call the
'     functions below make that folder the current folder (ChDir), once;
'   - put it in a folder on PATH;
'   - write its full path in place of "eurocall.dll" in every Lib clause below (Edit >
'     Replace in the VBA editor), e.g. Lib "C:\eurocall\eurocall.dll"; needed for a
'     workbook on a network share (\\server\...), which cannot be the current folder.
' The folder is looked for once per session: after putting the DLL in place, reopen the
' workbook (or Run > Reset in the VBA editor) and recalculate (Ctrl+Alt+F9).
Option Explicit

' Office 2010 and later (VBA7), 64-bit and 32-bit: PtrSafe is required by 64-bit Office
' and accepted by 32-bit Office. Every argument is a Double passed by value, so the
' declarations are the same for both bitnesses. Alias pins each name to the DLL's
' case-sensitive spelling, since the VBA editor recases identifiers to match any other
' use of the same word.
#If VBA7 Then
Private Declare PtrSafe Function BSCall Lib "eurocall.dll" Alias "BSCall" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal vol As Double) As Double
Private Declare PtrSafe Function BSVol Lib "eurocall.dll" Alias "BSVol" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal price As Double) As Double
Private Declare PtrSafe Function HestonCall_exact Lib "eurocall.dll" Alias "HestonCall_exact" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare PtrSafe Function HestonCall_fast Lib "eurocall.dll" Alias "HestonCall_fast" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare PtrSafe Function HestonVol_exact Lib "eurocall.dll" Alias "HestonVol_exact" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare PtrSafe Function HestonVol_fast Lib "eurocall.dll" Alias "HestonVol_fast" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare PtrSafe Function RealIntegrand_j0 Lib "eurocall.dll" Alias "RealIntegrand_j0" _
    (ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
Private Declare PtrSafe Function RealIntegrand_j1 Lib "eurocall.dll" Alias "RealIntegrand_j1" _
    (ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
Private Declare PtrSafe Function theIntegrand Lib "eurocall.dll" Alias "theIntegrand" _
    (ByVal x As Double, ByVal T As Double, ByVal v0 As Double, ByVal theta As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
#Else
' Office 2007 and earlier: 32-bit only, and without PtrSafe (its editor shows the
' declarations above in red, but does not compile them).
Private Declare Function BSCall Lib "eurocall.dll" Alias "BSCall" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal vol As Double) As Double
Private Declare Function BSVol Lib "eurocall.dll" Alias "BSVol" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal price As Double) As Double
Private Declare Function HestonCall_exact Lib "eurocall.dll" Alias "HestonCall_exact" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare Function HestonCall_fast Lib "eurocall.dll" Alias "HestonCall_fast" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare Function HestonVol_exact Lib "eurocall.dll" Alias "HestonVol_exact" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare Function HestonVol_fast Lib "eurocall.dll" Alias "HestonVol_fast" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double
Private Declare Function RealIntegrand_j0 Lib "eurocall.dll" Alias "RealIntegrand_j0" _
    (ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
Private Declare Function RealIntegrand_j1 Lib "eurocall.dll" Alias "RealIntegrand_j1" _
    (ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
Private Declare Function theIntegrand Lib "eurocall.dll" Alias "theIntegrand" _
    (ByVal x As Double, ByVal T As Double, ByVal v0 As Double, ByVal theta As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
#End If

' The subfolder of the workbook's folder that holds the DLL for this Office, when the
' DLL is not beside the workbook itself: the 64-bit build for 64-bit Office, the 32-bit
' __stdcall build (the one convention 32-bit VBA calls) for 32-bit Office.
#If Win64 Then
Private Const DLL_SUBFOLDER As String = "x64"
#Else
Private Const DLL_SUBFOLDER As String = "x86"
#End If

' Whether UseTheWorkbooksDllFolder has looked yet; it looks once per session of the VBA
' project.
Private dllFolderSearched As Boolean

' Before the first call binds eurocall.dll: if the DLL is beside the workbook, or in its
' DLL_SUBFOLDER, makes that folder the current folder, where Windows looks for a DLL
' named without a path. Once bound, the DLL stays loaded, so later changes of the
' current folder do not matter. A workbook never saved (no folder), on a web address or
' on a network share leaves the current folder as it was.
Private Sub UseTheWorkbooksDllFolder()
    If dllFolderSearched Then Exit Sub
    dllFolderSearched = True
    If Len(ThisWorkbook.Path) = 0 Then Exit Sub
    Dim folder As Variant
    Dim found As String
    ' Dir$ fails on a web address, ChDrive and ChDir on a share; either leaves the
    ' current folder alone. (found is reset before Dir$, so a failed Dir$ reads as
    ' "not here".)
    On Error Resume Next
    For Each folder In Array(ThisWorkbook.Path, ThisWorkbook.Path & "\" & DLL_SUBFOLDER)
        found = ""
        found = Dir$(folder & "\eurocall.dll")
        If Len(found) > 0 Then
            ChDrive folder
            ChDir folder
            Exit Sub
        End If
    Next folder
End Sub

' 1. Black-Scholes call price. S spot, K strike, T years, r continuously compounded
'    rate, vol volatility (0.2 is 20 %). Never negative.
Public Function BS_CALL(ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
                        ByVal vol As Double) As Double
    UseTheWorkbooksDllFolder
    BS_CALL = BSCall(S, K, T, r, vol)
End Function

' 2. Black-Scholes implied volatility of the call price price, in [0.001, 2].
'    Sentinels: 0 = price rejected, 2 = not enclosed by the bracket, 999 = no convergence.
Public Function BS_VOL(ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
                       ByVal price As Double) As Double
    UseTheWorkbooksDllFolder
    BS_VOL = BSVol(S, K, T, r, price)
End Function

' 3. Heston call price: panels plus an adaptive tail integral. v0 current variance,
'    theta long-run variance, kappa mean-reversion speed, sigma vol of variance, rho
'    correlation. Never below max(S - K e^(-rT), 0).
Public Function HESTON_CALL_EXACT(ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
                                  ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
                                  ByVal sigma As Double, ByVal rho As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_CALL_EXACT = HestonCall_exact(S, K, T, r, v0, theta, kappa, sigma, rho)
End Function

' 4. Heston call price by fixed Gauss-Legendre panels; arguments as HESTON_CALL_EXACT.
'    Use HESTON_CALL_EXACT for short maturities with a high vol of variance.
Public Function HESTON_CALL_FAST(ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
                                 ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
                                 ByVal sigma As Double, ByVal rho As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_CALL_FAST = HestonCall_fast(S, K, T, r, v0, theta, kappa, sigma, rho)
End Function

' 5. Black-Scholes implied volatility of HESTON_CALL_EXACT, in [0.001, 2].
'    Sentinels: 2 = not enclosed by the bracket, 999 = no convergence. Never 0.
Public Function HESTON_VOL_EXACT(ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
                                 ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
                                 ByVal sigma As Double, ByVal rho As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_VOL_EXACT = HestonVol_exact(S, K, T, r, v0, theta, kappa, sigma, rho)
End Function

' 6. Black-Scholes implied volatility of HESTON_CALL_FAST; sentinels as HESTON_VOL_EXACT.
Public Function HESTON_VOL_FAST(ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
                                ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
                                ByVal sigma As Double, ByVal rho As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_VOL_FAST = HestonVol_fast(S, K, T, r, v0, theta, kappa, sigma, rho)
End Function

' 7. Integrand of the strike probability at frequency phi; x = ln(S e^(rT) / K).
'    theta THIRD, v0 FOURTH.
Public Function HESTON_INTEGRAND_J0(ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
                                    ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
                                    ByVal phi As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_INTEGRAND_J0 = RealIntegrand_j0(x, T, theta, v0, kappa, sigma, rho, phi)
End Function

' 8. Integrand of the spot probability; arguments as HESTON_INTEGRAND_J0 (theta THIRD,
'    v0 FOURTH).
Public Function HESTON_INTEGRAND_J1(ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
                                    ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
                                    ByVal phi As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_INTEGRAND_J1 = RealIntegrand_j1(x, T, theta, v0, kappa, sigma, rho, phi)
End Function

' 9. Combined integrand e^x * HESTON_INTEGRAND_J1 - HESTON_INTEGRAND_J0, with v0 THIRD
'    and theta FOURTH.
Public Function HESTON_INTEGRAND(ByVal x As Double, ByVal T As Double, ByVal v0 As Double, ByVal theta As Double, _
                                 ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
                                 ByVal phi As Double) As Double
    UseTheWorkbooksDllFolder
    HESTON_INTEGRAND = theIntegrand(x, T, v0, theta, kappa, sigma, rho, phi)
End Function
