 kvst               version  2.0
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> Give input filename : 350 lines have been read in
 THERE ARE  350 DATA POINTS IN CURRENT FITTING RANGE
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> kvst> kvst> kvst> kvst> kvst> THERE ARE  201 DATA POINTS IN CURRENT FITTING RANGE
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> FITTING.....

 .....ENDED
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> KARVEL 6.6  TITLE:Gaussian peak on a sloping background             
 FITTING Y : COUNTS                 VERSUS X : CHANNEL             
 NUMBER  PARAMETER   VALUE    (  OLD VALUE )     STEP     % DEVIATION 
~    1   CENTRE    [ 0-9.E+-]{12}\(   14\.00    \)   1\.000    [ 0-9.*]{10}
~    2   SIGMA     [ 0-9.E+-]{12}\(   1\.500    \)   1\.000    [ 0-9.*]{10}
~    3   FLAT      [ 0-9.E+-]{12}\(   100\.0    \)   1\.000    [ 0-9.*]{10}
~    4   BAKSLOPE  [ 0-9.E+-]{12}\(  -1\.000    \)   1\.000    [ 0-9.*]{10}
~    5   HEIGHT    [ 0-9.E+-]{12}\(   700\.0    \)   1\.000    [ 0-9.*]{10}
  100     MAXIMUM STEP    100.0       300  SUBSTEP   0.01000
  200     ACCURACY      0.1000E-01
 THERE ARE  201 POINTS IN THE CURRENT RANGE SET BY "ONLY" COMMAND.
 CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : 
   5.00     TO  25.0       0.00     TO  0.00       0.00     TO  0.00    
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> KARVEL 6.6  TITLE: Gaussian peak on a sloping background             
                                                                      
 FITTING Y : COUNTS                         FIT NUMBER    1
   VERSUS X : CHANNEL             
 NUMBER  PARAMETER   VALUE    (  OLD VALUE )    STEP      % DEVIATION 
~    1   CENTRE    [ 0-9.E+-]{12}\(   14\.00    \)   1\.000    [ 0-9.*]{10}
~    2   SIGMA     [ 0-9.E+-]{12}\(   1\.500    \)   1\.000    [ 0-9.*]{10}
~    3   FLAT      [ 0-9.E+-]{12}\(   100\.0    \)   1\.000    [ 0-9.*]{10}
~    4   BAKSLOPE  [ 0-9.E+-]{12}\(  -1\.000    \)   1\.000    [ 0-9.*]{10}
~    5   HEIGHT    [ 0-9.E+-]{12}\(   700\.0    \)   1\.000    [ 0-9.*]{10}
  100     MAXIMUM STEP    100.0     SUBSTEP    0.01000
  200     ACCURACY       0.1000E-01
~ CURRENT RESIDUAL VALUE : [ 0-9.E+-]{12}
 THERE ARE 201 POINTS IN THE CURRENT RANGE SET BY "ONLY" COMMAND.
 CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : 
   5.00     TO  25.0       0.00     TO  0.00       0.00     TO  0.00    


~ Mean R-factor is now[ 0-9.E+-]{10}%     \(old value    0\.0    %\)
~ Reduced CHI-squared is now [ 0-9.E+-]{10} for   196 degrees of freedom
 (old value    0.0    )
~ Chi-squared probability is [ 0-9.E+-]{12}

 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> OUTPUT FILE "fit1.kpl  " COMPLETED
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> FILE fit1.kpl   ALREADY EXISTS
 TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z
 kvst> DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : 
 Closing listing file kvst002.lis
 %PGPLOT,  Closing file kvst001
 %PGPLOT,  Closing file pgplot
