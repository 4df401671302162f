 kvst               version  2.0
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> DATA AND/OR FUNCTION PARAMETERS NOT INITIALISED
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> Give input filename : 150 lines have been read in
 THERE ARE  150 DATA POINTS IN CURRENT FITTING RANGE
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> NO STEPS HAVE BEEN SET FOR ANY VARIABLE !
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> kvst> kvst> kvst> kvst> kvst> FITTING.....

 .....ENDED
 LIMIT OF  1 ITERATIONS REACHED.
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> kvst> kvst> kvst> kvst> kvst> FITTING.....

 .....ENDED
 LIMIT OF  7 ITERATIONS REACHED.
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> kvst> kvst> kvst> kvst> kvst> TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> FITTING.....

 .....ENDED
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> KARVEL 6.6  TITLE:NOISE-FREE PEAK AT 5                              
 FITTING Y : COUNTS                 VERSUS X : CHANNEL             
 NUMBER  PARAMETER   VALUE    (  OLD VALUE )     STEP     % DEVIATION 
~    1   CENTRE       5\.000    \(   4\.500    \)   1\.000    [ 0-9.]{10}
~    2   SIGMA        1\.500    \(   1\.200    \)   1\.000    [ 0-9.]{10}
~    3   FLAT         20\.00    \(   18\.00    \)   1\.000    [ 0-9.]{10}
~    4   BAKSLOPE    0\.5000    \(  0\.4000    \)   1\.000    [ 0-9.]{10}
~    5   HEIGHT       100\.0    \(   90\.00    \)   1\.000    [ 0-9.]{10}
  100     MAXIMUM STEP    100.0       300  SUBSTEP   0.01000
  200     ACCURACY      0.1000E-05
 THERE ARE  150 POINTS IN THE CURRENT RANGE SET BY "ONLY" COMMAND.
 CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : 
   0.00     TO  0.00       0.00     TO  0.00       0.00     TO  0.00    
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> THERE ARE    5 DATA POINTS IN CURRENT FITTING RANGE
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> ERROR- TRYING TOFIT    5 POINTS WITH    5 PARAMETERS
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : 
 %PGPLOT,  Closing file kvst001
 %PGPLOT,  Closing file pgplot
