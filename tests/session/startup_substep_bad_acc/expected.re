 ERROR READING FILE kvst.kvn
 kvst               version  2.0
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
~ kvst> KARVEL 6.6  TITLE: *
~.*
~.*
~.*
~.*
~.*
~.*
~.*
  100     MAXIMUM STEP    100.0       300  SUBSTEP   0.05000
  200     ACCURACY      0.1000E-01
~.*
~.*
~.*
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : 
 %PGPLOT,  Closing file kvst001
 %PGPLOT,  Closing file pgplot
