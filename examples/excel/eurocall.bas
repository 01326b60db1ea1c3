Attribute VB_Name = "eurocall"
' eurocall.dll for VBA (Office 2010 and later, 32-bit and 64-bit).
'
' The nine functions of eurocall.dll, in the order and with the argument names of
' eurocall.h. Every argument is a Double passed ByVal and every result a Double.
' Use the DLL whose bitness matches Office's: the 64-bit build for 64-bit Office, the
' 32-bit (__stdcall) build for 32-bit Office. Windows looks for "eurocall.dll" in
' Office's own folder, the system folders, the current folder and the folders on PATH:
' put it in a folder on PATH, or ChDir to its folder before the first call, or write
' its full path in place of "eurocall.dll" below.
'
' Alias pins each name to the DLL's exact spelling: the DLL's names are case-sensitive
' and the VBA editor recases identifiers to match any other use of the same word.
'
' Mind the argument order: RealIntegrand_j0 and RealIntegrand_j1 take theta before
' v0; theIntegrand and the Heston prices and volatilities take v0 before theta.
Option Explicit

' 1. Black-Scholes call price; vol 0.2 is 20 %.
Public Declare PtrSafe Function BSCall Lib "eurocall.dll" Alias "BSCall" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal vol As Double) As Double

' 2. Black-Scholes implied volatility of a call price in [0.001, 2]; sentinels
'    0 (price rejected), 2 (not enclosed), 999 (no convergence).
Public Declare PtrSafe Function BSVol Lib "eurocall.dll" Alias "BSVol" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal price As Double) As Double

' 3. Heston call price: panels plus an adaptive tail integral.
Public Declare PtrSafe Function HestonCall_exact Lib "eurocall.dll" Alias "HestonCall_exact" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double

' 4. Heston call price: fixed Gauss-Legendre panels.
Public Declare PtrSafe Function HestonCall_fast Lib "eurocall.dll" Alias "HestonCall_fast" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double

' 5. Implied volatility of HestonCall_exact; sentinels 2 and 999.
Public Declare PtrSafe Function HestonVol_exact Lib "eurocall.dll" Alias "HestonVol_exact" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double

' 6. Implied volatility of HestonCall_fast; sentinels 2 and 999.
Public Declare PtrSafe Function HestonVol_fast Lib "eurocall.dll" Alias "HestonVol_fast" _
    (ByVal S As Double, ByVal K As Double, ByVal T As Double, ByVal r As Double, _
     ByVal v0 As Double, ByVal theta As Double, ByVal kappa As Double, _
     ByVal sigma As Double, ByVal rho As Double) As Double

' 7. Integrand of the strike probability; x = ln(S e^(rT) / K). theta THIRD, v0 FOURTH.
Public Declare PtrSafe Function RealIntegrand_j0 Lib "eurocall.dll" Alias "RealIntegrand_j0" _
    (ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double

' 8. Integrand of the spot probability. theta THIRD, v0 FOURTH.
Public Declare PtrSafe Function RealIntegrand_j1 Lib "eurocall.dll" Alias "RealIntegrand_j1" _
    (ByVal x As Double, ByVal T As Double, ByVal theta As Double, ByVal v0 As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double

' 9. Combined integrand e^x * RealIntegrand_j1 - RealIntegrand_j0. v0 THIRD, theta FOURTH.
Public Declare PtrSafe Function theIntegrand Lib "eurocall.dll" Alias "theIntegrand" _
    (ByVal x As Double, ByVal T As Double, ByVal v0 As Double, ByVal theta As Double, _
     ByVal kappa As Double, ByVal sigma As Double, ByVal rho As Double, _
     ByVal phi As Double) As Double
